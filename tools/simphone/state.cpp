#include "state.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "records.h"
#include "text.h"

namespace fs = std::filesystem;

namespace simphone {

std::optional<std::vector<uint8_t>> ReadFileBytes(const fs::path& p)
{
    std::error_code ec;
    if (!fs::is_regular_file(p, ec))
        return std::nullopt;
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return data;
}

bool WriteFileBytes(const fs::path& p, std::span<const uint8_t> data)
{
    const fs::path tmp = p.string() + ".part~";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        out.flush();
        if (!out) {
            std::error_code ec;
            fs::remove(tmp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(tmp, p, ec);
    if (ec)
        fs::remove(tmp, ec);
    return !ec;
}

// ---- file system ----------------------------------------------------------

std::optional<fs::path> PhoneFs::resolve(std::string_view path) const
{
    if (path.empty() || path.size() > 255 || path[0] != '/')
        return std::nullopt;
    fs::path out = root_;
    size_t start = 1;
    int depth = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.empty()) {
            if (end != path.size())
                return std::nullopt;  // "//" inside the path
            break;  // trailing "/"
        }
        if (part == "." || part == "..")
            return std::nullopt;
        for (char c : part)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\')
                return std::nullopt;
        if (depth == 0 && part != "app")
            return std::nullopt;
        out /= std::string(part);
        ++depth;
        start = end + 1;
    }
    if (depth == 0)
        return std::nullopt;
    return out;
}

uint64_t PhoneFs::usedBytes() const
{
    uint64_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_ / "app", ec); !ec && it != fs::end(it); it.increment(ec))
        if (it->is_regular_file(ec))
            total += it->file_size(ec);
    return total;
}

// ---- settings -------------------------------------------------------------

namespace {
struct ConfigField {
    const char* key;
    std::string PhoneConfig::*field;
};
constexpr ConfigField kConfigFields[] = {
    {"manufacturer", &PhoneConfig::manufacturer},
    {"model", &PhoneConfig::model},
    {"revision", &PhoneConfig::revision},
    {"imei", &PhoneConfig::imei},
    {"imsi", &PhoneConfig::imsi},
    {"operator", &PhoneConfig::operatorName},
    {"smsc", &PhoneConfig::smsc},
    {"safebox", &PhoneConfig::safebox},
};
}  // namespace

PhoneConfig PhoneConfig::load(const fs::path& dir)
{
    PhoneConfig c;
    std::ifstream in(dir / "phone.conf");
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        for (const auto& f : kConfigFields)
            if (key == f.key)
                c.*(f.field) = value;
        if (key == "volume")
            c.volumeBytes = std::strtoull(value.c_str(), nullptr, 10);
    }
    return c;
}

