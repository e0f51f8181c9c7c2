#include "operator_window.h"

#include "debug_window.h"
#include "info_window.h"
#include "operator_texts.h"
#include "service_window.h"

#include "brindel/brindel.h"
#include "brindel/dwl10fla.h"
#include "brindel/dwl11command.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl56conf.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/panels/dwl_dll.h"
#include "brindel/runtime/dwl_rt.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace brindelui {

namespace {

// ---- the display sinks: the worker thread's queues every call to the
// window; the GUI thread's (its own engine calls: loading files, menus)
// calls it directly.

template <typename F>
void Queue(OperatorWindow* window, F&& f)
{
    QMetaObject::invokeMethod(window, std::forward<F>(f), Qt::QueuedConnection);
}

void WorkerMessage(const char* title, const char* text, void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    const QString t = title != nullptr ? QString::fromUtf8(title) : QString();
    const QString m = QString::fromUtf8(text);
    Queue(w, [w, t, m] { w->showMessage(t, m); });
}

void WorkerSectorRow(const char* row, void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    const QString r = QString::fromUtf8(row);
    Queue(w, [w, r] { w->showSectorRow(r); });
}

void WorkerSectorTable(int sector, uint32_t, const char*, const char* row, void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    const QString r = QString::fromUtf8(row);
    Queue(w, [w, sector, r] { w->showSectorTableRow(sector, r); });
}

void WorkerProgress(void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    const int soft = vg_SoftPourcent;
    const int pack = vg_PackPourcent;
    Queue(w, [w, soft, pack] { w->showProgress(soft, pack); });
}

int WorkerSelectFile(const char* title, const char*, char* out, size_t outSize, void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    QString path;
    const QString t = QString::fromUtf8(title);
    // The worker waits for the operator's choice; the GUI thread stays free.
    QMetaObject::invokeMethod(
        w, [w, t, &path] { path = w->chooseFile(t, Tr(Text::DumFilter)); }, Qt::BlockingQueuedConnection);
    const QByteArray bytes = path.toUtf8();
    if (bytes.isEmpty() || static_cast<size_t>(bytes.size()) >= outSize)
        return 0;
    std::memcpy(out, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
    return 1;
}

void WorkerResult(int family, int, const char* name, const char* message, void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    const QString n = QString::fromUtf8(name);
    const QString m = QString::fromUtf8(message);
    Queue(w, [w, family, n, m] { w->showResult(family, n, m); });
}

void GuiMessage(const char* title, const char* text, void* user)
{
    static_cast<OperatorWindow*>(user)->showMessage(title != nullptr ? QString::fromUtf8(title) : QString(),
                                                    QString::fromUtf8(text));
}

void GuiResult(int family, int, const char* name, const char* message, void* user)
{
    static_cast<OperatorWindow*>(user)->showResult(family, QString::fromUtf8(name), QString::fromUtf8(message));
}

void DllOutput(uint8_t port, int family, const char* text, void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    const QString t = QString::fromUtf8(text).trimmed();
    Queue(w, [w, port, family, t] { w->showDllLine(port, family, t); });
}

void DllProgress(uint8_t port, int32_t soft, int32_t pack, void* user)
{
    auto* w = static_cast<OperatorWindow*>(user);
    Queue(w, [w, port, soft, pack] { w->showDllProgress(port, soft, pack); });
}

uint32_t ParseNumber(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    return t.startsWith("0x", Qt::CaseInsensitive) ? t.mid(2).toUInt(ok, 16) : t.toUInt(ok, 10);
}

constexpr Text kTypeTexts[] = {
    Text::TypeSoftware,  Text::TypePackage,   Text::TypeSoftwareWithNewPackage, Text::TypeSoftwareWithoutPackage,
    Text::TypeReadBlock, Text::TypeWriteBlock};
static_assert(std::size(kTypeTexts) == DWL_DOWNLOAD_TYPE_COUNT);

constexpr Text kChipSelectTexts[] = {Text::ChipSelect0, Text::ChipSelect1, Text::ChipSelect2, Text::ChipSelect3};

// A toggle button showing its on or off text.
QPushButton* Toggle(Text on, Text off)
{
    auto* b = new QPushButton(Tr(off));
    b->setCheckable(true);
    QObject::connect(b, &QPushButton::toggled, b, [b, on, off](bool checked) { b->setText(Tr(checked ? on : off)); });
    return b;
}

}  // namespace

OperatorWindow::OperatorWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(Tr(Text::WindowTitle));
    BuildMenus();
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    auto* title =
        new QLabel(QStringLiteral("<b>%1</b>   %2")
                       .arg(Tr(Text::WindowTitle), Tr(Text::Version).arg(QString::fromLatin1(brindel_version()))));
    layout->addWidget(title);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(BuildChoices());
    split->addWidget(BuildDisplay());
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    setCentralWidget(central);
    status_ = new QLabel;
    statusBar()->addWidget(status_, 1);

