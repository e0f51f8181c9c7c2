#pragma once
// The working copy of the phone's phonebook.
//
// PhonebookStore keeps every entry of both memories (SIM and handset) as a
// ContactItem, sorted for display, together with what the phone must still
// be told: entries deleted here that still exist on the phone, new entries
// and modified ones. It knows which slots of each memory are used, so a
// new entry gets the lowest free slot.
//
// How other areas use it:
//   PhonebookStore store;
//   if (store.load(dir)) ...                 // the files a phonebook read left in dir
//   std::string name = store.nameForNumber("+8613800001111");   // "" when unknown
//   for (const ContactItem& e : store.entries()) ...            // in display order
// Text is PC code page (GBK); convert at the edges (quorlink/codecs).
// In the desktop program one store is shared by the phonebook page and the
// messages page (mobile/app/pages.cpp); a `telvane` command makes its own
// and fills it with phonebook::ReadPlan / FinishRead (phonebook_flows.h).
//
// Thread affinity: the thread that made it (the GUI thread, or a command's
// thread). Not locked; nothing edits it while a batch runs.

#include "mobile/phonebook/core/contact_record.h"
#include "mobile/phonebook/core/phone_files.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phonebook {

using ContactKey = uint32_t;  // stable for an item's life; never 0
constexpr uint16_t kNoSlot = 65535;
constexpr int kDefaultSimCapacity = 300;

enum class ItemState : uint8_t { Synced = 0, Modified = 1, New = 2 };

struct ContactItem {
    uint8_t memory = kMemoryHandset;
    ItemState state = ItemState::New;
    bool onPhone = false;
    uint16_t slot = kNoSlot;  // 1-based record number in its memory
    ContactKey key = 0;
    std::array<char, 20> sortName{};  // the first 19 bytes of the name, NUL-terminated
    std::unique_ptr<ContactRecord> record;
};

// An entry deleted here that the phone still holds.
struct PendingDelete {
    uint8_t memory;
    uint16_t slot;
    bool operator==(const PendingDelete&) const = default;
};

struct StoreCounts {
    int sim = 0;
    int handset = 0;
    int deletes = 0;
    int adds = 0;  // New, or Modified and not on the phone
    int modifies = 0;  // Modified and on the phone
};

// Used and free slots of one memory.
class SlotMap {
public:
    explicit SlotMap(int capacity) { reset(capacity); }
    void reset(int capacity);
    [[nodiscard]] int capacity() const { return static_cast<int>(used_.size()); }
    [[nodiscard]] int freeCount() const { return free_; }
    [[nodiscard]] bool isUsed(int slot) const;
    // Marks slot used when it is free and within the capacity.
    [[nodiscard]] bool take(int slot);
    // The lowest free slot, taken; nothing when the memory is full.
    [[nodiscard]] std::optional<int> takeLowest();
    void release(int slot);

private:
    std::vector<uint8_t> used_;
    int free_ = 0;
};

enum class LoadError { None, MissingSimFile, BadSimFile, BadTable, BadRecordFile };

// One step of a write-back, in the order it must reach the phone.
struct SyncOp {
    enum Kind : uint8_t { Add = 0, Modify = 1, Delete = 2 };
    Kind kind;
    uint8_t memory;
    uint16_t slot;
    int position;  // Add: 0-based place in the list; Modify: 1-based; Delete: unused
    ContactKey key;  // 0 for a delete
    std::vector<uint8_t> upload;  // the record for tmp.dat (add and modify)

    // "AT*SYPH=op,mem,slot,pos\r", or "AT*SYPH=2,mem,slot\r" for a delete.
    [[nodiscard]] std::string command() const;
};

class PhonebookStore {
public:
    PhonebookStore();
    PhonebookStore(const PhonebookStore&) = delete;
    PhonebookStore& operator=(const PhonebookStore&) = delete;

    // Adds an entry of the record's memory (0 or 1). With no slot the lowest
    // free slot is taken (kNoSlot when the memory is full); with a slot
    // (loading) it is taken when free and within the capacity, else the item
    // gets kNoSlot. The item starts New, not on the phone. Nothing when the
    // memory code is neither 0 nor 1.
    [[nodiscard]] std::optional<ContactKey> add(const ContactRecord& record, std::optional<int> slot = std::nullopt);
    // Replaces an entry's record (same memory); it becomes Modified and moves
    // to its sorted place. False for an unknown key or another memory.
    bool modify(ContactKey key, const ContactRecord& record);
    // Frees the slot; an entry the phone holds is remembered for deletion.
    bool remove(ContactKey key);
    void removeAll();
    // Drops every entry of a memory, leaving the pending deletions alone.
    void clear(uint8_t memory);
    // Both memories, the pending deletions, and both slot maps back to all free.
    void clearAll();
    void markSynced(ContactKey key);

    [[nodiscard]] const std::vector<ContactItem>& entries() const { return entries_; }
    [[nodiscard]] const std::vector<PendingDelete>& pendingDeletes() const { return pendingDeletes_; }
    [[nodiscard]] std::optional<size_t> positionOf(ContactKey key) const;
    [[nodiscard]] const ContactRecord* find(ContactKey key) const;
    [[nodiscard]] const ContactItem* item(ContactKey key) const;
    [[nodiscard]] StoreCounts counts() const;
    [[nodiscard]] const SlotMap& simSlots() const { return sim_; }
    [[nodiscard]] const SlotMap& handsetSlots() const { return handset_; }
    [[nodiscard]] bool empty() const { return entries_.empty(); }

    // Fills the store from the files a phonebook read left in dir (with its
    // trailing separator): pb.sim, smpbtab and the record files, deleting
    // each. Every entry comes in Synced and on the phone. On failure both
    // memories are empty.
    [[nodiscard]] LoadError load(const std::string& dir);

    // The name of the entry whose number matches the last seven characters
    // of number (a SIM entry ends the search; among handset entries the last
    // match wins); empty when none does.
    [[nodiscard]] std::string nameForNumber(std::string_view number) const;

    // Write-back. More entries than a memory holds: nothing (the caller shows
    // the capacity message). Else the steps the phone must take: deletes,
    // then additions from the head of the list, then modifications from the
    // tail. Entries that lost their slot to a full memory get the lowest slot
    // freed since. The store is not changed by planning: each step is
    // confirmed with confirm() once the phone accepted it, so a batch that
    // fails part-way leaves exactly the unsent changes pending.
    [[nodiscard]] bool overCapacity() const;
    [[nodiscard]] std::vector<SyncOp> planWriteBack();
    void confirm(const SyncOp& op);

private:
    ContactItem* itemFor(ContactKey key);
    void insertSorted(ContactItem item);
    [[nodiscard]] SlotMap& slotMap(uint8_t memory) { return memory == kMemorySim ? sim_ : handset_; }

    std::vector<ContactItem> entries_;
    std::vector<PendingDelete> pendingDeletes_;
    SlotMap sim_{kDefaultSimCapacity};
    SlotMap handset_{kHandsetCapacity};
    ContactKey nextKey_ = 1;
};

// The sort key of a record: its name cut to 19 bytes.
[[nodiscard]] std::array<char, 20> SortNameOf(const ContactRecord& r);

}  // namespace phonebook