bool PhoneConfig::save(const fs::path& dir) const
{
    std::string text = "# simphone handset settings\n";
    for (const auto& f : kConfigFields)
        text += std::string(f.key) + "=" + this->*(f.field) + "\n";
    text += "volume=" + std::to_string(volumeBytes) + "\n";
    return WriteFileBytes(dir / "phone.conf", {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// ---- SIM ------------------------------------------------------------------

SimStore::SimStore(fs::path stateDir) : dir_(std::move(stateDir) / "sim")
{
    std::ifstream pb(dir_ / "phonebook");
    std::string line;
    while (std::getline(pb, line)) {
        std::istringstream ls(line);
        std::string idx, number, name;
        if (!std::getline(ls, idx, '\t') || !std::getline(ls, number, '\t'))
            continue;
        std::getline(ls, name);
        const int i = std::atoi(idx.c_str());
        if (i >= 1 && i <= kPhonebookCapacity)
            contacts_[i] = {number, Utf8ToUcs2(name)};
    }
    std::ifstream ms(dir_ / "messages");
    while (std::getline(ms, line)) {
        std::istringstream ls(line);
        std::string idx, stat, hex;
        if (!std::getline(ls, idx, '\t') || !std::getline(ls, stat, '\t') || !std::getline(ls, hex))
            continue;
        const int i = std::atoi(idx.c_str());
        auto bytes = HexToBytes(hex);
        if (i >= 1 && i <= kMessageCapacity && bytes)
            messages_[i] = {std::atoi(stat.c_str()) & 3, *bytes};
    }
}

bool SimStore::save() const
{
    std::error_code ec;
    fs::create_directories(dir_, ec);
    std::string pb = "";
    for (const auto& [i, c] : contacts_)
        pb += std::to_string(i) + "\t" + c.number + "\t" + Ucs2ToUtf8(c.name) + "\n";
    std::string ms;
    for (const auto& [i, m] : messages_)
        ms += std::to_string(i) + "\t" + std::to_string(m.stat) + "\t" + BytesToHex(m.pdu) + "\n";
    auto bytes = [](const std::string& s) {
        return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    return WriteFileBytes(dir_ / "phonebook", bytes(pb)) && WriteFileBytes(dir_ / "messages", bytes(ms));
}

Outcome CheckSimContact(const SimContact& c)
{
    const bool gsm = FitsGsm7(c.name);
    if (c.name.size() > (gsm ? SimStore::kNameChars : SimStore::kUcs2NameChars))
        return kCmeTextTooLong;
    const std::string_view n = c.number;
    if (n.size() > SimStore::kNumberChars + (n.starts_with('+') ? 1 : 0))
        return kCmeDialTooLong;
    for (size_t i = 0; i < n.size(); ++i) {
        const char ch = n[i];
        const bool ok =
            (ch >= '0' && ch <= '9') || ch == '*' || ch == '#' || ch == 'p' || ch == 'w' || (ch == '+' && i == 0);
        if (!ok)
            return kCmeInvalidDial;
    }
    return 0;
}

Outcome SimStore::writeContact(int index, SimContact c, int* writtenIndex)
{
    if (Outcome o = CheckSimContact(c))
        return o;
    if (index == 0) {
        for (int i = 1; i <= kPhonebookCapacity; ++i)
            if (!contacts_.count(i)) {
                index = i;
                break;
            }
        if (index == 0)
            return kCmeMemoryFull;
    }
    if (index < 1 || index > kPhonebookCapacity)
        return kCmeInvalidIndex;
    auto old = contacts_.find(index);
    std::optional<SimContact> previous;
    if (old != contacts_.end())
        previous = old->second;
    contacts_[index] = std::move(c);
    if (!save()) {
        if (previous)
            contacts_[index] = *previous;
        else
            contacts_.erase(index);
        return kCmeMemoryFailure;
    }
    if (writtenIndex)
        *writtenIndex = index;
    return 0;
}

Outcome SimStore::eraseContact(int index)
{
    if (index < 1 || index > kPhonebookCapacity)
        return kCmeInvalidIndex;
    auto it = contacts_.find(index);
    if (it == contacts_.end())
        return 0;  // erasing an empty location is allowed
    const SimContact old = it->second;
    contacts_.erase(it);
    if (!save()) {
        contacts_[index] = old;
        return kCmeMemoryFailure;
    }
    return 0;
}

int SimStore::storeMessage(SimMessage m)
{
    for (int i = 1; i <= kMessageCapacity; ++i)
        if (!messages_.count(i)) {
            messages_[i] = std::move(m);
            if (!save()) {
                messages_.erase(i);
                return 0;
            }
            return i;
        }
    return 0;
}

bool SimStore::eraseMessage(int index)
{
    auto it = messages_.find(index);
    if (it == messages_.end())
        return false;
    const SimMessage old = it->second;
    messages_.erase(it);
    if (!save()) {
        messages_[index] = old;
        return false;
    }
    return true;
}

void SimStore::markRead(int index)
{
    auto it = messages_.find(index);
    if (it != messages_.end() && it->second.stat == 0) {
        it->second.stat = 1;
        (void)save();
    }
}

// ---- handset phonebook ----------------------------------------------------

namespace {

std::vector<uint8_t> LoadOrBlank(const fs::path& p, size_t size, uint8_t fill)
{
    auto data = ReadFileBytes(p);
    if (!data || data->size() != size)
        return std::vector<uint8_t>(size, fill);
    return *data;
}

Outcome WriteHandsetRecord(const PhoneFs& pfs, int slot, const PhonebookRecord* rec, uint64_t volumeBytes)
{
    const int file = (slot - 1) / static_cast<int>(kRecordsPerSmpb);
    const int k = (slot - 1) % static_cast<int>(kRecordsPerSmpb);
    const fs::path p = pfs.app("dir/smpb" + std::to_string(file));
    // The first entry of a record file's range creates the file: it needs room.
    std::error_code ec;
    if (rec && !fs::exists(p, ec) && pfs.usedBytes() + kRecordsPerSmpb * sizeof(PhonebookRecord) > volumeBytes)
        return kCmeMemoryFull;
    auto data = LoadOrBlank(p, kRecordsPerSmpb * sizeof(PhonebookRecord), 0);
    if (rec)
        std::memcpy(data.data() + k * sizeof(PhonebookRecord), rec, sizeof(PhonebookRecord));
    else
        std::memset(data.data() + k * sizeof(PhonebookRecord), 0, sizeof(PhonebookRecord));
    return WriteFileBytes(p, data) ? 0 : kCmeMemoryFailure;
}

Outcome SyphHandset(const PhoneFs& pfs, int op, int slot, int position, uint64_t volumeBytes)
{
    if (slot < 1 || slot > static_cast<int>(kSmpbtabEntries))
        return kCmeInvalidIndex;
    const fs::path tabPath = pfs.app("dir/smpbtab");
    auto tab = LoadOrBlank(tabPath, kSmpbtabSize, 0xFF);
    auto* entries = reinterpret_cast<PhonebookTabEntry*>(tab.data());
    auto used = [&](size_t i) { return GetBe16(entries[i].slot) != 0xFFFF; };
    int count = 0;
    for (size_t i = 0; i < kSmpbtabEntries; ++i)
        count += used(i) ? 1 : 0;
    PhonebookTabEntry& e = entries[slot - 1];
    const bool present = used(static_cast<size_t>(slot - 1));

    // Moves the entries at list places >= from by delta (the list stays dense).
    auto shift = [&](int from, int delta) {
        for (size_t i = 0; i < kSmpbtabEntries; ++i)
            if (used(i) && GetBe16(entries[i].position) >= from)
                PutBe16(entries[i].position, static_cast<uint16_t>(GetBe16(entries[i].position) + delta));
    };

    PhonebookRecord rec{};
    if (op == 0 || op == 1) {
        if (op == 0 && present)
            return kCmeNotAllowed;  // slot taken: never overwrite on add
        if (op == 1 && !present)
            return kCmeNotFound;
        auto drop = ReadFileBytes(pfs.app("dir/tmp.dat"));
        if (!drop)
            return kCmeNotFound;
        if (drop->size() != sizeof(PhonebookRecord))
            return kCmeBadParameters;
        rec = FromBytes<PhonebookRecord>(*drop);
        rec.name[40] = 0;
        if (present) {
            const int old = GetBe16(e.position);
            std::memset(&e, 0xFF, sizeof e);
            shift(old + 1, -1);
            --count;
        }
        const int pos = std::clamp(op == 0 ? position : position - 1, 0, count);
        shift(pos, +1);
        PutBe16(e.slot, static_cast<uint16_t>(slot));
        PutBe16(e.position, static_cast<uint16_t>(pos));
        std::memset(e.sortKey, 0, sizeof e.sortKey);
        std::memcpy(e.sortKey, rec.name, sizeof e.sortKey - 1);
        if (Outcome o = WriteHandsetRecord(pfs, slot, &rec, volumeBytes))
            return o;
    } else {
        if (!present)
            return kCmeNotFound;
        const int old = GetBe16(e.position);
        std::memset(&e, 0xFF, sizeof e);
        shift(old + 1, -1);
        if (Outcome o = WriteHandsetRecord(pfs, slot, nullptr, volumeBytes))
            return o;
    }
    if (!WriteFileBytes(tabPath, tab))
        return kCmeMemoryFailure;
    if (op != 2) {
        std::error_code ec;
        fs::remove(pfs.app("dir/tmp.dat"), ec);  // consumed: a later AT*SYPH needs a fresh upload
    }
    return 0;
}

Outcome SyphSim(const PhoneFs& pfs, SimStore& sim, int op, int slot)
{
    if (slot < 1 || slot > SimStore::kPhonebookCapacity)
        return kCmeInvalidIndex;
    const bool present = sim.contacts().count(slot) != 0;
    if (op == 2)
        return present ? sim.eraseContact(slot) : kCmeNotFound;
    if (op == 0 && present)
        return kCmeNotAllowed;
    if (op == 1 && !present)
        return kCmeNotFound;
    auto drop = ReadFileBytes(pfs.app("dir/tmp.dat"));
    if (!drop)
        return kCmeNotFound;
    if (drop->size() != sizeof(SimDropRecord))
        return kCmeBadParameters;
    auto rec = FromBytes<SimDropRecord>(*drop);
    rec.name[50] = 0;
    rec.number[41] = 0;
    SimContact c{GetText(rec.number), MixedToUcs2(GetText(rec.name))};
    if (Outcome o = sim.writeContact(slot, c))
        return o;
    std::error_code ec;
    fs::remove(pfs.app("dir/tmp.dat"), ec);
    return 0;
}

}  // namespace

Outcome ApplySyph(const PhoneFs& pfs, SimStore& sim, int op, int memory, int slot, int position, uint64_t volumeBytes)
{
    if (op < 0 || op > 2)
        return kCmeBadParameters;
    if (memory == 1)
        return SyphHandset(pfs, op, slot, position, volumeBytes);
    if (memory == 0)
        return SyphSim(pfs, sim, op, slot);
    return kCmeBadParameters;
}

// ---- media slots ----------------------------------------------------------

namespace {
struct SlotKind {
    int registerCode;
    const char* dir;
    const char* ext;
};
constexpr SlotKind kSlotKinds[] = {
    {17, "jpeg", "jpg"}, {33, "midi", "mid"}, {36, "mms", "amr"}, {37, "midi", "vmd"}, {38, "midi", "adp"},
};
constexpr uint32_t kRingtoneCapacity = 102400;

std::string SlotName(int k, const char* ext)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "user%03d.%s", k, ext);
    return buf;
}
}  // namespace

std::optional<std::string> SlotFilePath(int code, int k)
{
    for (const auto& s : kSlotKinds)
        if (s.registerCode == code)
            return std::string("/app/") + s.dir + "/" + EncodeFileName(SlotName(k, s.ext));
    return std::nullopt;
}

Outcome ApplySyfile(const PhoneFs& pfs, int code, int k, std::optional<std::string> name, std::optional<int64_t> size)
{
    if (k < 0 || k >= static_cast<int>(kSlotCount))
        return kCmeInvalidIndex;
    const bool picture = code == 17 || code == 18;
    const bool clear = code == 18 || code == 34;
    if (!clear && !SlotFilePath(code, k))
        return kCmeBadParameters;
    const fs::path indexPath = pfs.app(std::string(picture ? "jpeg/" : "midi/") + EncodeFileName("index"));
    auto data = ReadFileBytes(indexPath).value_or(std::vector<uint8_t>{});
    data.resize(kSlotCount * sizeof(SlotRecord), 0);
    auto* recs = reinterpret_cast<SlotRecord*>(data.data());
    SlotRecord& r = recs[k];
    if (clear) {
        if (name || size)
            return kCmeBadParameters;
        PutBe32(r.size, 0);
        std::memset(r.displayName, 0, sizeof r.displayName);
        r.used = 0;
        r.isPrivate = 0;
        if (r.fileName[0] == 0)
            PutText(r.fileName, SlotName(k, picture ? "jpg" : "mid"));
    } else {
        if (!name || !size || *size < 0)
            return kCmeBadParameters;
        if (name->size() > 15)
            return kCmeTextTooLong;
        const auto file = pfs.resolve(*SlotFilePath(code, k));
        std::error_code ec;
        if (!file || !fs::is_regular_file(*file, ec))
            return kCmeNotFound;
        if (static_cast<int64_t>(fs::file_size(*file, ec)) != *size)
            return kCmeBadParameters;
        if (!picture) {
            uint64_t total = static_cast<uint64_t>(*size);
            for (size_t i = 0; i < kSlotCount; ++i)
                if (static_cast<int>(i) != k && recs[i].used)
                    total += GetBe32(recs[i].size);
            if (total > kRingtoneCapacity)
                return kCmeMemoryFull;
        }
        const char* ext = "jpg";
        for (const auto& s : kSlotKinds)
            if (s.registerCode == code)
                ext = s.ext;
        PutBe32(r.size, static_cast<uint32_t>(*size));
        PutText(r.fileName, SlotName(k, ext));
        PutText(r.displayName, *name);
        r.used = 1;
    }
    return WriteFileBytes(indexPath, data) ? 0 : kCmeMemoryFailure;
}

// ---- handset messages -----------------------------------------------------

Outcome StoreHandsetMessage(const PhoneFs& pfs, uint8_t status, std::string_view number,
                            const std::vector<std::string>& parts, const SmsTime& t, const std::vector<bool>& missing)
{
    if (parts.empty() || parts.size() > 10)
        return kCmeBadParameters;
    std::error_code ec;
    fs::create_directories(pfs.app("sms"), ec);
    std::vector<std::vector<uint8_t>> tabs;
    for (size_t f = 0; f < kSmsTabFiles; ++f)
        tabs.push_back(LoadOrBlank(pfs.app("sms/smstab" + std::to_string(f)), kSmsTabEntries * sizeof(SmsTabEntry), 0));
    auto concat = LoadOrBlank(pfs.app("sms/smsconcattab"), kSmsConcatSize, 0);
    auto entryAt = [&](size_t n) {
        return reinterpret_cast<SmsTabEntry*>(tabs[n / kSmsTabEntries].data()) + n % kSmsTabEntries;
    };
    auto concatAt = [&](size_t n) { return reinterpret_cast<SmsConcatEntry*>(concat.data() + 4) + n; };

    std::set<unsigned> usedItems;
    uint32_t lastSequence = 0;
    SmsTabEntry* freeEntry = nullptr;
    for (size_t n = 0; n < kSmsTabFiles * kSmsTabEntries; ++n) {
        SmsTabEntry* e = entryAt(n);
        const uint16_t item = GetBe16(e->item);
        if (!(item & 0x8000)) {
            if (!freeEntry)
                freeEntry = e;
            continue;
        }
        lastSequence = std::max(lastSequence, GetBe32(e->sequence));
        if (!e->concatenated) {
            usedItems.insert(item & 0x7FFF);
        } else if (e->concatIndex < kSmsConcatEntries) {
            const SmsConcatEntry* c = concatAt(e->concatIndex);
            for (const auto& w : c->partItems)
                if (GetBe16(w) & 0x8000)
                    usedItems.insert(GetBe16(w) & 0x7FFF);
        }
    }
    if (!freeEntry)
        return kCmeMemoryFull;
    int concatIndex = -1;
    if (parts.size() > 1) {
        for (size_t i = 0; i < kSmsConcatEntries; ++i)
            if (!concatAt(i)->used) {
                concatIndex = static_cast<int>(i);
                break;
            }
        if (concatIndex < 0)
            return kCmeMemoryFull;
    }
    std::vector<int> items;
    unsigned next = 0;
    for (size_t p = 0; p < parts.size(); ++p) {
        if (p < missing.size() && missing[p]) {
            items.push_back(-1);
            continue;
        }
        while (next <= kMaxSmsItem && usedItems.count(next))
            ++next;
        if (next > kMaxSmsItem)
            return kCmeMemoryFull;
        items.push_back(static_cast<int>(next++));
    }

    const uint32_t date = PackDate(t.year < 100 ? 2000 + t.year : t.year, t.month, t.day, t.hour, t.minute);
    for (size_t p = 0; p < parts.size(); ++p) {
        if (items[p] < 0)
            continue;
        const fs::path file = pfs.app("sms/items" + std::to_string(items[p] / kItemsPerFile));
        auto data = LoadOrBlank(file, kItemsPerFile * sizeof(SmsItem), 0);
        SmsItem it{};
        PutBe32(it.date, date);
        PutText(it.number, number);
        PutText(it.text, parts[p]);
        std::memcpy(data.data() + (items[p] % kItemsPerFile) * sizeof(SmsItem), &it, sizeof it);
        if (!WriteFileBytes(file, data))
            return kCmeMemoryFailure;
    }
    uint16_t firstItem = 0;
    for (int i : items)
        if (i >= 0) {
            firstItem = static_cast<uint16_t>(i);
            break;
        }
    if (concatIndex >= 0) {
        SmsConcatEntry* c = concatAt(static_cast<size_t>(concatIndex));
        std::memset(c, 0, sizeof *c);
        PutBe16(c->reference, static_cast<uint16_t>(lastSequence + 1));
        c->used = 1;
        c->parts = static_cast<uint8_t>(parts.size());
        PutBe32(c->sequence, lastSequence + 1);
        for (size_t p = 0; p < parts.size(); ++p)
            PutBe16(c->partItems[p], items[p] < 0 ? 0 : static_cast<uint16_t>(0x8000 | items[p]));
        if (!WriteFileBytes(pfs.app("sms/smsconcattab"), concat))
            return kCmeMemoryFailure;
    }
    std::memset(freeEntry, 0, sizeof *freeEntry);
    PutBe32(freeEntry->sequence, lastSequence + 1);
    freeEntry->status = status;
    freeEntry->memory = 1;
    PutBe16(freeEntry->item, static_cast<uint16_t>(0x8000 | firstItem));
    freeEntry->concatenated = concatIndex >= 0 ? 1 : 0;
    freeEntry->concatIndex = concatIndex >= 0 ? static_cast<uint8_t>(concatIndex) : 0;
    for (size_t f = 0; f < kSmsTabFiles; ++f)
        if (!WriteFileBytes(pfs.app("sms/smstab" + std::to_string(f)), tabs[f]))
            return kCmeMemoryFailure;
    return 0;
}

}  // namespace simphone
