#pragma once
// The backup file ("bak"): a 26-byte magic text, the count N, N names (each
// a 32-bit length and the phone path), then N data blocks in the same order
// (each a 32-bit length and the file's bytes). Every integer is 32-bit
// little-endian; nothing is padded. All names come before all data, so the
// file is written front to back in one pass.
//
// Reading never trusts a count or a length: ScanBackup walks the whole file
// with seeks, checks every length against the bytes the file really holds
// and allocates nothing the file does not contain. A restore only starts on
// a backup that scanned whole and whose names are all acceptable phone
// paths.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace backup {

inline constexpr std::string_view kMagic = "$Telvane-BackupAndRestore$";
static_assert(kMagic.size() == 26);

// Longest phone path a transfer can carry (the transfer block holds 255
// bytes and a NUL).
inline constexpr size_t kMaxPhonePath = 255;

struct FileCloser {
    void operator()(std::FILE* f) const noexcept
    {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

[[nodiscard]] inline uint32_t GetLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void PutLe32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Why a write to a local file failed: a full disk is told apart.
enum class WriteError { None, DiskFull, Failed };

// Writes a backup file front to back.
class BackupWriter {
public:
    // Creates (truncates) the file; false when it cannot be created.
    [[nodiscard]] bool create(const std::string& path);
    [[nodiscard]] bool isOpen() const { return file_ != nullptr; }
    [[nodiscard]] WriteError writeMagic();
    [[nodiscard]] WriteError writeNames(std::span<const std::string> names);
    // One data block: its length and its bytes.
    [[nodiscard]] WriteError writeBlock(std::span<const uint8_t> data);
    // Flushes and closes; reports a write that only failed at the flush.
    [[nodiscard]] WriteError close();

private:
    [[nodiscard]] WriteError put(const void* data, size_t size);
    FilePtr file_;
};

// What is wrong with the structure of a backup file.
enum class Damage {
    None,
    NotBackup,  // the first 26 bytes are not the magic (or the file is shorter)
    NoCount,  // the file ends inside the count
    NameCut,  // a name's length field or bytes run past the end of the file
    DataMissing,  // the file ends before all N data blocks (a broken-off backup)
    DataCut,  // a data block's length runs past the end of the file
    TrailingBytes,  // bytes after the last data block
};

// What is wrong with one stored name as a phone path.
enum class NameProblem {
    None,
    Empty,
    TooLong,  // longer than kMaxPhonePath
    NotUnderApp,  // does not begin with "/app/"
    BadComponent,  // an empty, "." or ".." component
    BadByte,  // a control byte (NUL, CR, LF ...) or DEL
    Duplicate,  // the same path as an earlier entry
};

struct BackupEntry {
    std::string name;  // the stored path, as stored
    uint64_t dataOffset = 0;  // of the block's bytes (after its length); 0 when the block is missing
    uint32_t size = 0;
    bool hasData = false;  // the block is whole within the file
    NameProblem problem = NameProblem::None;
};

struct BackupScan {
    Damage damage = Damage::None;
    std::string header;  // the (up to) 26 bytes read where the magic belongs
    uint32_t count = 0;  // N as stored (may exceed entries.size() when damaged)
    std::vector<BackupEntry> entries;  // every name that could be read, with its block if whole
    uint32_t damagedEntry = 0;  // index of the entry where the damage was found
    uint64_t fileSize = 0;

    [[nodiscard]] bool whole() const { return damage == Damage::None; }
    // Whole, and every name is a usable, distinct phone path.
    [[nodiscard]] bool restorable() const;
    // The first entry whose name has a problem; entries.size() when none.
    [[nodiscard]] size_t firstBadName() const;
    [[nodiscard]] uint64_t dataBytes() const;
};

// Checks a stored name as a phone path (not the duplicate rule).
[[nodiscard]] NameProblem CheckPhonePath(std::string_view path);

// Reads the structure of a backup from an open file (from its start) without
// loading the data blocks. Names are read only while the file holds them.
[[nodiscard]] BackupScan ScanBackup(std::FILE* file);
// The same for a file by path; a file that cannot be opened is told apart
// from one that is not a backup.
struct OpenScan {
    bool opened = false;
    BackupScan scan;
};
[[nodiscard]] OpenScan ScanBackupFile(const std::string& path);

// Copies `size` bytes at `offset` of `from` into `to`, in chunks. Short reads
// fail (false, WriteError::None); write failures name their kind.
struct CopyResult {
    bool ok = false;
    WriteError writeError = WriteError::None;
};
[[nodiscard]] CopyResult CopyRange(std::FILE* from, uint64_t offset, uint64_t size, std::FILE* to);

[[nodiscard]] WriteError ClassifyWriteError(int err);

// A one-file backup: magic, count 1, the phone path, the content.
[[nodiscard]] WriteError WriteSingleFileBackup(const std::string& backupPath, const std::string& phonePath,
                                               std::span<const uint8_t> content);

}  // namespace backup