    T_DisplaySink gui{};
    gui.message = &GuiMessage;
    gui.result = &GuiResult;
    gui.user = this;
    dwl52_0SetDisplaySink(&gui);
    worker_ = std::make_unique<EngineWorker>([this] {
        T_DisplaySink sink{};
        sink.message = &WorkerMessage;
        sink.sectorRow = &WorkerSectorRow;
        sink.sectorTable = &WorkerSectorTable;
        sink.progress = &WorkerProgress;
        sink.selectFile = &WorkerSelectFile;
        sink.result = &WorkerResult;
        sink.user = this;
        dwl52_0SetDisplaySink(&sink);
    });
    dwl51_85SetDllOutput(&DllOutput, this);

    char dir[4096];
    if (dwl51_80FindDll(dir, sizeof dir) == 1)
        dllDir_ = QString::fromUtf8(dir);
    dllBox_->setVisible(!dllDir_.isEmpty());
    applyContext();
    resize(1100, 720);
}

OperatorWindow::~OperatorWindow()
{
    worker_.reset();  // the running job ends first; nothing more is queued
    for (T_DllModule* m : dllModules_)
        dwl51_84UnloadDll(m);
    if (dllPending_ != nullptr)
        dwl51_84UnloadDll(dllPending_);
    dwl51_85SetDllOutput(nullptr, nullptr);
    dwl52_0SetDisplaySink(nullptr);
}

void OperatorWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(Tr(Text::MenuFile));
    file->addAction(Tr(Text::RestoreConfiguration), this, [this] {
        const int rc = dwl56_0RestoreConfig();
        if (rc != DWL_OK)
            dwl52_10DisplayResult(DWL_SOFT_CONF_ERR, rc);
        applyContext();
    });
    file->addAction(Tr(Text::SaveConfiguration), this, [this] {
        storeContext();
        const int rc = dwl56_1SaveConfig();
        if (rc != DWL_OK)
            dwl52_10DisplayResult(DWL_SOFT_CONF_ERR, rc);
    });
    file->addSeparator();
    file->addAction(Tr(Text::Quit), this, &QWidget::close);

    QMenu* configuration = menuBar()->addMenu(Tr(Text::MenuConfiguration));
    for (int cs = 0; cs < 4; ++cs) {
        QMenu* sub = configuration->addMenu(Tr(kChipSelectTexts[cs]));
        auto* group = new QActionGroup(sub);
        group->setExclusive(true);
        for (int ws = 0; ws < dwl51_21WaitStateItemCount(cs); ++ws) {
            QAction* item = sub->addAction(Tr(Text::WaitStateItem).arg(cs).arg(ws));
            item->setCheckable(true);
            group->addAction(item);
            connect(item, &QAction::triggered, this,
                    [cs, ws] { (void)dwl51_23ChooseWaitState(&sg_DownloadContext, cs, ws); });
        }
        waitStateGroups_.push_back(group);
    }
    QMenu* service = menuBar()->addMenu(Tr(Text::MenuService));
    serviceAction_ = service->addAction(Tr(Text::Service), this, [this] { openService(); });
    dimmedMenus_ = {file, configuration, service};
}

