#include "mobile/backup/core/backup_file.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <unordered_set>

namespace backup {

namespace {

// Reads exactly n bytes; false on a short read.
[[nodiscard]] bool ReadExact(std::FILE* f, void* out, size_t n)
{
    return n == 0 || std::fread(out, 1, n, f) == n;
}

[[nodiscard]] bool ReadLe32(std::FILE* f, uint32_t& v)
{
    uint8_t b[4];
    if (!ReadExact(f, b, 4))
        return false;
    v = GetLe32(b);
    return true;
}

[[nodiscard]] bool SeekTo(std::FILE* f, uint64_t offset)
{
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

}  // namespace

WriteError ClassifyWriteError(int err)
{
    return err == ENOSPC || err == EDQUOT ? WriteError::DiskFull : WriteError::Failed;
}

// ---- writing ----

bool BackupWriter::create(const std::string& path)
{
    file_.reset(std::fopen(path.c_str(), "wb"));
    return file_ != nullptr;
}

WriteError BackupWriter::put(const void* data, size_t size)
{
    if (!file_)
        return WriteError::Failed;
    errno = 0;
    if (size != 0 && std::fwrite(data, 1, size, file_.get()) != size)
        return ClassifyWriteError(errno);
    return WriteError::None;
}

WriteError BackupWriter::writeMagic()
{
    return put(kMagic.data(), kMagic.size());
}

WriteError BackupWriter::writeNames(std::span<const std::string> names)
{
    uint8_t n[4];
    PutLe32(n, static_cast<uint32_t>(names.size()));
    if (const WriteError e = put(n, 4); e != WriteError::None)
        return e;
    for (const std::string& name : names) {
        PutLe32(n, static_cast<uint32_t>(name.size()));
        if (const WriteError e = put(n, 4); e != WriteError::None)
            return e;
        if (const WriteError e = put(name.data(), name.size()); e != WriteError::None)
            return e;
    }
    return WriteError::None;
}

WriteError BackupWriter::writeBlock(std::span<const uint8_t> data)
{
    uint8_t n[4];
    PutLe32(n, static_cast<uint32_t>(data.size()));
    if (const WriteError e = put(n, 4); e != WriteError::None)
        return e;
    return put(data.data(), data.size());
}

WriteError BackupWriter::close()
{
    if (!file_)
        return WriteError::None;
    errno = 0;
    const bool flushed = std::fflush(file_.get()) == 0;
    const int err = errno;
    const bool closed = std::fclose(file_.release()) == 0;
    if (!flushed || !closed)
        return ClassifyWriteError(flushed ? errno : err);
    return WriteError::None;
}

// ---- reading ----

NameProblem CheckPhonePath(std::string_view path)
{
    if (path.empty())
        return NameProblem::Empty;
    if (path.size() > kMaxPhonePath)
        return NameProblem::TooLong;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            return NameProblem::BadByte;
    }
    if (!path.starts_with("/app/"))
        return NameProblem::NotUnderApp;
    // Every component after the leading "/" is a real name.
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return NameProblem::BadComponent;
        start = end + 1;
    }
    return NameProblem::None;
}

bool BackupScan::restorable() const
{
    return whole() && firstBadName() == entries.size();
}

size_t BackupScan::firstBadName() const
{
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].problem != NameProblem::None)
            return i;
    return entries.size();
}

uint64_t BackupScan::dataBytes() const
{
    uint64_t total = 0;
    for (const auto& e : entries)
        total += e.hasData ? e.size : 0;
    return total;
}

BackupScan ScanBackup(std::FILE* f)
{
    BackupScan s;
    if (!f || fseeko(f, 0, SEEK_END) != 0)
        return s.damage = Damage::NotBackup, s;
    const off_t end = ftello(f);
    s.fileSize = end < 0 ? 0 : static_cast<uint64_t>(end);
    if (!SeekTo(f, 0))
        return s.damage = Damage::NotBackup, s;

    std::array<char, kMagic.size()> magic{};
    const size_t got = std::fread(magic.data(), 1, magic.size(), f);
    s.header.assign(magic.data(), got);
    if (s.header != kMagic)
        return s.damage = Damage::NotBackup, s;
    if (!ReadLe32(f, s.count))
        return s.damage = Damage::NoCount, s;

    uint64_t pos = kMagic.size() + 4;
    std::unordered_set<std::string_view> seen;
    // Names: each needs at least its 4-byte length, so a count the file
    // cannot hold stops at the end of the file rather than at N.
    for (uint32_t i = 0; i < s.count; ++i) {
        uint32_t len = 0;
        if (s.fileSize - pos < 4 || !ReadLe32(f, len) || len > s.fileSize - pos - 4) {
            s.damagedEntry = i;
            return s.damage = Damage::NameCut, s;
        }
        BackupEntry e;
        e.name.resize(len);
        if (!ReadExact(f, e.name.data(), len)) {
            s.damagedEntry = i;
            return s.damage = Damage::NameCut, s;
        }
        pos += 4 + uint64_t(len);
        s.entries.push_back(std::move(e));
    }
    // Problems are judged once the names have stopped moving in memory.
    for (auto& e : s.entries) {
        e.problem = CheckPhonePath(e.name);
        if (e.problem == NameProblem::None && !seen.insert(e.name).second)
            e.problem = NameProblem::Duplicate;
    }
    // Data blocks: lengths are checked against the bytes left and skipped.
    for (uint32_t i = 0; i < s.count; ++i) {
        BackupEntry& e = s.entries[i];
        if (pos == s.fileSize) {
            s.damagedEntry = i;
            return s.damage = Damage::DataMissing, s;
        }
        uint32_t size = 0;
        if (s.fileSize - pos < 4 || !SeekTo(f, pos) || !ReadLe32(f, size)) {
            s.damagedEntry = i;
            return s.damage = Damage::DataCut, s;
        }
        if (size > s.fileSize - pos - 4) {
            e.size = size;
            s.damagedEntry = i;
            return s.damage = Damage::DataCut, s;
        }
        e.dataOffset = pos + 4;
        e.size = size;
        e.hasData = true;
        pos += 4 + uint64_t(size);
    }
    if (pos != s.fileSize) {
        s.damagedEntry = s.count;
        s.damage = Damage::TrailingBytes;
    }
    return s;
}

OpenScan ScanBackupFile(const std::string& path)
{
    OpenScan r;
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return r;
    r.opened = true;
    r.scan = ScanBackup(f.get());
    return r;
}

CopyResult CopyRange(std::FILE* from, uint64_t offset, uint64_t size, std::FILE* to)
{
    CopyResult r;
    if (!SeekTo(from, offset))
        return r;
    std::array<uint8_t, 64 * 1024> buf;
    while (size > 0) {
        const size_t n = size < buf.size() ? static_cast<size_t>(size) : buf.size();
        if (!ReadExact(from, buf.data(), n))
            return r;
        errno = 0;
        if (std::fwrite(buf.data(), 1, n, to) != n) {
            r.writeError = ClassifyWriteError(errno);
            return r;
        }
        size -= n;
    }
    r.ok = true;
    return r;
}

WriteError WriteSingleFileBackup(const std::string& backupPath, const std::string& phonePath,
                                 std::span<const uint8_t> content)
{
    BackupWriter w;
    if (!w.create(backupPath))
        return WriteError::Failed;
    const std::string names[] = {phonePath};
    WriteError e = w.writeMagic();
    if (e == WriteError::None)
        e = w.writeNames(names);
    if (e == WriteError::None)
        e = w.writeBlock(content);
    const WriteError closed = w.close();
    return e != WriteError::None ? e : closed;
}

}  // namespace backup
