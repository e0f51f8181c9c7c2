#include "mobile/media/ui/midi_views.h"

#include "mobile/media/core/media_parts.h"
#include "mobile/media/core/media_slots.h"
#include "mobile/media/core/mp3_flows.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"
#include "quorlink/media/mci.h"
#include "resources/strings.h"

#include <QApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mediaui {

using shellui::Str;

namespace {

constexpr int kCmdPathConfirmed = 1010;
constexpr int kCmdPut = 1043;
constexpr int kCmdSave = 1044;
constexpr int kCmdEmpty = 1051;
constexpr int kCmdRingtones = 32773;
constexpr int kCmdMp3Ringtones = 32792;
constexpr int kCategoryWapSounds = 57968;  // a pane's category command: WAP/MMS sounds
constexpr int kCategorySoundSlots = 57970;  // user ringtone slots
constexpr int kTickMs = 200;

QString FromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

// ---- CMidiLeftView ----------------------------------------------------------

CMidiLeftView::CMidiLeftView(QWidget* parent) : QWidget(parent), notify_(this), player_(notify_.handle())
{
    setObjectName("CMidiLeftView");
    auto* form = new QFormLayout;
    name_ = new QLabel(this);
    size_ = new QLabel(this);
    time_ = new QLabel(this);
    type_ = new QLabel(this);
    name_->setObjectName("soundName");
    time_->setObjectName("soundTime");
    form->addRow(Str(res::IDS_NAME), name_);
    form->addRow(Str(res::IDS_SIZE), size_);
    form->addRow(Str(res::IDS_LENGTH), time_);
    form->addRow(Str(res::IDS_TYPE), type_);

    position_ = new QProgressBar(this);
    position_->setObjectName("soundPosition");
    position_->setRange(0, 100);
    position_->setTextVisible(false);
    position_->setFixedHeight(10);

    play_ = new QPushButton(Str(res::IDS_SOUND_PLAY), this);
    pause_ = new QPushButton(Str(res::IDS_SOUND_PAUSE), this);
    stop_ = new QPushButton(Str(res::IDS_SOUND_STOP), this);
    play_->setObjectName("play1032");
    pause_->setObjectName("pause1033");
    stop_->setObjectName("stop1038");
    connect(play_, &QPushButton::clicked, this, &CMidiLeftView::play);
    connect(pause_, &QPushButton::clicked, this, &CMidiLeftView::pauseResume);
    connect(stop_, &QPushButton::clicked, this, &CMidiLeftView::stop);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(play_);
    buttons->addWidget(pause_);
    buttons->addWidget(stop_);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addWidget(position_);
    layout->addLayout(buttons);
    layout->addStretch();

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CMidiLeftView::tick);
    refresh();
}

CMidiLeftView::~CMidiLeftView()
{
    timer_.stop();
}

QString CMidiLeftView::timeText() const
{
    return time_->text();
}

bool CMidiLeftView::selectFile(const QString& path)
{
    const media::SoundCheck check = player_.select(path.toStdString());
    if (!check.accepted) {
        if (check.messageId == res::IDS_FILE_TOO_LARGE_MOST)
            shellui::ShowMessage(window(), shellui::MessageKind::Error,
                                 Str(check.messageId).replace("%d", QString::number(check.limitKb)));
        else if (check.messageId != 0)
            shellui::ShowMessage(window(), shellui::MessageKind::Error, Str(check.messageId));
        refresh();
        return false;
    }
    refresh();
    return true;
}

void CMidiLeftView::play()
{
    if (const int message = player_.play(); message != 0)
        shellui::ShowMessage(window(), shellui::MessageKind::Information, Str(message));
    refresh();
}

void CMidiLeftView::pauseResume()
{
    player_.pauseResume();
    refresh();
}

void CMidiLeftView::stop()
{
    player_.stop();
    refresh();
}

void CMidiLeftView::forget()
{
    player_.clear();
    refresh();
}

void CMidiLeftView::tick()
{
    if (player_.tick())
        time_->setText(FromUtf8(player_.timeText()));
    position_->setValue(player_.positionPercent());
}