QWidget* OperatorWindow::BuildChoices()
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    auto* form = new QFormLayout;
    port_ = new QComboBox;
    int ports[RT_MAX_PORT];
    const int count = std::min(dwl51_30ListPorts(ports, RT_MAX_PORT), RT_MAX_PORT);
    for (int i = 0; i < count; ++i)
        port_->addItem(QStringLiteral("COM%1").arg(ports[i]), ports[i]);
    if (count == 0)
        port_->addItem(Tr(Text::NoPorts), 0);
    project_ = new QComboBox;
    for (int p = 0; p < DWL_PROJECT_COUNT; ++p)
        project_->addItem(QString::fromLatin1(dwl51_10ProjectName(p)), p);
    type_ = new QComboBox;
    for (int i = 0; i < DWL_DOWNLOAD_TYPE_COUNT; ++i)
        type_->addItem(Tr(kTypeTexts[i]), a_DownloadTypes[i]);
    speed_ = new QComboBox;
    for (int i = 0; i < DWL_SPEED_COUNT; ++i)
        speed_->addItem(QString::number(a_PCSpeedValue[i]), i);
    uart_ = new QComboBox;
    uart_->addItem(QStringLiteral("UART0"), 0);
    uart_->addItem(QStringLiteral("UART1"), 1);
    form->addRow(Tr(Text::Port), port_);
    form->addRow(Tr(Text::Product), project_);
    form->addRow(Tr(Text::DownloadType), type_);
    form->addRow(Tr(Text::Baudrate), speed_);
    form->addRow(Tr(Text::Uart), uart_);
    simlock_ = Toggle(Text::Lose, Text::Keep);
    pmu_ = Toggle(Text::On, Text::Off);
    checkKeys_ = Toggle(Text::Yes, Text::No);
    form->addRow(Tr(Text::SimlockKeys), simlock_);
    form->addRow(Tr(Text::Pmu), pmu_);
    form->addRow(Tr(Text::ChkKeys), checkKeys_);
    compared_ = new QCheckBox(Tr(Text::ComparedDownload));
    form->addRow(QString(), compared_);
    column->addLayout(form);

    auto* dump = new QGroupBox(Tr(Text::FlashDump));
    auto* dumpForm = new QFormLayout(dump);
    address_ = new QLineEdit(QStringLiteral("0x0"));
    size_ = new QLineEdit(QStringLiteral("0x0"));
    dumpForm->addRow(Tr(Text::Address), address_);
    dumpForm->addRow(Tr(Text::Size), size_);
    column->addWidget(dump);

    auto* files = new QGroupBox;
    auto* filesLayout = new QFormLayout(files);
    softwareButton_ = new QPushButton(Tr(Text::OpenClaFile));
    comparedButton_ = new QPushButton(Tr(Text::OpenComparingClaFile));
    packageButton_ = new QPushButton(Tr(Text::OpenPackageFile));
    softwareLabel_ = new QLabel;
    comparedLabel_ = new QLabel;
    packageLabel_ = new QLabel;
    for (QLabel* l : {softwareLabel_, comparedLabel_, packageLabel_})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    filesLayout->addRow(softwareButton_, softwareLabel_);
    filesLayout->addRow(comparedButton_, comparedLabel_);
    filesLayout->addRow(packageButton_, packageLabel_);
    column->addWidget(files);
    connect(softwareButton_, &QPushButton::clicked, this, [this] {
        const QString p = chooseFile(Tr(Text::OpenClaFile), Tr(Text::ClaFilter));
        if (!p.isEmpty())
            loadSoftware(p);
    });
    connect(comparedButton_, &QPushButton::clicked, this, [this] {
        const QString p = chooseFile(Tr(Text::OpenComparingClaFile), Tr(Text::ClaFilter));
        if (!p.isEmpty())
            loadCompared(p);
    });
    connect(packageButton_, &QPushButton::clicked, this, [this] {
        const QString p = chooseFile(Tr(Text::OpenPackageFile), Tr(Text::BinFilter));
        if (!p.isEmpty())
            loadPackage(p);
    });

    auto* buttons = new QHBoxLayout;
    startButton_ = new QPushButton(Tr(Text::Start));
    startButton_->setDefault(true);
    auto* info = new QPushButton(Tr(Text::SoftwareInformation));
    auto* packInfo = new QPushButton(Tr(Text::PackageInformation));
    auto* multiPack = new QPushButton(Tr(Text::MultiPack));
    auto* debug = new QPushButton(Tr(Text::Debug));
    buttons->addWidget(startButton_);
    buttons->addWidget(debug);
    column->addLayout(buttons);
    auto* infoButtons = new QHBoxLayout;
    infoButtons->addWidget(info);
    infoButtons->addWidget(packInfo);
    infoButtons->addWidget(multiPack);
    column->addLayout(infoButtons);
    connect(startButton_, &QPushButton::clicked, this, &OperatorWindow::start);
    connect(info, &QPushButton::clicked, this, &OperatorWindow::openSoftwareInformation);
    connect(packInfo, &QPushButton::clicked, this, &OperatorWindow::openPackageInformation);
    connect(multiPack, &QPushButton::clicked, this, &OperatorWindow::openMultiPack);
    connect(debug, &QPushButton::clicked, this, [this] { openDebug(); });

    dllBox_ = new QGroupBox(Tr(Text::DllDownload));
    auto* dllLayout = new QVBoxLayout(dllBox_);
    auto* dllButtons = new QHBoxLayout;
    loadDllButton_ = new QPushButton(Tr(Text::LoadDll));
    dllButton_ = new QPushButton(Tr(Text::Download));
    dllButton_->setEnabled(false);
    dllButtons->addWidget(loadDllButton_);
    dllButtons->addWidget(dllButton_);
    dllLayout->addLayout(dllButtons);
    dllList_ = new QListWidget;
    dllList_->setMaximumHeight(90);
    dllLayout->addWidget(dllList_);
    column->addWidget(dllBox_);
    connect(loadDllButton_, &QPushButton::clicked, this, [this] { loadDll(); });
    connect(dllButton_, &QPushButton::clicked, this, [this] { startDll(); });
    column->addStretch(1);

    choices_ = {port_,        project_,  type_,    speed_,    uart_,           simlock_,        pmu_,
                checkKeys_,   compared_, address_, size_,     softwareButton_, comparedButton_, packageButton_,
                startButton_, info,      packInfo, multiPack, loadDllButton_};
    for (QComboBox* c : {port_, project_, type_, speed_, uart_})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(); });
    return box;
}

