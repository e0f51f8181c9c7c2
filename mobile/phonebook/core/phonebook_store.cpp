#include "mobile/phonebook/core/phonebook_store.h"

#include "quorlink/codecs/phone_strings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace phonebook {

namespace {

void RemoveFile(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// Does an entry's number match the lookup key? Over more than seven
// characters only the last seven count, and a shorter entry number never
// matches; otherwise the entry number is compared from its start.
[[nodiscard]] bool NumberMatches(std::string_view entry, std::string_view key, bool longNumber)
{
    if (longNumber) {
        if (entry.size() < 7)
            return false;
        entry = entry.substr(entry.size() - 7);
    }
    return std::strncmp(std::string(entry).c_str(), std::string(key).c_str(), 7) == 0;
}

}  // namespace

std::array<char, 20> SortNameOf(const ContactRecord& r)
{
    std::array<char, 20> s{};
    const std::string name = DisplayName(r);
    const std::string_view cut = CutText(name, 19);
    std::memcpy(s.data(), cut.data(), cut.size());
    return s;
}

std::string SyncOp::command() const
{
    char buf[64];
    if (kind == Delete)
        std::snprintf(buf, sizeof buf, "AT*SYPH=%d,%d,%d\r", int(kind), int(memory), int(slot));
    else
        std::snprintf(buf, sizeof buf, "AT*SYPH=%d,%d,%d,%d\r", int(kind), int(memory), int(slot), position);
    return buf;
}

// ---- SlotMap ----------------------------------------------------------------

void SlotMap::reset(int capacity)
{
    used_.assign(static_cast<size_t>(std::max(capacity, 0)), 0);
    free_ = static_cast<int>(used_.size());
}

bool SlotMap::isUsed(int slot) const
{
    return slot >= 1 && slot <= capacity() && used_[static_cast<size_t>(slot - 1)] != 0;
}

bool SlotMap::take(int slot)
{
    if (slot < 1 || slot > capacity() || isUsed(slot))
        return false;
    used_[static_cast<size_t>(slot - 1)] = 1;
    --free_;
    return true;
}

std::optional<int> SlotMap::takeLowest()
{
    for (int s = 1; s <= capacity(); ++s)
        if (take(s))
            return s;
    return std::nullopt;
}

void SlotMap::release(int slot)
{
    if (!isUsed(slot))
        return;
    used_[static_cast<size_t>(slot - 1)] = 0;
    ++free_;
}

// ---- PhonebookStore -----------------------------------------------------------

PhonebookStore::PhonebookStore() = default;

ContactItem* PhonebookStore::itemFor(ContactKey key)
{
    for (auto& e : entries_)
        if (e.key == key)
            return &e;
    return nullptr;
}

const ContactItem* PhonebookStore::item(ContactKey key) const
{
    for (const auto& e : entries_)
        if (e.key == key)
            return &e;
    return nullptr;
}

void PhonebookStore::insertSorted(ContactItem item)
{
    // Before the first entry whose name sorts after this one; among equal
    // names a SIM entry goes before the handset entries, else arrival order.
    auto at = std::find_if(entries_.begin(), entries_.end(), [&](const ContactItem& e) {
        const int c = PINYINCodeStrcmp(item.sortName.data(), e.sortName.data());
        return c < 0 || (c == 0 && item.memory == kMemorySim && e.memory == kMemoryHandset);
    });
    entries_.insert(at, std::move(item));
}

std::optional<ContactKey> PhonebookStore::add(const ContactRecord& record, std::optional<int> slot)
{
    if (record.memory != kMemorySim && record.memory != kMemoryHandset)
        return std::nullopt;
    ContactItem item;
    item.memory = record.memory;
    item.state = ItemState::New;
    item.onPhone = false;
    item.key = nextKey_++;
    item.sortName = SortNameOf(record);
    item.record = std::make_unique<ContactRecord>(record);
    SlotMap& map = slotMap(record.memory);
    if (slot)
        item.slot = map.take(*slot) ? static_cast<uint16_t>(*slot) : kNoSlot;
    else
        item.slot = static_cast<uint16_t>(map.takeLowest().value_or(kNoSlot));
    const ContactKey key = item.key;
    insertSorted(std::move(item));
    return key;
}

bool PhonebookStore::modify(ContactKey key, const ContactRecord& record)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const ContactItem& e) { return e.key == key; });
    if (it == entries_.end() || record.memory != it->memory)
        return false;
    ContactItem item = std::move(*it);
    entries_.erase(it);
    *item.record = record;
    item.sortName = SortNameOf(record);
    item.state = ItemState::Modified;
    insertSorted(std::move(item));
    return true;
}

