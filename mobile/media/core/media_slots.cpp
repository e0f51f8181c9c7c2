#include "mobile/media/core/media_slots.h"

#include "quorlink/codecs/code_page.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/media/byte_order.h"
#include "resources/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace media {

namespace fs = std::filesystem;
using quorlink::media::GetBe32;
using quorlink::media::PutBe32;

namespace {

// The ADP slot file follows the same "user%03d" pattern as the others: the
// phone registers code 38 only for that name, and emptying deletes it.
constexpr SlotFileInfo kSlotFiles[] = {
    {SlotFileKind::Picture, SlotTableKind::Pictures, "", "jpg", "/app/jpeg/", false, 17},
    {SlotFileKind::Midi, SlotTableKind::Ringtones, "MIDI", "mid", "/app/midi/", false, 33},
    {SlotFileKind::Amr, SlotTableKind::Ringtones, "AMR", "amr", "/app/mms/", true, 36},
    {SlotFileKind::Vmd, SlotTableKind::Ringtones, "VMD", "vmd", "/app/midi/", false, 37},
    {SlotFileKind::Adp, SlotTableKind::Ringtones, "ADP", "adp", "/app/midi/", false, 38},
};

constexpr size_t kPhoneNameBytes = 15;

std::string Ucs2PhoneFileName(std::string_view plain)
{
    std::vector<unsigned short> ucs2(plain.begin(), plain.end());
    char* encoded = nullptr;
    if (!strCF_CnvUcs2ToPosix(ucs2.data(), static_cast<unsigned char>(std::min<size_t>(ucs2.size(), 255)), &encoded))
        return {};
    std::string name(encoded);
    std::free(encoded);
    return name;
}

std::string Format(const char* pattern, int a, int b)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

shell::BatchStep Command(int32_t kind, const std::string& text)
{
    return shell::BatchStep::Request(kind, shell::NewRequest(plat::CurrentThreadId(), text));
}

bool ValidSlot(int n)
{
    return n >= 1 && n <= static_cast<int>(kSlotCount);
}

}  // namespace

const SlotFileInfo& SlotFile(SlotFileKind kind)
{
    return kSlotFiles[static_cast<size_t>(kind)];
}

const SlotFileInfo* SlotFileByTypeWord(std::string_view typeWord)
{
    for (const auto& f : kSlotFiles)
        if (!f.typeWord.empty() && f.typeWord == typeWord)
            return &f;
    return nullptr;
}

const SlotFileInfo* SlotFileByExtension(std::string_view extension)
{
    for (const auto& f : kSlotFiles)
        if (f.extension == extension)
            return &f;
    return nullptr;
}

std::string SlotPhonePath(SlotFileKind kind, int n)
{
    const SlotFileInfo& f = SlotFile(kind);
    char plain[32];
    std::snprintf(plain, sizeof plain, "user%03d.%s", n - 1, std::string(f.extension).c_str());
    return std::string(f.directory) + (f.ucs2Name ? Ucs2PhoneFileName(plain) : PhoneFileName(plain));
}

bool SlotMayChange(const SlotRecord& record, bool picturesLocked)
{
    return !(picturesLocked && record.isPrivate == 1);
}

SetSlotResult SetSlotLocally(const fs::path& table, SlotFileKind kind, int n, std::string_view name, uint32_t size)
{
    const SlotFileInfo& f = SlotFile(kind);
    auto slots = ReadSlotTable(table, f.table);
    if (!slots || !ValidSlot(n))
        return SetSlotResult::CannotRead;
    SlotRecord& r = (*slots)[static_cast<size_t>(n - 1)];
    r.used = size != 0 ? 1 : 0;
    PutBe32(r.size, size);
    std::memset(r.displayName, 0, sizeof r.displayName);
    const std::string phoneName = Utf8ToPhoneText(name, kPhoneNameBytes);
    std::memcpy(r.displayName, phoneName.data(), phoneName.size());
    if (f.table == SlotTableKind::Ringtones) {
        std::memcpy(r.fileName + 8, f.extension.data(), 3);
        uint64_t total = 0;
        for (const SlotRecord& s : *slots)
            if (s.used)
                total += GetBe32(s.size);
        if (total > kRingtoneCapacity)
            return SetSlotResult::CapacityExceeded;
    }
    return WriteSlotTable(table, *slots) ? SetSlotResult::Ok : SetSlotResult::CannotWrite;
}

