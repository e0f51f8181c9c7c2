#include "mobile/phonebook/ui/ui_text.h"

#include "mobile/phonebook/core/contact_record.h"
#include "mobile/shell/ui/resource_bundle.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace phonebookui {

QString FromPc(std::string_view pc)
{
    return QString::fromStdString(phonebook::PcToUtf8(pc));
}

std::string ToPc(const QString& text)
{
    return phonebook::Utf8ToPc(text.toStdString());
}

phonebook::TextFn BundleText()
{
    return [](int id) { return shellui::Str(id).toStdString(); };
}

void LimitEdit(QLineEdit* edit, size_t maxBytes, std::string_view alphabet)
{
    edit->setValidator(nullptr);
    if (!alphabet.empty()) {
        const QString chars =
            QRegularExpression::escape(QString::fromLatin1(alphabet.data(), qsizetype(alphabet.size())));
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[" + chars + "]*"), edit));
    }
    edit->setMaxLength(int(maxBytes));
    edit->setProperty("pcLimit", qulonglong(maxBytes));
    if (edit->property("pcLimited").toBool())
        return;
    edit->setProperty("pcLimited", true);
    // A Chinese character takes two bytes of the field.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        const size_t limit = edit->property("pcLimit").toULongLong();
        const std::string pc = ToPc(text);
        if (pc.size() > limit)
            edit->setText(FromPc(phonebook::CutText(pc, limit)));
    });
}

}  // namespace phonebookui
