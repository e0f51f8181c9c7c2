// A backup file of arbitrary bytes: the scan reports its structure or its
// damage without reading past the bytes given, every whole block can be
// copied out, and a restorable scan has only usable, distinct names.
#include "mobile/backup/core/backup_file.h"
#include "mobile/backup/core/backup_flows.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // fmemopen refuses a zero-length buffer; an empty file is one byte short of a magic anyway.
    static std::uint8_t empty = 0;
    backup::FilePtr f(fmemopen(size ? const_cast<std::uint8_t*>(data) : &empty, size ? size : 1, "rb"));
    if (!f)
        return 0;
    const backup::BackupScan s = backup::ScanBackup(f.get());
    if (s.entries.size() > s.count || s.dataBytes() > size)
        std::abort();
    static backup::FilePtr sink(std::fopen("/dev/null", "wb"));
    for (const auto& e : s.entries) {
        if (e.hasData &&
            (e.dataOffset + e.size > size || !backup::CopyRange(f.get(), e.dataOffset, e.size, sink.get()).ok))
            std::abort();
        (void)backup::CheckPhonePath(e.name);
    }
    if (s.restorable()) {
        std::set<std::string> names;
        for (const auto& e : s.entries)
            if (!names.insert(e.name).second || backup::CheckPhonePath(e.name) != backup::NameProblem::None)
                std::abort();
    }
    (void)backup::RestoreRefusal(s);
    (void)backup::PrintableHeader(s.header);
    return 0;
}