bool PhonebookStore::remove(ContactKey key)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const ContactItem& e) { return e.key == key; });
    if (it == entries_.end())
        return false;
    if (it->slot != kNoSlot)
        slotMap(it->memory).release(it->slot);
    const PendingDelete d{it->memory, it->slot};
    if (it->onPhone && std::find(pendingDeletes_.begin(), pendingDeletes_.end(), d) == pendingDeletes_.end())
        pendingDeletes_.push_back(d);
    entries_.erase(it);
    return true;
}

void PhonebookStore::removeAll()
{
    while (!entries_.empty())
        (void)remove(entries_.front().key);
}

void PhonebookStore::clear(uint8_t memory)
{
    std::erase_if(entries_, [&](const ContactItem& e) {
        if (e.memory != memory)
            return false;
        if (e.slot != kNoSlot)
            slotMap(memory).release(e.slot);
        return true;
    });
}

void PhonebookStore::clearAll()
{
    entries_.clear();
    pendingDeletes_.clear();
    sim_.reset(sim_.capacity());
    handset_.reset(kHandsetCapacity);
}

void PhonebookStore::markSynced(ContactKey key)
{
    if (ContactItem* e = itemFor(key)) {
        e->state = ItemState::Synced;
        e->onPhone = true;
    }
}

std::optional<size_t> PhonebookStore::positionOf(ContactKey key) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].key == key)
            return i;
    return std::nullopt;
}

const ContactRecord* PhonebookStore::find(ContactKey key) const
{
    const ContactItem* e = item(key);
    return e ? e->record.get() : nullptr;
}

StoreCounts PhonebookStore::counts() const
{
    StoreCounts c;
    c.deletes = static_cast<int>(pendingDeletes_.size());
    for (const auto& e : entries_) {
        (e.memory == kMemorySim ? c.sim : c.handset)++;
        if (e.state == ItemState::New || (e.state == ItemState::Modified && !e.onPhone))
            ++c.adds;
        else if (e.state == ItemState::Modified)
            ++c.modifies;
    }
    return c;
}

LoadError PhonebookStore::load(const std::string& dir)
{
    const std::string simPath = dir + "pb.sim";
    const std::string tablePath = dir + "smpbtab";
    auto fail = [&](LoadError e, int fromFile, int files) {
        for (int r = fromFile; r < files; ++r)
            RemoveFile(dir + "smpb" + std::to_string(r));
        entries_.clear();
        pendingDeletes_.clear();
        return e;
    };

    const auto simText = ReadWholeFile(simPath);
    RemoveFile(simPath);
    if (!simText) {
        RemoveFile(tablePath);
        return fail(LoadError::MissingSimFile, 0, 0);
    }
    const auto sim = ParsePbSim(std::string_view(reinterpret_cast<const char*>(simText->data()), simText->size()));
    if (!sim) {
        RemoveFile(tablePath);
        return fail(LoadError::BadSimFile, 0, 0);
    }
    entries_.clear();
    pendingDeletes_.clear();
    sim_.reset(std::min(sim->capacity, static_cast<int>(kNoSlot) - 1));  // slots are 16-bit
    handset_.reset(kHandsetCapacity);
    for (const SimLine& line : sim->entries) {
        const auto key = add(NewSimRecord(line.name, line.number), line.index);
        markSynced(*key);
    }

    const auto tableBytes = ReadTableFile(tablePath);
    RemoveFile(tablePath);
    if (!tableBytes)
        return fail(LoadError::BadTable, 0, 0);
    const SlotTable table = ParseSmpbtab(*tableBytes);
    if (table.fileCount < 0)
        return fail(LoadError::BadTable, 0, 0);
    for (int r = 0; r < table.fileCount; ++r) {
        const std::string path = dir + "smpb" + std::to_string(r);
        const auto file = ReadWholeFile(path);
        RemoveFile(path);
        if (!file || (!file->empty() && file->size() != kRecordFileSize))
            return fail(LoadError::BadRecordFile, r + 1, table.fileCount);
        if (file->empty())
            continue;
        for (size_t k = 0; k < kRecordsPerFile; ++k) {
            const size_t entry = static_cast<size_t>(r) * kRecordsPerFile + k;
            if (!table.used[entry])
                continue;
            const auto key = add(*RecordFromFile(*file, k), static_cast<int>(entry + 1));
            markSynced(*key);
        }
    }
    // A slot the phone's table lists as used stays taken even when its
    // record file came back empty, so a new entry never aims at it.
    for (size_t i = 0; i < kSmpbtabEntries; ++i)
        if (table.used[i])
            (void)handset_.take(static_cast<int>(i + 1));
    return LoadError::None;
}