bool CMidiLeftView::event(QEvent* e)
{
    if (e->type() == shellui::LinkEvent::Type()) {
        const plat::Message& m = static_cast<shellui::LinkEvent*>(e)->message();
        if (m.message == quorlink::media::mci::MM_MCINOTIFY) {
            player_.onNotify(static_cast<uint32_t>(m.wParam), static_cast<uint32_t>(m.lParam));
            refresh();
        }
        return true;
    }
    return QWidget::event(e);
}

void CMidiLeftView::hideEvent(QHideEvent* e)
{
    player_.stop();
    refresh();
    QWidget::hideEvent(e);
}

void CMidiLeftView::refresh()
{
    const media::SelectedSound& s = player_.selected();
    const bool file = player_.state() != media::PlayerState::NoFile;
    name_->setText(file ? FromUtf8(s.shortName) : QString());
    size_->setText(file ? FromUtf8(s.sizeText) : QString());
    type_->setText(file ? FromUtf8(s.typeWord) : QString());
    time_->setText(FromUtf8(player_.timeText()));
    position_->setValue(player_.positionPercent());
    const bool enabled = player_.buttonsEnabled();
    play_->setEnabled(enabled);
    pause_->setEnabled(enabled);
    stop_->setEnabled(enabled);
    pause_->setText(Str(player_.state() == media::PlayerState::Paused ? res::IDS_SOUND_RESUME : res::IDS_SOUND_PAUSE));
    if (player_.timerWanted() && !timer_.isActive())
        timer_.start();
    else if (!player_.timerWanted())
        timer_.stop();
}

// ---- CMidiRightView ---------------------------------------------------------

CMidiRightView::CMidiRightView(bool mp3Form, QWidget* parent)
    : QWidget(parent), category_(mp3Form ? media::SoundCategory::Mp3 : media::SoundCategory::User)
{
    setObjectName("CMidiRightView");
    tabs_ = new QTabBar(this);
    tabs_->addTab(Str(res::IDS_SOUND_TAB_USER));
    tabs_->addTab(Str(res::IDS_SOUND_TAB_WAP));
    tabs_->addTab(Str(res::IDS_SOUND_TAB_MMS));
    tabs_->setEnabled(!mp3Form);  // the MP3 list has no other categories
    connect(tabs_, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && category_ != media::SoundCategory::Mp3)
            emit categoryChosen(index + 1);
    });

    list_ = new QTreeWidget(this);
    list_->setObjectName("soundList");
    list_->setRootIsDecorated(false);
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {Str(res::IDS_SOUND_COLUMN_NUMBER), Str(res::IDS_SOUND_COLUMN_NAME), Str(res::IDS_SOUND_COLUMN_SIZE)});
    list_->setColumnWidth(0, 50);
    list_->setColumnWidth(1, 290);
    list_->setColumnWidth(2, 70);
    list_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);
    layout->addWidget(list_);
    setRows(media::EmptyRows(mp3Form ? 5 : media::kSlotCount));
}

void CMidiRightView::setCategory(media::SoundCategory category)
{
    if (category_ == media::SoundCategory::Mp3)
        return;
    category_ = category;
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(static_cast<int>(category) - 1);
}

void CMidiRightView::setRows(std::vector<media::MediaRow> rows)
{
    rows_ = std::move(rows);
    list_->clear();
    for (const media::MediaRow& r : rows_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::number(r.number));
        item->setText(1, r.nameId ? Str(r.nameId) : FromUtf8(r.name));
        item->setText(2, FromUtf8(r.sizeText));
        item->setData(0, Qt::UserRole, r.used ? 1 : 0);
    }
}

const media::MediaRow* CMidiRightView::selectedRow() const
{
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected())
        return nullptr;
    const int index = list_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    return index >= 0 && index < static_cast<int>(rows_.size()) ? &rows_[static_cast<size_t>(index)] : nullptr;
}

void CMidiRightView::selectRow(int index)
{
    if (QTreeWidgetItem* item = list_->topLevelItem(index)) {
        list_->setCurrentItem(item);
        item->setSelected(true);
    }
}

bool CMidiRightView::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == list_ && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        emit deletePressed();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

// ---- SoundPage --------------------------------------------------------------