QWidget* OperatorWindow::BuildDisplay()
{
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->addWidget(new QLabel(Tr(Text::Log)));
    log_ = new QListWidget;
    column->addWidget(log_, 2);
    auto* bars = new QFormLayout;
    softBar_ = new QProgressBar;
    packBar_ = new QProgressBar;
    softBar_->setRange(0, 100);
    packBar_->setRange(0, 100);
    bars->addRow(Tr(Text::SoftwareProgress), softBar_);
    bars->addRow(Tr(Text::PackageProgress), packBar_);
    column->addLayout(bars);
    column->addWidget(new QLabel(Tr(Text::Sectors)));
    sectors_ = new QListWidget;
    sectors_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    column->addWidget(sectors_, 3);
    return box;
}

void OperatorWindow::startUp(const QStringList& arguments)
{
    // "flash.txt" of the working directory, else the one installed beside the program.
    const QString beside = QCoreApplication::applicationDirPath() + "/flash.txt";
    const int flash = QFileInfo::exists("flash.txt") || !QFileInfo::exists(beside)
        ? dwl10_100InitFlashDescription(0)
        : dwl10_101InitFlashDescriptionFromFile(beside.toUtf8().constData());
    if (flash != DWL_OK)
        dwl52_10DisplayResult(DWL_SOFT_FLASH_ERR, flash);
    const int conf = dwl56_0RestoreConfig();
    if (conf != DWL_OK && conf != DWL_CONF_NO_FILE)
        dwl52_10DisplayResult(DWL_SOFT_CONF_ERR, conf);
    if (!arguments.isEmpty()) {
        const int rc = dwl51_40TakeArgument(&sg_DownloadContext, arguments.first().toUtf8().constData());
        if (rc != DWL_OK)
            dwl52_10DisplayResult(DWL_SOFT_LIB_PC_ERR, rc);
    }
    applyContext();
}

