#include "service_window.h"

#include "operator_texts.h"
#include "operator_window.h"

#include "brindel/dwl10fla.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/panels/dwl53ser.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace brindelui {

namespace {

void QueuedDescription(const char* row, void* user)
{
    auto* w = static_cast<ServiceWindow*>(user);
    const QString r = QString::fromUtf8(row);
    QMetaObject::invokeMethod(
        w, [w, r] { w->addDescription(r); }, Qt::QueuedConnection);
}

void QueuedSector(int sector, const char* row, void* user)
{
    auto* w = static_cast<ServiceWindow*>(user);
    const QString r = QString::fromUtf8(row);
    QMetaObject::invokeMethod(
        w, [w, sector, r] { w->setSectorRow(sector, r); }, Qt::QueuedConnection);
}

}  // namespace

ServiceWindow::ServiceWindow(OperatorWindow* owner) : QDialog(owner), owner_(owner)
{
    setWindowTitle(Tr(Text::Service));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto* on = new QPushButton(Tr(Text::SwitchOn));
    auto* off = new QPushButton(Tr(Text::SwitchOff));
    auto* erase = new QPushButton(Tr(Text::Erase));
    auto* eraseOne = new QPushButton(Tr(Text::EraseSector));
    auto* dump = new QPushButton(Tr(Text::Dump));
    bank_ = new QComboBox;
    sector_ = new QSpinBox;
    sector_->setRange(0, DWL_MAX_SECTORS - 1);
    grid->addWidget(on, 0, 0);
    grid->addWidget(off, 0, 1);
    grid->addWidget(new QLabel(Tr(Text::Bank)), 1, 0);
    grid->addWidget(bank_, 1, 1);
    grid->addWidget(erase, 1, 2);
    grid->addWidget(new QLabel(Tr(Text::Sector)), 2, 0);
    grid->addWidget(sector_, 2, 1);
    grid->addWidget(eraseOne, 2, 2);
    grid->addWidget(dump, 2, 3);
    layout->addLayout(grid);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    layout->addWidget(new QLabel(Tr(Text::FlashDescriptions)));
    descriptions_ = new QListWidget;
    descriptions_->setFont(fixed);
    descriptions_->setMaximumHeight(140);
    layout->addWidget(descriptions_);
    layout->addWidget(new QLabel(Tr(Text::Sectors)));
    sectors_ = new QListWidget;
    sectors_->setFont(fixed);
    layout->addWidget(sectors_, 1);
    buttons_ = {on, off, erase, eraseOne, dump};
    connect(on, &QPushButton::clicked, this, &ServiceWindow::switchOn);
    connect(off, &QPushButton::clicked, this, &ServiceWindow::switchOff);
    connect(erase, &QPushButton::clicked, this, [this] { eraseBank(bank_->currentData().toInt()); });
    connect(eraseOne, &QPushButton::clicked, this, [this] { eraseSector(sector_->value()); });
    connect(dump, &QPushButton::clicked, this, [this] { dumpSector(sector_->value()); });
    connect(sectors_, &QListWidget::currentRowChanged, sector_, [this](int row) {
        if (row >= 0)
            sector_->setValue(row);
    });
    resize(720, 560);
}

void ServiceWindow::switchOn()
{
    owner_->storeContext();
    descriptions_->clear();
    sectors_->clear();
    owner_->runJob([this] {
        const T_ServiceSink sink{&QueuedDescription, &QueuedSector, this};
        const DownloadResult r = dwl53_0SwitchOn(&sg_DownloadContext, &sink);
        if (r.family != DWL_SOFT_OK)
            dwl52_11DisplayContextResult(&sg_DownloadContext, r.family, r.code);
        QMetaObject::invokeMethod(
            this, [this] { switchedOn(); }, Qt::QueuedConnection);
    });
}

void ServiceWindow::switchedOn()
{
    // The banks of the identified flash (read once the switch on finished).
    bank_->clear();
    uint8_t index = 0;
    const T_DownloadContext& c = sg_DownloadContext;
    if (dwl10_500GetFlashIndex(c.manufacturerId, c.deviceId, &index) == DWL_OK) {
        const int banks = vg_FlashDescritpion.descriptions[index].numberOfBanks;
        for (int b = 0; b < banks; ++b)
            bank_->addItem(QString::number(b), b);
    }
    bank_->addItem(Tr(Text::AllBanks), DWL_ALL_BANKS);
}

void ServiceWindow::switchOff()
{
    owner_->runJob([] {
        const DownloadResult r = dwl53_1SwitchOff(&sg_DownloadContext);
        dwl52_11DisplayContextResult(&sg_DownloadContext, r.family, r.code);
    });
}

void ServiceWindow::eraseBank(int bank)
{
    owner_->runJob([this, bank] {
        const T_ServiceSink sink{&QueuedDescription, &QueuedSector, this};
        const DownloadResult r = dwl53_2EraseBank(&sg_DownloadContext, bank, &sink);
        dwl52_11DisplayContextResult(&sg_DownloadContext, r.family, r.code);
    });
}

void ServiceWindow::eraseSector(int sector)
{
    owner_->runJob([this, sector] {
        const T_ServiceSink sink{&QueuedDescription, &QueuedSector, this};
        const DownloadResult r = dwl53_3EraseSector(&sg_DownloadContext, sector, &sink);
        dwl52_11DisplayContextResult(&sg_DownloadContext, r.family, r.code);
    });
}

void ServiceWindow::dumpSector(int sector)
{
    const T_DownloadContext& c = sg_DownloadContext;
    uint32_t offset = 0;
    for (int s = 0; s < sector; ++s) {
        int32_t size = 0;
        if (dwl10_0GetSectorSize(c.manufacturerId, c.deviceId, static_cast<uint16_t>(s), &size) != DWL_OK)
            return;
        offset += static_cast<uint32_t>(size);
    }
    int32_t size = 0;
    if (dwl10_0GetSectorSize(c.manufacturerId, c.deviceId, static_cast<uint16_t>(sector), &size) != DWL_OK)
        return;
    dwl53_4SelectDump(&sg_DownloadContext, offset, static_cast<uint32_t>(size));
    owner_->applyContext();
}

void ServiceWindow::setBusy(bool busy)
{
    for (QPushButton* b : buttons_)
        b->setEnabled(!busy);
}

QStringList ServiceWindow::descriptions() const
{
    QStringList rows;
    for (int i = 0; i < descriptions_->count(); ++i)
        rows << descriptions_->item(i)->text();
    return rows;
}

QStringList ServiceWindow::sectorRows() const
{
    QStringList rows;
    for (int i = 0; i < sectors_->count(); ++i)
        rows << sectors_->item(i)->text();
    return rows;
}

void ServiceWindow::addDescription(const QString& row)
{
    descriptions_->addItem(row);
}

void ServiceWindow::setSectorRow(int sector, const QString& row)
{
    while (sectors_->count() <= sector)
        sectors_->addItem(QString());
    sectors_->item(sector)->setText(row);
}

}  // namespace brindelui
