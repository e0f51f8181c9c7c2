#include "mobile/backup/core/backup_category.h"

#include "quorlink/codecs/phone_strings.h"

#include <cstring>

namespace backup {

namespace {

constexpr Patterns kNone{};
constexpr Patterns kPicturePatterns{".jpg", ".gif", ".bmp", "imgIndex.txt"};
constexpr Patterns kSoundPatterns{".amr", ".mid", "vmd", "audIndex.txt"};

// The WAP and MMS directories hold pictures and sounds side by side; their
// second lists tell the two kinds apart (see ExcludesName).
constexpr std::array<CategoryRow, kCategoryCount> kRows = {{
    {"/app/jpeg", kNone, kNone, true, BackupKind::Pictures},
    {"/app/midi", kNone, kNone, true, BackupKind::Sounds},
    {"/app/mms", kNone, kPicturePatterns, false, BackupKind::Pictures},
    {"/app/mms", kNone, kSoundPatterns, false, BackupKind::Sounds},
    {"/app/wp", kNone, kPicturePatterns, false, BackupKind::Pictures},
    {"/app/wp", kNone, kSoundPatterns, false, BackupKind::Sounds},
    {"/app/dir", {"bigpicture", "owninfo", "smpbchartab", "tmp.dat"}, kNone, false, BackupKind::Phonebook},
    {"/app/sms", kNone, kNone, false, BackupKind::Messages},
    {"/app/sms/dt", kNone, kNone, false, BackupKind::Messages},
    {"/app/camera", {"Video"}, kNone, false, BackupKind::Pictures},
    {"/app/camera", {"img", "cam.idx"}, kNone, false, BackupKind::Video},
}};

[[nodiscard]] bool HasAny(const Patterns& p)
{
    return !p[0].empty();
}

[[nodiscard]] bool ContainsAny(std::string_view name, const Patterns& p)
{
    for (std::string_view pattern : p) {
        if (pattern.empty())
            break;
        if (name.find(pattern) != std::string_view::npos)
            return true;
    }
    return false;
}

// The plain text of an encoded name; the name itself when it does not decode.
[[nodiscard]] std::string Decoded(std::string_view name)
{
    std::string buf(name);
    PosixToString(buf.data());
    buf.resize(std::strlen(buf.c_str()));
    return buf;
}

}  // namespace

bool ParseKinds(std::string_view list, KindSet& out)
{
    KindSet kinds;
    while (true) {
        const size_t comma = list.find(',');
        const std::string_view word = list.substr(0, comma);
        bool known = false;
        for (const KindName& k : kKindNames) {
            if (k.name == word) {
                kinds.set(k.kind, true);
                known = true;
            }
        }
        if (!known)
            return false;
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    out = kinds;
    return true;
}

const std::array<CategoryRow, kCategoryCount>& BackupCategory::Rows()
{
    return kRows;
}

void BackupCategory::setKinds(KindSet kinds)
{
    for (size_t i = 0; i < kCategoryCount; ++i)
        enabled_[i] = kinds.has(kRows[i].kind);
}

size_t BackupCategory::enabledCount() const
{
    size_t n = 0;
    for (bool e : enabled_)
        n += e ? 1 : 0;
    return n;
}

size_t BackupCategory::nextEnabledFrom(size_t row) const
{
    while (row < kCategoryCount && !enabled_[row])
        ++row;
    return row;
}

void BackupCategory::start()
{
    current_ = nextEnabledFrom(0);
}

void BackupCategory::next()
{
    if (current_ < kCategoryCount)
        current_ = nextEnabledFrom(current_ + 1);
}

bool BackupCategory::Excludes(size_t row, std::string_view name)
{
    if (row >= kCategoryCount)
        return false;
    std::array<const CategoryRow*, kCategoryCount> siblings{};
    size_t n = 0;
    for (size_t i = 0; i < kCategoryCount; ++i)
        if (i != row && kRows[i].directory == kRows[row].directory)
            siblings[n++] = &kRows[i];
    return ExcludesName(kRows[row], std::span(siblings.data(), n), name);
}

bool ExcludesName(const CategoryRow& row, std::span<const CategoryRow* const> siblings, std::string_view name)
{
    if (!row.encodedNames) {
        if (ContainsAny(name, row.first))
            return true;
        if (!HasAny(row.second))
            return false;
        // A directory shared by kinds: a file of this row's kind stays, a
        // file of another row's kind is that row's, and a file of no known
        // kind stays with every row (the listing keeps each path once), so
        // that no file is ever left out of a backup with all boxes ticked.
        if (ContainsAny(name, row.second))
            return false;
        for (const CategoryRow* other : siblings)
            if (ContainsAny(name, other->second))
                return true;
        return false;
    }
    if (HasAny(row.first))
        return ContainsAny(Decoded(name), row.first);
    if (HasAny(row.second))
        return !ContainsAny(Decoded(name), row.second);
    return false;
}

}  // namespace backup
