#include "mobile/phonebook/ui/edit_dialog.h"

#include "mobile/phonebook/core/editing.h"
#include "mobile/phonebook/ui/ui_text.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "resources/strings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using shellui::Str;

namespace phonebookui {

using namespace phonebook;

ContactEditDialog::ContactEditDialog(std::optional<ContactRecord> existing, QWidget* parent)
    : QDialog(parent), existing_(std::move(existing))
{
    setObjectName("phonebookEditDialog");
    setWindowTitle(Str(existing_ ? res::IDS_PB_EDIT_ENTRY : res::IDS_PB_ADD_ENTRY));
    work_ = existing_ ? *existing_ : NewHandsetRecord();

    auto* layout = new QVBoxLayout(this);
    steps_ = new QStackedWidget(this);
    layout->addWidget(steps_);

    // Step one.
    auto* first = new QWidget(steps_);
    auto* form = new QFormLayout(first);
    auto* memoryRow = new QWidget(first);
    auto* memoryLayout = new QHBoxLayout(memoryRow);
    memoryLayout->setContentsMargins(0, 0, 0, 0);
    sim_ = new QRadioButton(Str(res::IDS_PB_MEMORY_SIM), memoryRow);
    sim_->setObjectName("memorySim");
    handset_ = new QRadioButton(Str(res::IDS_PB_MEMORY_HANDSET), memoryRow);
    handset_->setObjectName("memoryHandset");
    memoryLayout->addWidget(handset_);
    memoryLayout->addWidget(sim_);
    memoryLayout->addStretch(1);
    form->addRow(Str(res::IDS_PB_MEMORY_LABEL), memoryRow);
    name_ = new QLineEdit(first);
    name_->setObjectName("name");
    form->addRow(Str(res::IDS_PB_NAME_LABEL), name_);
    groupRow_ = group_ = new QComboBox(first);
    group_->setObjectName("group");
    for (int g = 0; g < kGroupCount; ++g)
        group_->addItem(Str(GroupLabel(g)));
    form->addRow(Str(res::IDS_PB_GROUP_LABEL), group_);
    numberRow_ = number_ = new QLineEdit(first);
    number_->setObjectName("simNumber");
    LimitEdit(number_, kEditNumberChars, "0123456789pw+#*");
    form->addRow(Str(res::IDS_PB_NUMBER_LABEL), number_);
    steps_->addWidget(first);

    // Step two.
    auto* second = new QWidget(steps_);
    auto* v = new QVBoxLayout(second);
    v->addWidget(new QLabel(Str(res::IDS_PB_FIELDS), second));
    fields_ = new QListWidget(second);
    fields_->setObjectName("fields");
    fields_->installEventFilter(this);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(fields_, 1);
    auto* listButtons = new QVBoxLayout;
    auto button = [&](int text, const char* name, void (ContactEditDialog::*slot)(), QBoxLayout* into) {
        auto* b = new QPushButton(Str(text), second);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        into->addWidget(b);
        return b;
    };
    button(res::IDS_PB_EDIT_FIELD, "editField", &ContactEditDialog::editField, listButtons);
    button(res::IDS_PB_DELETE_FIELD, "deleteField", &ContactEditDialog::deleteField, listButtons);
    button(res::IDS_PB_MAKE_DEFAULT, "makeDefault", &ContactEditDialog::makeDefault, listButtons);
    listButtons->addStretch(1);
    listRow->addLayout(listButtons);
    v->addLayout(listRow);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(new QLabel(Str(res::IDS_PB_KIND), second));
    kind_ = new QComboBox(second);
    kind_->setObjectName("kind");
    kind_->addItem(Str(res::IDS_PB_PICK_KIND), -1);
    for (int k = 0; k < kKindCount; ++k)
        kind_->addItem(Str(KindLabel(k)), k);
    addRow->addWidget(kind_);
    addRow->addWidget(new QLabel(Str(res::IDS_PB_VALUE), second));
    value_ = new QLineEdit(second);
    value_->setObjectName("value");
    addRow->addWidget(value_, 1);
    button(res::IDS_PB_ADD_FIELD, "addField", &ContactEditDialog::addField, addRow);
    v->addLayout(addRow);
    steps_->addWidget(second);

    // The dialog's own buttons.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    back_ = new QPushButton(Str(res::IDS_PB_BACK), this);
    back_->setObjectName("back");
    next_ = new QPushButton(Str(res::IDS_PB_NEXT), this);
    next_->setObjectName("next");
    ok_ = new QPushButton(Str(res::IDS_OK), this);
    ok_->setObjectName("ok");
    auto* cancel = new QPushButton(Str(res::IDS_CANCEL), this);
    for (QPushButton* b : {back_, next_, ok_, cancel})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(back_, &QPushButton::clicked, this, &ContactEditDialog::back);
    connect(next_, &QPushButton::clicked, this, &ContactEditDialog::next);
    connect(ok_, &QPushButton::clicked, this, &ContactEditDialog::finish);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The entry's values.
    const bool isSim = work_.memory == kMemorySim;
    (isSim ? sim_ : handset_)->setChecked(true);
    name_->setText(FromPc(DisplayName(work_)));
    group_->setCurrentIndex(std::min<int>(work_.group, kGroupCount - 1));
    number_->setText(FromPc(GetText(work_, Field::SimNumber)));
    connect(sim_, &QRadioButton::toggled, this, [this] { memoryChanged(); });
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] { kindChanged(); });
    memoryChanged();
    kindChanged();
    steps_->setCurrentIndex(0);
    back_->setVisible(false);
    resize(460, 320);
}

uint8_t ContactEditDialog::memory() const
{
    return sim_->isChecked() ? kMemorySim : kMemoryHandset;
}