SoundPage::SoundPage(shellui::PageHost& host, QWidget* parent, bool mp3Form)
    : host_(host), mp3Form_(mp3Form), left_(new CMidiLeftView(parent)), right_(new CMidiRightView(mp3Form, parent))
{
    // Device errors of the player: a beep and a warning box over the frame.
    QWidget* frame = host.dialogParent();
    quorlink::media::CMciDevice::SetErrorReporter([frame](uint32_t, const std::string& text, const std::string& title) {
        QApplication::beep();
        QMessageBox::warning(frame, FromUtf8(title), FromUtf8(text));
    });
    QObject::connect(right_, &CMidiRightView::categoryChosen, right_, [this](int c) { chooseCategory(c); });
    QObject::connect(right_, &CMidiRightView::deletePressed, right_, [this] { command(kCmdEmpty, {}); });
}

SoundPage::~SoundPage()
{
    quorlink::media::CMciDevice::SetErrorReporter({});
}

uint32_t SoundPage::controlMode() const
{
    const media::SoundCategory c = right_->category();
    return c == media::SoundCategory::Wap || c == media::SoundCategory::Mms ? shell::kModeSoundWap
                                                                            : shell::kModeSoundSlots;
}

bool SoundPage::connectedForList() const
{
    return mp3Form_ ? host_.connection().mp3Mode : host_.connection().phoneMode;
}

void SoundPage::shown()
{
    loadList();
}

void SoundPage::connectionChanged()
{
    if (!host_.connection().connected()) {
        left_->forget();
        right_->setCategory(media::SoundCategory::User);
        right_->setRows(media::EmptyRows(mp3Form_ ? 5 : media::kSlotCount));
        return;
    }
    loadList();
}

void SoundPage::loadList()
{
    const media::SoundCategory c = right_->category();
    const size_t empty = c == media::SoundCategory::Mp3 ? 5 : media::kSlotCount;
    if (!connectedForList()) {
        right_->setRows(media::EmptyRows(empty));
        return;
    }
    if (c == media::SoundCategory::Mp3) {
        media::Mp3Listing mp3 = media::LoadMp3List(plat::ProgramDirectory());
        right_->setRows(std::move(mp3.rows));
        if (mp3.messageId != 0)
            host_.message(mp3.messageId, shell::Icon::Error);
        return;
    }
    media::SoundListing listing = media::LoadSoundList(plat::ProgramDirectory(), c, true, host_);
    if (listing.messageId != 0) {
        right_->setRows(media::EmptyRows(empty));
        host_.message(listing.messageId, shell::Icon::Error);
        return;
    }
    right_->setRows(std::move(listing.rows));
}

void SoundPage::chooseCategory(int category)
{
    right_->setCategory(static_cast<media::SoundCategory>(category));
    host_.categoryChanged(category == 1 ? kCategorySoundSlots : kCategoryWapSounds);
    loadList();
}

void SoundPage::command(int id, const QString& text)
{
    switch (id) {
    case kCmdPathConfirmed:
        // A refused file leaves the selection, and the field, as they were.
        left_->selectFile(text);
        host_.setPathText(QString::fromStdString(left_->player().selected().path));
        break;
    case kCmdPut: put(); break;
    case kCmdEmpty: empty(); break;
    case kCmdSave: save(); break;
    default: break;
    }
}

bool SoundPage::askName(int maxLength, QString& name)
{
    QInputDialog dialog(host_.dialogParent());
    dialog.setWindowTitle(Str(res::IDS_SOUND_NAME_TITLE));
    dialog.setLabelText(Str(res::IDS_SOUND_NAME_PROMPT).replace("%d", QString::number(maxLength)));
    dialog.setTextValue(name);
    dialog.setOkButtonText(Str(59004));
    dialog.setCancelButtonText(Str(57765));
    if (auto* edit = dialog.findChild<QLineEdit*>())
        edit->setMaxLength(maxLength);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.textValue().left(maxLength);
    return true;
}

void SoundPage::putMp3()
{
    const media::SelectedSound& sound = left_->player().selected();
    if (left_->player().state() == media::PlayerState::NoFile || sound.typeWord != "MP3") {
        host_.message(res::IDS_CHOOSE_SOUND_FILE_PC, shell::Icon::Error);
        return;
    }
    const media::MediaRow* row = right_->selectedRow();
    if (!row) {
        host_.message(res::IDS_SELECT_RINGTONE_SLOT_FIRST, shell::Icon::Error);
        return;
    }
    const int slot = row->number;
    QString name = FromUtf8(media::ShortName(sound.path, media::kMp3NameChars));
    if (!askName(static_cast<int>(media::kMp3NameChars), name))
        return;
    const std::string clean = media::SlotNameFromUser(name.toStdString());
    left_->stop();
    media::Mp3Flows flows(plat::ProgramDirectory(), host_);
    const media::FlowResult r = flows.put(slot, clean, sound.path);
    host_.message(r.messageId, r.icon);
    loadList();
    right_->selectRow(slot - 1);
}

