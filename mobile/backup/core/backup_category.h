#pragma once
// What a backup takes from the phone: eleven category rows, each a phone
// directory with its name patterns, switched on by the backup page's check
// boxes, and the name filter that decides, row by row, which listed files
// go into the backup.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace backup {

// The check boxes of the backup page, in their order on the page.
enum class BackupKind : uint8_t { Pictures, Sounds, Phonebook, Messages, Video };
inline constexpr size_t kKindCount = 5;

// A set of kinds, one bit per BackupKind.
class KindSet {
public:
    constexpr KindSet() = default;
    [[nodiscard]] static constexpr KindSet Of(std::initializer_list<BackupKind> kinds)
    {
        KindSet s;
        for (BackupKind k : kinds)
            s.set(k, true);
        return s;
    }
    constexpr void set(BackupKind k, bool on)
    {
        const auto bit = static_cast<uint8_t>(1u << static_cast<unsigned>(k));
        bits_ = on ? uint8_t(bits_ | bit) : uint8_t(bits_ & ~bit);
    }
    [[nodiscard]] constexpr bool has(BackupKind k) const { return (bits_ >> static_cast<unsigned>(k)) & 1u; }
    [[nodiscard]] constexpr bool empty() const { return bits_ == 0; }
    friend constexpr bool operator==(KindSet, KindSet) = default;

private:
    uint8_t bits_ = 0;
};

// The boxes ticked when the page opens: everything but video.
inline constexpr KindSet kDefaultKinds =
    KindSet::Of({BackupKind::Pictures, BackupKind::Sounds, BackupKind::Phonebook, BackupKind::Messages});

struct KindName {
    BackupKind kind;
    std::string_view name;  // as the command line spells it
};
inline constexpr std::array<KindName, kKindCount> kKindNames = {{
    {BackupKind::Pictures, "pictures"},
    {BackupKind::Sounds, "sounds"},
    {BackupKind::Phonebook, "phonebook"},
    {BackupKind::Messages, "messages"},
    {BackupKind::Video, "video"},
}};

// Parses "pictures,sounds,..." (the command line's --only); false on an
// unknown or empty name.
[[nodiscard]] bool ParseKinds(std::string_view list, KindSet& out);

inline constexpr size_t kMaxPatterns = 10;
using Patterns = std::array<std::string_view, kMaxPatterns>;  // unused places are empty

struct CategoryRow {
    std::string_view directory;
    Patterns first;  // names containing one of these are left out
    Patterns second;  // names of this row's kind in a directory shared by kinds
    bool encodedNames;  // the directory keeps its names in the phone's encoded form
    BackupKind kind;  // the check box that enables the row
};

inline constexpr size_t kCategoryCount = 11;

class BackupCategory {
public:
    [[nodiscard]] static const std::array<CategoryRow, kCategoryCount>& Rows();

    // Enables exactly the rows of the ticked kinds (before each backup).
    void setKinds(KindSet kinds);
    [[nodiscard]] bool enabled(size_t row) const { return enabled_[row]; }
    [[nodiscard]] size_t enabledCount() const;

    // The row being listed: the first enabled row after start(), then the
    // next enabled one after each listing; kCategoryCount past the last.
    void start();
    void next();
    [[nodiscard]] size_t current() const { return current_; }

    // True when the file of this listed name stays out of the backup while
    // row `row` is listed.
    [[nodiscard]] static bool Excludes(size_t row, std::string_view name);

private:
    [[nodiscard]] size_t nextEnabledFrom(size_t row) const;

    std::array<bool, kCategoryCount> enabled_{};
    size_t current_ = kCategoryCount;
};

// The name filter for one row (exposed for rows of other tables in tests).
// `siblings` are the other rows of the same directory.
[[nodiscard]] bool ExcludesName(const CategoryRow& row, std::span<const CategoryRow* const> siblings,
                                std::string_view name);

}  // namespace backup