std::string ContactEditDialog::nameText() const
{
    return ToPc(name_->text());
}

int ContactEditDialog::step() const
{
    return steps_->currentIndex() + 1;
}

void ContactEditDialog::complain(int messageId, int kind)
{
    QString text = Str(messageId);
    if (messageId == res::IDS_ALL_D_NUMBER_FIELDS)
        text.replace("%d", QString::number(kNumberCount));
    if (kind >= 0)
        text = Str(KindLabel(kind)) + text;
    (void)shellui::ShowMessage(this, shellui::MessageKind::Error, text);
}

void ContactEditDialog::memoryChanged()
{
    const bool isSim = memory() == kMemorySim;
    LimitEdit(name_, isSim ? kSimNameChars : kHandsetNameChars);
    groupRow_->setEnabled(!isSim);
    numberRow_->setEnabled(isSim);
    // Switching an existing handset entry to the SIM offers its default number.
    if (isSim && existing_ && existing_->memory == kMemoryHandset && number_->text().isEmpty())
        number_->setText(FromPc(GetText(ToSim(*existing_), Field::SimNumber)));
    next_->setVisible(!isSim);
    ok_->setVisible(isSim);
}

void ContactEditDialog::kindChanged()
{
    const int kind = kind_->currentData().toInt();
    value_->clear();
    if (kind < 0)
        LimitEdit(value_, 60);
    else
        LimitEdit(value_, KindLimit(kind), TypingAlphabet(kind));
}

void ContactEditDialog::next()
{
    if (const EditCheck c = CheckTypedText(name_->text().toStdString()); !c)
        return complain(c.message);
    if (const EditCheck c = CheckFirstStep(kMemoryHandset, nameText(), {}); !c)
        return complain(c.message);
    if (work_.memory == kMemorySim)
        work_ = ToHandset(work_);  // its number becomes the first number field
    (void)SetText(work_, Field::Name, nameText());
    work_.group = static_cast<uint8_t>(group_->currentIndex());
    showFields();
    steps_->setCurrentIndex(1);
    next_->setVisible(false);
    back_->setVisible(true);
    ok_->setVisible(true);
}

void ContactEditDialog::back()
{
    steps_->setCurrentIndex(0);
    back_->setVisible(false);
    memoryChanged();
}

void ContactEditDialog::finish()
{
    if (steps_->currentIndex() == 0) {
        // A SIM entry is complete after the first step.
        const std::string number = ToPc(number_->text());
        if (const EditCheck c = CheckTypedText(name_->text().toStdString()); !c)
            return complain(c.message);
        if (const EditCheck c = CheckFirstStep(kMemorySim, nameText(), number); !c)
            return complain(c.message);
        work_ = NewSimRecord(nameText(), number);
        accept();
        return;
    }
    if (const EditCheck c = CheckFields(work_); !c)
        return complain(c.message);
    accept();
}

void ContactEditDialog::showFields()
{
    const int row = fields_->currentRow();
    fields_->clear();
    for (const FieldEntry& f : FieldsOf(work_)) {
        QString line = Str(KindLabel(f.ref.kind)) + ": " + FromPc(f.value);
        if (f.isDefault && f.ref.index >= 0)
            line += " " + Str(res::IDS_DEFAULT);
        auto* item = new QListWidgetItem(line, fields_);
        item->setData(Qt::UserRole, f.ref.kind);
        item->setData(Qt::UserRole + 1, f.ref.index);
    }
    fields_->setCurrentRow(std::min(row, fields_->count() - 1));
}

void ContactEditDialog::addField()
{
    const int kind = kind_->currentData().toInt();
    if (const EditCheck c = CheckTypedText(value_->text().toStdString()); !c)
        return complain(c.message);
    if (const EditCheck c = AddField(work_, kind, ToPc(value_->text())); !c)
        return complain(c.message, c.kind);
    value_->clear();
    showFields();
}

void ContactEditDialog::editField()
{
    QListWidgetItem* item = fields_->currentItem();
    if (!item)
        return;
    const FieldRef ref{item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toInt()};
    QInputDialog d(this);
    d.setObjectName("editFieldDialog");
    d.setWindowTitle(Str(res::IDS_PB_EDIT_FIELD_TITLE));
    d.setLabelText(Str(KindLabel(ref.kind)));
    d.setOkButtonText(Str(res::IDS_OK));
    d.setCancelButtonText(Str(res::IDS_CANCEL));
    const auto fields = FieldsOf(work_);
    for (const auto& f : fields)
        if (f.ref == ref)
            d.setTextValue(FromPc(f.value));
    if (auto* edit = d.findChild<QLineEdit*>())
        LimitEdit(edit, KindLimit(ref.kind), TypingAlphabet(ref.kind));
    while (d.exec() == QDialog::Accepted) {
        EditCheck c = CheckTypedText(d.textValue().toStdString());
        if (c)
            c = ChangeField(work_, ref, ToPc(d.textValue()));
        if (c)
            break;
        complain(c.message);
    }
    showFields();
}

void ContactEditDialog::deleteField()
{
    QListWidgetItem* item = fields_->currentItem();
    if (!item)
        return;
    RemoveField(work_, {item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toInt()});
    showFields();
}

void ContactEditDialog::makeDefault()
{
    QListWidgetItem* item = fields_->currentItem();
    const FieldRef ref = item ? FieldRef{item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toInt()}
                              : FieldRef{kKindFirstDetail, -1};
    if (const EditCheck c = MakeDefault(work_, ref); !c)
        return complain(c.message);
    showFields();
}

bool ContactEditDialog::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == fields_ && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        deleteField();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

}  // namespace phonebookui