void OperatorWindow::applyContext()
{
    const T_DownloadContext& c = sg_DownloadContext;
    applying_ = true;
    if (const int i = port_->findData(int{c.port}); i >= 0)
        port_->setCurrentIndex(i);
    project_->setCurrentIndex(std::max(0, project_->findData(int{c.projectType})));
    if (const int i = type_->findData(int{c.downloadType}); i >= 0)
        type_->setCurrentIndex(i);
    speed_->setCurrentIndex(std::max(0, speed_->findData(int{c.speedIndex})));
    uart_->setCurrentIndex(c.uartSelect == 1 ? 1 : 0);
    simlock_->setChecked(c.simlockOption == 1);
    pmu_->setChecked(c.pmuOption == 1);
    checkKeys_->setChecked(c.checkSimlockOption == 1);
    compared_->setChecked(c.comparedOption == 1);
    address_->setText(QStringLiteral("0x%1").arg(static_cast<uint32_t>(c.blockAddress), 0, 16));
    if (c.downloadType == 5 && c.packageImage == nullptr)
        size_->setText(QStringLiteral("0x%1").arg(c.packageSize, 0, 16));
    applying_ = false;
    UpdateFileLabels();
    UpdateWaitStateMenu();
    // A project or type the lists lack (a configuration file's) is shown here.
    T_MmiControls controls{};
    if (dwl51_12ChooseProjectAndType(&sg_DownloadContext, c.projectType, c.downloadType, &controls) == 1) {
        type_->setEnabled(controls.downloadTypeList != 0);
        softwareButton_->setEnabled(controls.softwareFile != 0);
        comparedButton_->setEnabled(controls.softwareFile != 0);
        packageButton_->setEnabled(controls.packageFile != 0);
        address_->setEnabled(controls.dumpFields != 0);
        size_->setEnabled(controls.dumpFields != 0);
        serviceAction_->setEnabled(controls.service != 0);
    }
}

void OperatorWindow::storeContext()
{
    T_DownloadContext& c = sg_DownloadContext;
    c.port = static_cast<uint8_t>(port_->currentData().toInt());
    c.speedIndex = static_cast<uint8_t>(speed_->currentData().toInt());
    c.uartSelect = static_cast<uint8_t>(uart_->currentData().toInt());
    c.simlockOption = simlock_->isChecked() ? 1 : 0;
    c.pmuOption = pmu_->isChecked() ? 1 : 0;
    c.checkSimlockOption = checkKeys_->isChecked() ? 1 : 0;
    c.comparedOption = compared_->isChecked() ? 1 : 0;
    T_MmiControls controls{};
    (void)dwl51_12ChooseProjectAndType(&c, project_->currentData().toInt(), type_->currentData().toInt(), &controls);
    bool ok = false;
    const uint32_t address = ParseNumber(address_->text(), &ok);
    if (ok && controls.dumpFields != 0)
        c.blockAddress = static_cast<int32_t>(address);
}

void OperatorWindow::ChoiceChanged()
{
    if (applying_)
        return;
    storeContext();
    applyContext();
}

void OperatorWindow::UpdateFileLabels()
{
    const T_DownloadContext& c = sg_DownloadContext;
    auto show = [](QLabel* label, const char* path, bool loaded) {
        const QString p = QString::fromUtf8(path);
        label->setText(p.isEmpty() || !loaded ? Tr(Text::NoFile) : QFileInfo(p).fileName());
        label->setToolTip(p);
    };
    show(softwareLabel_, c.softwarePath, c.softwareImage != nullptr);
    show(comparedLabel_, c.comparedPath, c.comparedPath[0] != '\0');
    show(packageLabel_, c.packagePath, c.packageImage != nullptr);
}

void OperatorWindow::UpdateWaitStateMenu()
{
    for (size_t cs = 0; cs < waitStateGroups_.size(); ++cs) {
        const QList<QAction*> items = waitStateGroups_[cs]->actions();
        const int ws = sg_DownloadContext.waitStates[cs];
        if (ws < items.size())
            items[ws]->setChecked(true);
    }
}

void OperatorWindow::loadSoftware(const QString& path)
{
    const QByteArray p = path.toUtf8();
    T_DownloadContext& c = sg_DownloadContext;
    (void)dwl50_2SetPath(c.softwarePath, p.constData(), static_cast<size_t>(p.size()));
    storeContext();
    if (const int rc = dwl51_0InitLoadFile(); rc != DWL_OK)
        dwl52_10DisplayResult(DWL_SOFT_LIB_PC_ERR, rc);
    UpdateFileLabels();
}

void OperatorWindow::loadCompared(const QString& path)
{
    const QByteArray p = path.toUtf8();
    (void)dwl50_2SetPath(sg_DownloadContext.comparedPath, p.constData(), static_cast<size_t>(p.size()));
    compared_->setChecked(true);
    storeContext();
    dwl6_200GenerateCompInfo(&sg_DownloadContext);
    UpdateFileLabels();
}

void OperatorWindow::loadPackage(const QString& path)
{
    const QByteArray p = path.toUtf8();
    (void)dwl50_2SetPath(sg_DownloadContext.packagePath, p.constData(), static_cast<size_t>(p.size()));
    if (const int rc = dwl51_1InitPackageFile(&sg_DownloadContext); rc != DWL_OK)
        dwl52_10DisplayResult(DWL_SOFT_LIB_PC_ERR, rc);
    UpdateFileLabels();
}