shell::BatchPlan PutIntoSlotPlan(const SlotPut& put)
{
    const SlotFileInfo& f = SlotFile(put.kind);
    const int k = put.slot - 1;
    const bool picture = f.table == SlotTableKind::Pictures;
    shell::BatchPlan plan;
    plan.titleId = picture ? res::IDS_WRITING_PICTURE_PHONE : res::IDS_WRITING_RINGTONE_PHONE;
    plan.stepCount = 1;
    if (put.clearFirst)
        plan.steps.push_back(Command(kSlotCommandKind,
                                     Format("AT*SYFILE=%d,%d\r", picture ? kClearPictureCode : kClearRingtoneCode, k)));
    const uint32_t block = NewTransferBlock(put.localFile, SlotPhonePath(put.kind, put.slot));
    plan.steps.push_back(shell::BatchStep::Request(REQ_UPLOAD, shell::NewRequest(plat::CurrentThreadId(), {}, block)));
    // A line break or Ctrl-Z inside the name would end the command early.
    std::string name = Utf8ToPhoneText(put.name, kPhoneNameBytes);
    std::erase_if(name, [](char c) { return c == '\r' || c == '\n' || c == '\x1A'; });
    plan.steps.push_back(Command(kSlotCommandKind,
                                 "AT*SYFILE=" + std::to_string(f.registerCode) + "," + std::to_string(k) + "," + name +
                                     "," + std::to_string(put.size) + "\r"));
    return plan;
}

shell::BatchPlan EmptySlotPlan(SlotFileKind kind, int n)
{
    const bool picture = SlotFile(kind).table == SlotTableKind::Pictures;
    shell::BatchPlan plan;
    plan.titleId = picture ? res::IDS_EMPTYING_PICTURE_SLOT : res::IDS_EMPTYING_RINGTONE_SLOT;
    plan.stepCount = 0;
    plan.steps.push_back(Command(REQ_FINAL_LINE_TEXT, "AT*REMOVE=" + SlotPhonePath(kind, n) + "\r"));
    plan.steps.push_back(Command(kSlotCommandKind,
                                 Format("AT*SYFILE=%d,%d\r", picture ? kClearPictureCode : kClearRingtoneCode, n - 1)));
    return plan;
}

// ---- flows ------------------------------------------------------------------

SlotFlows::SlotFlows(std::string programDirectory, shell::BatchRunner& runner)
    : dir_(std::move(programDirectory)), runner_(runner)
{
}

fs::path SlotFlows::tablePath(SlotTableKind table) const
{
    return LocalIndexPath(dir_, table == SlotTableKind::Pictures ? MediaList::UserPictures : MediaList::UserRingtones);
}

FlowResult SlotFlows::putPicture(int n, std::string_view name, const fs::path& jpeg, bool picturesLocked)
{
    using shell::Icon;
    const fs::path table = tablePath(SlotTableKind::Pictures);
    std::error_code ec;
    const auto jpegSize = fs::file_size(jpeg, ec);
    if (ec || !ValidSlot(n))
        return {false, res::IDS_FILE_NOT_ACCEPTED, Icon::Error};
    // A copy of another length is not the phone's table: changing it would
    // put the records out of step with the phone. Say so instead of doing
    // nothing; the next connection reloads it.
    const auto slots = ReadSlotTable(table, SlotTableKind::Pictures);
    if (!slots || fs::file_size(table, ec) != kSlotTableSize || ec)
        return {false, res::IDS_PICTURE_LIST_DAMAGED, Icon::Error};
    const SlotRecord& record = (*slots)[static_cast<size_t>(n - 1)];
    if (!SlotMayChange(record, picturesLocked))
        return {false, res::IDS_SLOT_PRIVATE_NO_REPLACE, Icon::Error};
    const bool wasUsed = record.used != 0;
    if (SetSlotLocally(table, SlotFileKind::Picture, n, {}, 0) != SetSlotResult::Ok)
        return {false, res::IDS_PICTURE_LIST_DAMAGED, Icon::Error};
    SlotPut put{SlotFileKind::Picture, n, jpeg.string(), std::string(name), static_cast<uint32_t>(jpegSize), wasUsed};
    if (runner_.runBatch(PutIntoSlotPlan(put)) != shell::kBatchOk)
        return {false, res::IDS_FILE_NOT_ACCEPTED, Icon::Error};
    if (SetSlotLocally(table, SlotFileKind::Picture, n, name, put.size) != SetSlotResult::Ok)
        return {false, res::IDS_PICTURE_LIST_DAMAGED, Icon::Error};
    return {true, res::IDS_DONE, Icon::Information};
}

