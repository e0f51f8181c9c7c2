#include "mobile/messages/core/message_store.h"

#include "mobile/messages/core/handset_files.h"
#include "mobile/messages/core/sim_file.h"
#include "mobile/phonebook/core/phonebook_store.h"
#include "quorlink/codecs/pdu_text.h"
#include "quorlink/media/byte_order.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <unordered_map>

namespace messages {
namespace {

namespace qc = quorlink::codecs;

// Item files of one load, each read and parsed once.
class ItemFiles {
public:
    explicit ItemFiles(std::string dir) : dir_(std::move(dir)) { }
    // The item, or nothing when its file is missing or the wrong size.
    const ItemRecord* item(unsigned number)
    {
        const unsigned file = number / kItemsPerFile;
        auto it = files_.find(file);
        if (it == files_.end()) {
            std::optional<std::vector<ItemRecord>> records;
            if (const auto bytes = ReadWholeFile(dir_ + ItemFileName(file)))
                records = ParseItemFile(*bytes);
            it = files_.emplace(file, std::move(records)).first;
        }
        return it->second ? &(*it->second)[number % kItemsPerFile] : nullptr;
    }

private:
    std::string dir_;
    std::map<unsigned, std::optional<std::vector<ItemRecord>>> files_;
};

bool WriteAll(const std::string& path, const std::string& bytes)
{
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

MessageKey MessageStore::add(const MessageRecord& record, uint16_t phoneIndex, int order)
{
    MessageItem item;
    item.record = std::make_unique<MessageRecord>(record);
    item.phoneIndex = phoneIndex;
    item.dateKey = DateKey(FieldText(record.date));
    if (phonebook_)
        item.name = phonebook_->nameForNumber(FieldText(record.number));
    auto at = items_.end();
    if (order == kOrderByDate) {
        at = std::find_if(items_.begin(), items_.end(),
                          [&](const MessageItem& other) { return other.dateKey < item.dateKey; });
    } else if (order == kOrderHead) {
        at = items_.begin();
    }
    return items_.insert(at, std::move(item))->key();
}

bool MessageStore::remove(MessageKey key)
{
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const MessageItem& m) { return m.key() == key; });
    if (it == items_.end())
        return false;
    items_.erase(it);
    return true;
}

void MessageStore::removeBox(Box box)
{
    const uint8_t first = box == Box::Inbox ? kStatusUnread : kStatusUnsent;
    const uint8_t second = box == Box::Inbox ? kStatusRead : kStatusSent;
    items_.remove_if([&](const MessageItem& m) { return m.record->status == first || m.record->status == second; });
}

void MessageStore::removeAll()
{
    items_.clear();
}

MessageItem* MessageStore::find(MessageKey key)
{
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const MessageItem& m) { return m.key() == key; });
    return it == items_.end() ? nullptr : &*it;
}

const MessageItem* MessageStore::find(MessageKey key) const
{
    return const_cast<MessageStore*>(this)->find(key);
}

int MessageStore::hiddenCount(bool messagesLocked) const
{
    return static_cast<int>(std::count_if(
        items_.begin(), items_.end(), [&](const MessageItem& m) { return !BoxOf(m.record->status, messagesLocked); }));
}

void MessageStore::refreshNames(const phonebook::PhonebookStore* phonebook)
{
    phonebook_ = phonebook;
    for (MessageItem& m : items_)
        m.name = phonebook_ ? phonebook_->nameForNumber(FieldText(m.record->number)) : std::string();
}

