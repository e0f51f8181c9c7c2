#include "quorlink/link/link_tables.h"

namespace quorlink::link {
namespace {

constexpr char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    }
    return true;
}

int ClassifyLine(std::string_view line)
{
    for (const auto& row : ResponseKeywordTable) {
        if (StartsWithNoCase(line, row.keyword))
            return row.code;
    }
    return kNoKeyword;
}

std::optional<std::string> ShortCommand(int code)
{
    if (code < 0 || code > 16)
        return std::nullopt;
    for (const auto& row : ResponseKeywordTable) {
        if (row.code == code)
            return "AT" + std::string(row.keyword) + "\r";
    }
    return std::nullopt;
}

std::optional<std::string_view> CommandName(int requestCode)
{
    for (const auto& row : CommandNameTable) {
        if (row.requestCode == kTableEndCode)
            break;
        if (row.requestCode == requestCode)
            return row.name;
    }
    return std::nullopt;
}

std::optional<FinalResult> ClassifyFinal(std::string_view line)
{
    struct Row {
        std::string_view prefix;
        FinalKind kind;
    };
    // "+CME ERROR" before "ERROR" would not matter (no overlap at the
    // start), but the error forms carry a number and plain "ERROR" none.
    static constexpr Row kFinals[] = {
        {"OK", FinalKind::Ok},
        {"ERROR", FinalKind::Error},
        {"+CME ERROR", FinalKind::CmeError},
        {"+CMS ERROR", FinalKind::CmsError},
    };
    for (const auto& row : kFinals) {
        if (!StartsWithNoCase(line, row.prefix))
            continue;
        const bool numbered = row.kind == FinalKind::CmeError || row.kind == FinalKind::CmsError;
        return FinalResult{row.kind, numbered ? CmeErrorNumber(line) : -1};
    }
    return std::nullopt;
}

int CmeErrorNumber(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return -1;
    size_t i = colon + 1;
    while (i < line.size() && line[i] != '\r' && line[i] != '\n' && (line[i] < '0' || line[i] > '9'))
        ++i;
    if (i >= line.size() || line[i] < '0' || line[i] > '9')
        return -1;
    int64_t value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        value = value * 10 + (line[i] - '0');
        if (value > INT32_MAX)
            return INT32_MAX;  // an absurd number stays a large error code
    }
    return static_cast<int>(value);
}

}  // namespace quorlink::link