FlowResult SlotFlows::putRingtone(int n, std::string_view name, const fs::path& file, std::string_view typeWord)
{
    using shell::Icon;
    const SlotFileInfo* kind = SlotFileByTypeWord(typeWord);
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (!kind || kind->table != SlotTableKind::Ringtones || ec || !ValidSlot(n))
        return {false, res::IDS_FILE_NOT_ACCEPTED, Icon::Error};
    const fs::path table = tablePath(SlotTableKind::Ringtones);
    switch (SetSlotLocally(table, kind->kind, n, {}, static_cast<uint32_t>(size))) {
    case SetSlotResult::Ok: break;
    case SetSlotResult::CapacityExceeded: return {false, res::IDS_NOT_ENOUGH_RINGTONE_SPACE, Icon::Error};
    default: return {false, res::IDS_MEDIA_LIST_FAILED, Icon::Error};
    }
    if (SetSlotLocally(table, kind->kind, n, {}, 0) != SetSlotResult::Ok)
        return {false, res::IDS_MEDIA_LIST_FAILED, Icon::Error};
    SlotPut put{kind->kind, n, file.string(), std::string(name), static_cast<uint32_t>(size), true};
    if (runner_.runBatch(PutIntoSlotPlan(put)) != shell::kBatchOk)
        return {false, res::IDS_FILE_NOT_ACCEPTED, Icon::Error};
    if (SetSlotLocally(table, kind->kind, n, name, put.size) != SetSlotResult::Ok)
        return {false, res::IDS_MEDIA_LIST_FAILED, Icon::Error};
    return {true, res::IDS_DONE, Icon::Information};
}

FlowResult SlotFlows::emptySlot(SlotTableKind tableKind, int n, bool picturesLocked)
{
    using shell::Icon;
    const bool pictures = tableKind == SlotTableKind::Pictures;
    const fs::path table = tablePath(tableKind);
    auto slots = ReadSlotTable(table, tableKind);
    if (!slots || !ValidSlot(n))
        return {false, res::IDS_MEDIA_LIST_FAILED, Icon::Error};
    std::error_code ec;
    if (pictures && (fs::file_size(table, ec) != kSlotTableSize || ec))
        return {false, res::IDS_PICTURE_LIST_DAMAGED, Icon::Error};
    SlotRecord& r = (*slots)[static_cast<size_t>(n - 1)];
    if (pictures && !SlotMayChange(r, picturesLocked))
        return {false, res::IDS_SLOT_PRIVATE_NO_EMPTY, Icon::Error};
    const SlotFileInfo* kind = &SlotFile(SlotFileKind::Picture);
    if (!pictures) {
        kind = SlotFileByExtension(std::string_view(r.fileName + 8, strnlen(r.fileName + 8, 3)));
        if (!kind || kind->table != SlotTableKind::Ringtones)
            return {false, 0, Icon::Information};  // not a slot file this program knows
    }
    r.used = 0;
    PutBe32(r.size, 0);
    std::memset(r.displayName, 0, sizeof r.displayName);
    if (!WriteSlotTable(table, *slots))
        return {false, res::IDS_MEDIA_LIST_FAILED, Icon::Error};
    if (runner_.runBatch(EmptySlotPlan(kind->kind, n)) != shell::kBatchOk)
        return {false, res::IDS_SLOT_EMPTY_FAILED, Icon::Error};
    return {true, res::IDS_SLOT_EMPTIED, Icon::Information};
}

// ---- names ------------------------------------------------------------------

std::string ShortName(std::string_view path, size_t n)
{
    const size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    const std::string pc = quorlink::codecs::Ucs2ToAnsi(quorlink::codecs::Utf8ToUcs2(name));
    // Walk whole characters: a GBK trail byte may lie below 0x80, so counting
    // the high bytes of the cut part cannot tell whether it split one.
    size_t end = 0;
    while (end < pc.size()) {
        const size_t width = end + 1 < pc.size() && quorlink::codecs::IsGbkLead(uint8_t(pc[end])) ? 2 : 1;
        if (end + width > n)
            break;
        end += width;
    }
    return quorlink::codecs::Ucs2ToUtf8(quorlink::codecs::AnsiToUcs2(std::string_view(pc).substr(0, end)));
}

std::string SlotNameFromUser(std::string_view name)
{
    static constexpr std::string_view kReplaced = "~!@#$%^&*()-=+{}[]|\\:;'<>,./?`\"";
    std::string out(name);
    for (char& c : out)
        if (kReplaced.find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return out;
}

}  // namespace media