LoadError MessageStore::load(const std::string& dir)
{
    const auto simBytes = ReadWholeFile(dir + kSimFileName);
    if (!simBytes)
        return LoadError::SimFile;
    const auto sim = ParseSimFile(std::string_view(reinterpret_cast<const char*>(simBytes->data()), simBytes->size()));
    if (!sim)
        return LoadError::SimFile;
    counts_.simCapacity = sim->capacity;
    counts_.simUsed = sim->used;
    std::map<uint16_t, SimPart> parts;
    if (const auto bytes = ReadWholeFile(dir + kSimPartsFileName))
        parts = ParseSimParts(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    for (const SimMessage& m : JoinSimParts(sim->messages, parts))
        add(MakeRecord(m.status, m.number, m.date, m.text, false), m.index, kOrderByDate);

    const auto scan = ScanTables(dir);
    if (!scan)
        return LoadError::Tables;
    if (scan->concat.empty())
        return LoadError::ConcatTable;

    ItemFiles files(dir);
    int single = 0;
    int concatenated = 0;
    for (const TableEntry& e : scan->entries) {
        if (!e.inUse() || e.item() > kMaxItem)
            continue;
        if (!e.concatenated) {
            const ItemRecord* item = files.item(e.item());
            if (!item)
                continue;  // its file is missing or damaged: the message is skipped
            add(MakeRecord(e.status, qc::PhoneTextToAnsi(item->number), FormatHandsetDate(item->stamp),
                           qc::PhoneTextToAnsi(item->text), true),
                static_cast<uint16_t>(e.item()), kOrderByDate);
            ++single;
            continue;
        }
        if (e.concatIndex >= scan->concat.size())
            continue;  // names no entry of the concatenation table
        // The parts in order; a missing or unreadable part leaves its text out.
        std::string text;
        std::string number;
        std::string date;
        uint16_t firstItem = kNoPhoneIndex;
        for (const auto part : PartItems(scan->concat[e.concatIndex])) {
            const ItemRecord* item = part ? files.item(*part) : nullptr;
            if (!item)
                continue;
            text += item->text;
            number = item->number;
            date = FormatHandsetDate(item->stamp);
            if (firstItem == kNoPhoneIndex)
                firstItem = static_cast<uint16_t>(*part);
        }
        add(MakeRecord(e.status, qc::PhoneTextToAnsi(number), date, qc::PhoneTextToAnsi(text), true), firstItem,
            kOrderByDate);
        ++concatenated;
    }
    counts_.handsetSingleUsed = single;
    counts_.handsetConcatUsed = concatenated;
    return LoadError::None;
}

std::string PsmHeader()
{
    std::string header(kPsmHeaderSize, '\0');
    std::memcpy(header.data(), "SMS", 3);
    std::memcpy(header.data() + 12, "V318", 4);
    quorlink::media::PutLe16(reinterpret_cast<uint8_t*>(header.data() + 24), 1);
    return header;
}

bool MessageStore::savePsm(const std::string& path) const
{
    std::string bytes = PsmHeader();
    bytes.reserve(kPsmHeaderSize + items_.size() * sizeof(MessageRecord));
    for (const MessageItem& m : items_)
        bytes.append(reinterpret_cast<const char*>(m.record.get()), sizeof(MessageRecord));
    // Through a temporary file: a failed save leaves the old file as it was.
    return WriteAll(path, bytes);
}

PsmLoad MessageStore::loadPsm(const std::string& path)
{
    PsmLoad result;
    const auto bytes = ReadWholeFile(path);
    if (!bytes)
        return result;
    if (bytes->size() < kPsmHeaderSize || std::memcmp(bytes->data(), "SMS", 3) != 0) {
        result.result = PsmLoad::NotMessageFile;
        return result;
    }
    result.result = PsmLoad::Loaded;
    removeAll();
    const size_t body = bytes->size() - kPsmHeaderSize;
    result.cutOff = body % sizeof(MessageRecord) != 0;
    std::unordered_map<std::string, MessageKey> seen;
    for (size_t i = 0; i < body / sizeof(MessageRecord); ++i) {
        MessageRecord r;
        std::memcpy(&r, bytes->data() + kPsmHeaderSize + i * sizeof(MessageRecord), sizeof r);
        // A field without its terminator ends at its last byte.
        r.number[sizeof r.number - 1] = 0;
        r.date[sizeof r.date - 1] = 0;
        r.text[sizeof r.text - 1] = 0;
        std::string key(FieldText(r.number));
        key.push_back('\0');
        key.append(FieldText(r.date).substr(0, 15));
        key.push_back('\0');
        key.append(FieldText(r.text));
        if (const auto earlier = seen.find(key); earlier != seen.end()) {
            find(earlier->second)->record->status = r.status;
            ++result.duplicates;
            continue;
        }
        seen.emplace(std::move(key), add(r, kNoPhoneIndex, kOrderByDate));
        ++result.added;
    }
    return result;
}

MemoryUsage Usage(const MessageStore& store, bool messagesLocked)
{
    const Counts& c = store.counts();
    MemoryUsage u;
    u.simUsed = c.simUsed;
    u.simCapacity = c.simCapacity;
    u.simPercent = c.simCapacity > 0 ? static_cast<int>(int64_t{c.simUsed} * 100 / c.simCapacity) : 0;
    u.singleUsed = std::max(0, c.handsetSingleUsed - store.hiddenCount(messagesLocked));
    u.concatUsed = c.handsetConcatUsed;
    u.singleCapacity = c.handsetSingleCapacity;
    u.concatCapacity = c.handsetConcatCapacity;
    const int64_t capacity = int64_t{u.singleCapacity} + 10 * int64_t{u.concatCapacity};
    u.handsetPercent =
        capacity > 0 ? static_cast<int>((int64_t{u.singleUsed} + 10 * int64_t{u.concatUsed}) * 100 / capacity) : 0;
    return u;
}

}  // namespace messages