void OperatorWindow::start()
{
    if (busy_)
        return;
    storeContext();
    T_DownloadContext& c = sg_DownloadContext;
    if (c.downloadType == 5) {
        bool ok = false;
        const uint32_t size = ParseNumber(size_->text(), &ok);
        dwl51_13SetBlockSize(&c, ok ? size : 0);
        UpdateFileLabels();
    }
    sectors_->clear();
    softBar_->setValue(0);
    packBar_->setValue(0);
    lastFamily_ = -1;
    lastResult_.clear();
    runJob([] { (void)dwl51_50MMIStart(&sg_DownloadContext); });
}

void OperatorWindow::runJob(std::function<void()> job)
{
    SetDimmed(true);
    worker_->post([this, job = std::move(job)] {
        job();
        QMetaObject::invokeMethod(
            this, [this] { JobFinished(); }, Qt::QueuedConnection);
    });
}

void OperatorWindow::JobFinished()
{
    SetDimmed(false);
    applyContext();
}

void OperatorWindow::SetDimmed(bool dimmed)
{
    busy_ = dimmed;
    for (QWidget* w : choices_)
        w->setEnabled(!dimmed);
    for (QMenu* m : dimmedMenus_)
        m->setEnabled(!dimmed);
    if (service_)
        service_->setBusy(dimmed);
    status_->setText(dimmed ? Tr(Text::Running) : QString());
}

QStringList OperatorWindow::logLines() const
{
    QStringList lines;
    for (int i = 0; i < log_->count(); ++i)
        lines << log_->item(i)->text();
    return lines;
}

QStringList OperatorWindow::sectorRows() const
{
    QStringList rows;
    for (int i = 0; i < sectors_->count(); ++i)
        rows << sectors_->item(i)->text();
    return rows;
}

QStringList OperatorWindow::dllLines() const
{
    QStringList rows;
    for (int i = 0; i < dllList_->count(); ++i)
        rows << dllList_->item(i)->text();
    return rows;
}

int OperatorWindow::softwarePercent() const
{
    return softBar_->value();
}