std::string PhonebookStore::nameForNumber(std::string_view number) const
{
    const bool longNumber = number.size() > 7;
    const std::string_view key = longNumber ? number.substr(number.size() - 7) : number;
    std::string name;
    for (const auto& e : entries_) {
        const ContactRecord& r = *e.record;
        if (e.memory == kMemorySim) {
            if (NumberMatches(GetText(r, Field::SimNumber), key, longNumber)) {
                name = GetText(r, Field::SimName);
                break;
            }
            continue;
        }
        for (int i = 0; i < kNumberCount; ++i) {
            if (HasNumber(r, i) && NumberMatches(GetNumber(r, i), key, longNumber)) {
                name = GetText(r, Field::Name);
                break;
            }
        }
    }
    return name;
}

bool PhonebookStore::overCapacity() const
{
    const StoreCounts c = counts();
    return c.sim > sim_.capacity() || c.handset > handset_.capacity();
}

std::vector<SyncOp> PhonebookStore::planWriteBack()
{
    std::vector<SyncOp> ops;
    if (overCapacity())
        return ops;
    auto toAdd = [](const ContactItem& e) {
        return e.state == ItemState::New || (e.state == ItemState::Modified && !e.onPhone);
    };
    // An entry added while its memory was full has no slot; one may have
    // been freed since.
    for (auto& e : entries_)
        if (toAdd(e) && e.slot == kNoSlot)
            e.slot = static_cast<uint16_t>(slotMap(e.memory).takeLowest().value_or(kNoSlot));

    for (const PendingDelete& d : pendingDeletes_)
        ops.push_back({SyncOp::Delete, d.memory, d.slot, 0, 0, {}});
    for (size_t p = 0; p < entries_.size(); ++p) {
        const ContactItem& e = entries_[p];
        if (toAdd(e))
            ops.push_back({SyncOp::Add, e.memory, e.slot, static_cast<int>(p), e.key, UploadRecord(*e.record)});
    }
    for (size_t i = entries_.size(); i-- > 0;) {
        const ContactItem& e = entries_[i];
        if (e.state == ItemState::Modified && e.onPhone)
            ops.push_back({SyncOp::Modify, e.memory, e.slot, static_cast<int>(i + 1), e.key, UploadRecord(*e.record)});
    }
    return ops;
}

void PhonebookStore::confirm(const SyncOp& op)
{
    if (op.kind == SyncOp::Delete) {
        const PendingDelete d{op.memory, op.slot};
        if (auto it = std::find(pendingDeletes_.begin(), pendingDeletes_.end(), d); it != pendingDeletes_.end())
            pendingDeletes_.erase(it);
        return;
    }
    markSynced(op.key);
}

}  // namespace phonebook