void SoundPage::emptyMp3()
{
    const media::MediaRow* row = right_->selectedRow();
    if (!row || !row->used || !host_.ask(res::IDS_EMPTY_SELECTED_SLOT))
        return;
    left_->stop();
    media::Mp3Flows flows(plat::ProgramDirectory(), host_);
    const media::FlowResult r = flows.empty(row->number);
    host_.message(r.messageId, r.icon);
    loadList();
}

void SoundPage::put()
{
    if (mp3Form_ && connectedForList())
        return putMp3();
    if (!connectedForList()) {
        host_.message(res::IDS_NEEDS_PHONE_MODE, shell::Icon::Error);
        return;
    }
    const media::SelectedSound& sound = left_->player().selected();
    if (left_->player().state() == media::PlayerState::NoFile) {
        host_.message(res::IDS_CHOOSE_SOUND_FILE_PC, shell::Icon::Error);
        return;
    }
    const media::MediaRow* row = right_->selectedRow();
    if (!row || right_->category() != media::SoundCategory::User) {
        host_.message(res::IDS_SELECT_RINGTONE_SLOT_FIRST, shell::Icon::Error);
        return;
    }
    const int slot = row->number;
    if (row->used && !host_.ask(res::IDS_SLOT_USE_REPLACE_RINGTONE))
        return;
    QString name = FromUtf8(media::ShortName(sound.path, 12));
    if (!askName(12, name))
        return;
    const std::string clean = media::SlotNameFromUser(name.toStdString());
    left_->stop();
    media::SlotFlows flows(plat::ProgramDirectory(), host_);
    const media::FlowResult r = flows.putRingtone(slot, clean, sound.path, sound.typeWord);
    if (r.messageId)
        host_.message(r.messageId, r.icon);
    loadList();
    right_->selectRow(slot - 1);
}

void SoundPage::empty()
{
    if (mp3Form_ && connectedForList())
        return emptyMp3();
    if (!connectedForList() || right_->category() != media::SoundCategory::User)
        return;
    const media::MediaRow* row = right_->selectedRow();
    if (!row || !row->used)
        return;
    const int slot = row->number;
    if (!host_.ask(res::IDS_EMPTY_SELECTED_SLOT))
        return;
    left_->stop();
    media::SlotFlows flows(plat::ProgramDirectory(), host_);
    const media::FlowResult r = flows.emptySlot(media::SlotTableKind::Ringtones, slot, false);
    if (r.messageId)
        host_.message(r.messageId, r.icon);
    loadList();
}

void SoundPage::save()
{
    const media::SoundCategory c = right_->category();
    const std::optional<media::MediaList> list = media::SoundList(c);
    const media::MediaRow* row = right_->selectedRow();
    if (!list || c == media::SoundCategory::User || !row || !row->used)
        return;
    const std::string ext = media::SaveExtension(row->fileName);
    const QString out = QFileDialog::getSaveFileName(host_.dialogParent(), Str(res::IDS_SOUND_SAVE_TITLE),
                                                     FromUtf8(media::SaveDefaultName(row->displayName)),
                                                     FromUtf8(ext + " File(*." + ext + ")"));
    if (out.isEmpty())
        return;
    QString path = out;
    if (!ext.empty() && !path.contains('.'))
        path += FromUtf8("." + ext);
    const media::MediaRow chosen = *row;
    const media::FlowResult r = media::SaveItem(host_, plat::ProgramDirectory(), *list, chosen, path.toStdString());
    if (r.messageId)
        host_.message(r.messageId, r.icon);
}

std::vector<shellui::PageRegistration> SoundPages()
{
    return {
        {kCmdRingtones,
         [](shellui::PageHost& host, QWidget* parent) { return std::make_unique<SoundPage>(host, parent, false); }},
        {kCmdMp3Ringtones,
         [](shellui::PageHost& host, QWidget* parent) { return std::make_unique<SoundPage>(host, parent, true); }},
    };
}

}  // namespace mediaui
