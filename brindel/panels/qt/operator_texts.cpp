#include "operator_texts.h"

#include <QLocale>
#include <QtGlobal>

#include <algorithm>
#include <span>

namespace brindelui {

namespace {

struct Row {
    int id;
    const char* text;
};

constexpr Row kEnglish[] = {
#include "resources/strings_en.inc"
};
constexpr Row kChinese[] = {
#include "resources/strings_zh.inc"
};

bool g_chinese = false;

const char* Lookup(std::span<const Row> rows, int id)
{
    const auto at = std::find_if(rows.begin(), rows.end(), [id](const Row& r) { return r.id == id; });
    return at != rows.end() ? at->text : nullptr;
}

}  // namespace

QString LanguageForLocale()
{
    const QString forced = qEnvironmentVariable("TELVANE_LANGUAGE");
    if (forced == "zh" || forced == "en")
        return forced;
    return QLocale().language() == QLocale::Chinese ? "zh" : "en";
}

void SetLanguage(const QString& language)
{
    g_chinese = language == "zh";
}

QString Tr(Text text)
{
    const int id = static_cast<int>(text);
    const char* found = Lookup(g_chinese ? std::span<const Row>(kChinese) : std::span<const Row>(kEnglish), id);
    return found ? QString::fromUtf8(found) : QStringLiteral("#%1").arg(id);
}

}  // namespace brindelui
