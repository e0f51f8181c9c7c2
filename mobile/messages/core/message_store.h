#pragma once
// The working copy of the phone's short messages.
//
// MessageStore keeps every message (SIM, handset, written here, received
// while running) as a MessageItem in list order: newest first by date,
// undated ones last, equal dates in the order they came. It loads what a
// message read left in the program directory, and saves and loads the
// local message file (psm). Deleting and editing act on the working copy
// only; nothing is deleted on the phone.
//
//   MessageStore store;
//   store.load(dir);                              // after messages::ReadPlan
//   for (const MessageItem& m : store.items()) ... // newest first
//
// Thread affinity: the thread that made it (the GUI thread, or a
// command's thread). Not locked; nothing edits it while a batch runs.

#include "mobile/messages/core/message_record.h"

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace phonebook {
class PhonebookStore;
}

namespace messages {

using MessageKey = const MessageRecord*;  // stable for an item's life
constexpr uint16_t kNoPhoneIndex = 0xFFFF;  // written, imported or received here

struct MessageItem {
    std::unique_ptr<MessageRecord> record;
    std::string name;  // the contact's name for the number (PC code page), empty when none
    uint16_t phoneIndex = kNoPhoneIndex;  // SIM index or handset item number
    std::string dateKey;  // DateKey(record->date)

    [[nodiscard]] MessageKey key() const { return record.get(); }
};

struct Counts {
    int32_t simCapacity = 50;
    int32_t handsetSingleCapacity = 1000;
    int32_t handsetConcatCapacity = 30;
    int32_t simUsed = 0;
    int32_t handsetSingleUsed = 0;
    int32_t handsetConcatUsed = 0;
};

enum class LoadError { None, SimFile, Tables, ConcatTable };

struct PsmLoad {
    enum Result { Loaded, CannotOpen, NotMessageFile } result = CannotOpen;
    int added = 0;  // messages in the list
    int duplicates = 0;  // records dropped as repeats of an earlier one
    bool cutOff = false;  // the file ended inside a record (whole ones were loaded)
};

// Where a new item goes (add).
constexpr int kOrderByDate = -1;
constexpr int kOrderHead = 0;
constexpr int kOrderTail = 1;

class MessageStore {
public:
    // Adds a copy of record: kOrderByDate before the first item with an
    // older date, kOrderHead at the head, anything else at the tail. Its
    // name comes from the phonebook when one is set.
    MessageKey add(const MessageRecord& record, uint16_t phoneIndex, int order);
    bool remove(MessageKey key);
    // Removes every message listed in box (inbox: unread and read; outbox:
    // unsent and sent).
    void removeBox(Box box);
    void removeAll();
    [[nodiscard]] MessageItem* find(MessageKey key);
    [[nodiscard]] const MessageItem* find(MessageKey key) const;
    [[nodiscard]] const std::list<MessageItem>& items() const { return items_; }
    [[nodiscard]] bool empty() const { return items_.empty(); }
    [[nodiscard]] Counts& counts() { return counts_; }
    [[nodiscard]] const Counts& counts() const { return counts_; }
    // Messages whose status no list shows.
    [[nodiscard]] int hiddenCount(bool messagesLocked) const;

    // Sets the phonebook that names numbers (nullptr: none) and recomputes
    // every item's name. The phonebook must outlive its use here.
    void refreshNames(const phonebook::PhonebookStore* phonebook);

    // Appends what a message read left in dir (with its trailing
    // separator): the SIM's messages from sms.sim (long ones joined by the
    // parts file beside it), then the handset's from
    // its tables and item files, concatenated messages joined from their
    // parts (a missing part leaves its text out). Sets the counters.
    [[nodiscard]] LoadError load(const std::string& dir);

    // The local message file: a 36-byte header ("SMS", the model name
    // "V318", version 1) and one record per message in list order.
    [[nodiscard]] bool savePsm(const std::string& path) const;
    // Empties the store and loads a psm file. A record that repeats an
    // earlier one of the same file (number, the first 15 date characters
    // and the text) is dropped, and the earlier one takes its status.
    [[nodiscard]] PsmLoad loadPsm(const std::string& path);

private:
    std::list<MessageItem> items_;
    Counts counts_;
    const phonebook::PhonebookStore* phonebook_ = nullptr;
};

// The 36-byte psm header.
constexpr size_t kPsmHeaderSize = 36;
[[nodiscard]] std::string PsmHeader();

// The memory report: SIM use and the handset's single and concatenated
// messages, with percentages (single + 10 * concatenated against 1000 + 300).
struct MemoryUsage {
    int simUsed = 0, simCapacity = 0, simPercent = 0;
    int singleUsed = 0, concatUsed = 0;
    int singleCapacity = 0, concatCapacity = 0;
    int handsetPercent = 0;
};
[[nodiscard]] MemoryUsage Usage(const MessageStore& store, bool messagesLocked);

}  // namespace messages