void OperatorWindow::showMessage(const QString& title, const QString& text)
{
    log_->addItem(title.isEmpty() ? text : title.trimmed() + ": " + text);
    log_->scrollToBottom();
    if (title.isEmpty())
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, title.trimmed(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void OperatorWindow::showSectorTableRow(int sector, const QString& row)
{
    while (sectors_->count() < sector)
        sectors_->addItem(QString());
    if (sector < sectors_->count())
        sectors_->item(sector)->setText(row);
    else
        sectors_->addItem(row);
}

void OperatorWindow::showSectorRow(const QString& row)
{
    bool ok = false;
    const int sector = row.section('|', 0, 0).trimmed().toInt(&ok);
    if (ok && sector >= 0 && sector < sectors_->count()) {
        sectors_->item(sector)->setText(row);
        sectors_->scrollToItem(sectors_->item(sector));
    } else {
        sectors_->addItem(row);
    }
}

void OperatorWindow::showProgress(int softPercent, int packPercent)
{
    softBar_->setValue(softPercent);
    packBar_->setValue(packPercent);
}

void OperatorWindow::showResult(int family, const QString& familyName, const QString& message)
{
    lastFamily_ = family;
    lastResult_ = message;
    log_->addItem(familyName + ": " + message);
    log_->scrollToBottom();
    auto* window = new QDialog(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(familyName.isEmpty() ? QStringLiteral("DWL_SOFT") : familyName);
    auto* layout = new QVBoxLayout(window);
    auto* text = new QLabel(message);
    text->setObjectName(QStringLiteral("resultMessage"));
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    text->setMargin(12);
    // Success in green; the other families keep the window's colours.
    if (family == DWL_SOFT_OK)
        text->setStyleSheet(QStringLiteral("QLabel { background: #1e8c3a; color: white; font-weight: bold; }"));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, window, &QDialog::accept);
    layout->addWidget(buttons);
    window->setModal(false);
    window->show();
}

QString OperatorWindow::chooseFile(const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(this, title, QString::fromUtf8(sg_DownloadContext.directory), filter);
}

ServiceWindow* OperatorWindow::openService()
{
    if (!service_)
        service_ = new ServiceWindow(this);
    service_->setBusy(busy_);
    service_->show();
    service_->raise();
    return service_;
}

DebugWindow* OperatorWindow::openDebug()
{
    if (!debug_)
        debug_ = new DebugWindow(this);
    debug_->show();
    debug_->raise();
    return debug_;
}

void OperatorWindow::openSoftwareInformation()
{
    auto* w = new InfoWindow(this);
    w->showSoftware(sg_DownloadContext.softwareImage, sg_DownloadContext.softwareSize);
    w->show();
}

void OperatorWindow::openPackageInformation()
{
    const T_DownloadContext& c = sg_DownloadContext;
    // The package is read in the layout of the loaded software's version.
    int version = 0;
    uint32_t length = 0;
    if (uint8_t* tag = dwl12_3GetTagInfoInFileCla(c.softwareImage, c.softwareSize, &length)) {
        T_TagInfo info;
        if (dwl16_10ParseTag(tag, length, &info) == DWL_OK)
            version = info.version;
        std::free(tag);
    }
    auto* w = new InfoWindow(this);
    w->showPackage(c.packageImage, c.packageSize, version);
    w->show();
}

void OperatorWindow::openMultiPack()
{
    auto* w = new MultiPackWindow(this);
    w->show();
}

bool OperatorWindow::dllOffered() const
{
    return !dllDir_.isEmpty();
}

bool OperatorWindow::loadDll()
{
    if (dllDir_.isEmpty() || busy_)
        return false;
    storeContext();
    const int port = sg_DownloadContext.port;
    if (dllPending_ != nullptr)
        dwl51_84UnloadDll(dllPending_);
    dllPending_ = dwl51_81LoadDll(dllDir_.toUtf8().constData(), port, dllModules_.empty() ? 0 : 1,
                                  debug_ && debug_->isVisible() ? 2 : -1, 1);
    dllPendingPort_ = port;
    dllButton_->setEnabled(dllPending_ != nullptr);
    if (dllPending_ == nullptr)
        showMessage(Tr(Text::DllDownload), QStringLiteral(DWL_DLL_FILE_NAME));
    return dllPending_ != nullptr;
}

bool OperatorWindow::startDll()
{
    if (dllPending_ == nullptr)
        return false;
    storeContext();
    T_DllModule* module = dllPending_;
    dllPending_ = nullptr;
    const int port = dllPendingPort_;
    if (dwl51_82StartDllDownload(module, &sg_DownloadContext, static_cast<uint8_t>(port), &DllProgress, this) != 1) {
        dwl51_84UnloadDll(module);
        return false;
    }
    dllModules_.push_back(module);
    dllList_->item(DllRow(port))->setText(Tr(Text::DllStarted).arg(port));
    // The next port can be loaded a second after this one started.
    loadDllButton_->setEnabled(false);
    dllButton_->setEnabled(false);
    QTimer::singleShot(1000, this, [this] { loadDllButton_->setEnabled(!busy_); });
    return true;
}

int OperatorWindow::DllRow(int port)
{
    const QString prefix = QStringLiteral("COM%1:").arg(port);
    for (int i = 0; i < dllList_->count(); ++i)
        if (dllList_->item(i)->text().startsWith(prefix))
            return i;
    dllList_->addItem(prefix);
    return dllList_->count() - 1;
}

void OperatorWindow::showDllLine(int port, int family, const QString& text)
{
    QListWidgetItem* item = dllList_->item(DllRow(port));
    item->setText(QStringLiteral("COM%1: %2").arg(port).arg(text));
    item->setForeground(family == DWL_SOFT_OK ? QColor(0x1e, 0x8c, 0x3a) : QColor(0xb0, 0x20, 0x20));
}

void OperatorWindow::showDllProgress(int port, int softPercent, int packPercent)
{
    dllList_->item(DllRow(port))
        ->setText(QStringLiteral("COM%1: %2 % / %3 %").arg(port).arg(softPercent).arg(packPercent));
}

void OperatorWindow::closeEvent(QCloseEvent* event)
{
    const auto answer = QMessageBox::question(this, Tr(Text::ConfirmQuitTitle), Tr(Text::ConfirmQuitText),
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok)
        event->accept();
    else
        event->ignore();
}

}  // namespace brindelui
