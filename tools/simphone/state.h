// The phone's state directory: the handset file system under DIR/app, the
// SIM beside it (DIR/sim), the handset's settings (DIR/phone.conf).
//
// Thread affinity: a State is used by the one thread that serves the line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pdu.h"

namespace simphone {

// "+CME ERROR" numbers the handset uses.
enum Cme : int {
    kCmeTransferOpen = 1,  // a file transfer is already open: *END it first
    kCmeNotAllowed = 3,
    kCmeNotSupported = 4,
    kCmeMemoryFull = 20,
    kCmeInvalidIndex = 21,
    kCmeNotFound = 22,
    kCmeMemoryFailure = 23,
    kCmeTextTooLong = 24,
    kCmeInvalidText = 25,
    kCmeDialTooLong = 26,
    kCmeInvalidDial = 27,
    kCmeBadParameters = 50,
    kCmeUnknown = 100,
};

// Result of an operation that changes the phone: 0 for success, else a CME number.
using Outcome = int;

[[nodiscard]] std::optional<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path& p);
// Writes through a temporary file and a rename, so a reader never sees half a file.
[[nodiscard]] bool WriteFileBytes(const std::filesystem::path& p, std::span<const uint8_t> data);

// Maps handset paths ("/app/jpeg/index") onto the state directory. Only paths
// below "/app" exist; "." / ".." components and control characters are refused.
class PhoneFs {
public:
    explicit PhoneFs(std::filesystem::path stateDir) : root_(std::move(stateDir)) { }
    [[nodiscard]] std::optional<std::filesystem::path> resolve(std::string_view phonePath) const;
    [[nodiscard]] std::filesystem::path app(std::string_view relative) const { return root_ / "app" / relative; }
    [[nodiscard]] const std::filesystem::path& root() const { return root_; }
    // Bytes held by all files under /app.
    [[nodiscard]] uint64_t usedBytes() const;

private:
    std::filesystem::path root_;
};

// Identity and settings of the handset, from DIR/phone.conf (key=value lines).
struct PhoneConfig {
    std::string manufacturer = "Telvane";
    std::string model = "V318";
    std::string revision = "V318_R2.31";
    std::string imei = "356938035643809";
    std::string imsi = "460001234567890";
    std::string operatorName = "CHINA MOBILE";
    std::string smsc = "+8613800100500";
    std::string safebox = "NON";  // NON, PIC, SMS or PIC,SMS
    uint64_t volumeBytes = 4u * 1024 * 1024;

    [[nodiscard]] static PhoneConfig load(const std::filesystem::path& stateDir);
    [[nodiscard]] bool save(const std::filesystem::path& stateDir) const;
};

struct SimContact {
    std::string number;  // dial string, "+" allowed in front
    std::u16string name;
};

struct SimMessage {
    int stat = 0;  // 0 REC UNREAD, 1 REC READ, 2 STO UNSENT, 3 STO SENT
    std::vector<uint8_t> pdu;  // service-centre part first
};

// The SIM card: phonebook and message storage, kept in DIR/sim as text.
class SimStore {
public:
    static constexpr int kPhonebookCapacity = 250;
    static constexpr int kMessageCapacity = 50;
    static constexpr size_t kNameChars = 12;  // GSM characters of a SIM name
    static constexpr size_t kUcs2NameChars = 6;  // characters when the name needs UCS2
    static constexpr size_t kNumberChars = 20;

    explicit SimStore(std::filesystem::path stateDir);
    [[nodiscard]] bool save() const;

    const std::map<int, SimContact>& contacts() const { return contacts_; }
    const std::map<int, SimMessage>& messages() const { return messages_; }

    // Writes a contact at index (1-based), or at the first free index when index is 0.
    [[nodiscard]] Outcome writeContact(int index, SimContact c, int* writtenIndex = nullptr);
    [[nodiscard]] Outcome eraseContact(int index);
    // Stores a message at the first free index; 0 when full.
    [[nodiscard]] int storeMessage(SimMessage m);
    [[nodiscard]] bool eraseMessage(int index);
    void markRead(int index);

private:
    std::filesystem::path dir_;
    std::map<int, SimContact> contacts_;
    std::map<int, SimMessage> messages_;
};

// Checks a SIM name and number against the SIM's limits.
[[nodiscard]] Outcome CheckSimContact(const SimContact& c);

// AT*SYPH: operation 0 add, 1 modify (the record from /app/dir/tmp.dat), 2 delete;
// memory 0 SIM, 1 handset; slot 1-based; position where the entry goes in the
// handset's list (0-based for add, 1-based for modify). A handset entry that
// needs a new record file is refused with "memory full" when the file system
// (volumeBytes) has no room for it.
[[nodiscard]] Outcome ApplySyph(const PhoneFs& fs, SimStore& sim, int op, int memory, int slot, int position,
                                uint64_t volumeBytes);

// AT*SYFILE: register (17 picture, 33 MIDI, 36 AMR, 37 VMD, 38 ADP) slot k with
// a display name (GSM) and size, or clear it (18 picture, 34 ringtone).
[[nodiscard]] Outcome ApplySyfile(const PhoneFs& fs, int code, int k, std::optional<std::string> name,
                                  std::optional<int64_t> size);

// Phone path of the file of slot k for a register code (17, 33, 36, 37, 38).
[[nodiscard]] std::optional<std::string> SlotFilePath(int registerCode, int k);

// Stores a message in the handset's own memory (/app/sms): one table entry,
// its items, and a concatenation entry when it has several parts. status is
// the handset status byte (3 unread, 1 read, 7 unsent, 5 sent).
// text is mixed handset text; parts longer than one item are split.
[[nodiscard]] Outcome StoreHandsetMessage(const PhoneFs& fs, uint8_t status, std::string_view number,
                                          const std::vector<std::string>& partTexts, const SmsTime& time,
                                          const std::vector<bool>& missingParts = {});

}  // namespace simphone
