// `telvane phonebook ...`: the phonebook page's work from the shell, on the
// same core (store, files, read and write-back flows). Every command that
// changes the phone reads it first, changes the working copy and writes
// the changes back; the output is UTF-8 whatever the phone's code page.
#include "cli/phonebook_commands.h"

#include "cli/phone_commands.h"
#include "mobile/phonebook/core/editing.h"
#include "mobile/phonebook/core/phonebook_flows.h"
#include "mobile/phonebook/core/phonebook_io.h"
#include "mobile/phonebook/core/vcard.h"
#include "mobile/shell/core/phone_session.h"
#include "resources/strings.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace telvane::cli {

namespace {

using namespace phonebook;

std::string Text(int id)
{
    return ResourceText(id);
}

const TextFn kText = [](int id) { return Text(id); };

// "%d" of a message filled in.
std::string WithNumber(int id, long n)
{
    std::string t = Text(id);
    if (const size_t at = t.find("%d"); at != std::string::npos)
        t.replace(at, 2, std::to_string(n));
    return t;
}

std::string SlotName(uint8_t memory, int slot)
{
    return std::string(memory == kMemorySim ? "sim:" : "handset:") + std::to_string(slot);
}

// A connected session with the phonebook read into store; rc is not
// kExitOk when that failed (the reason is on stderr).
struct Session {
    std::unique_ptr<shell::PhoneSession> session;
    int rc = kExitOk;
    [[nodiscard]] shell::PhoneSession& phone() { return *session; }
};

// The batch's title and percentage on stderr when it is a terminal.
shell::PhoneSessionOptions WithProgress(const Io& io, std::shared_ptr<bool> drawn)
{
    shell::PhoneSessionOptions options;
    options.text = Text;
    if (::isatty(::fileno(io.err)) != 1)
        return options;
    auto status = std::make_shared<std::string>();
    options.onStatus = [status](const std::string& text) { *status = text; };
    options.onProgress = [&io, status, drawn](int, const std::string& percent) {
        std::fprintf(io.err, "\r%s %s ", status->c_str(), percent.c_str());
        std::fflush(io.err);
        *drawn = true;
    };
    return options;
}

// Ends the progress line, if one was drawn.
void EndProgress(const Io& io, bool& drawn)
{
    if (drawn)
        std::fputc('\n', io.err);
    drawn = false;
}

Session ReadPhone(const Io& io, PhonebookStore& store, std::shared_ptr<bool> drawn)
{
    Session s;
    s.session = ConnectSession(io, WithProgress(io, drawn), s.rc);
    if (!s.session)
        return s;
    const std::string dir = WorkDir();
    const int result = s.phone().runBatch(ReadPlan(store, dir));
    EndProgress(io, *drawn);
    if (const int message = FinishRead(store, dir, result))
        s.rc = Fail(io, Text(message) + (result != shell::kBatchOk ? " (" + SessionFailure(s.phone()) + ")" : ""));
    return s;
}

// Runs the write-back of whatever the store holds pending.
int WriteBack(const Io& io, Session& s, PhonebookStore& store, WriteMode mode, bool& drawn)
{
    phonebook::WriteBack flow = PlanWriteBack(store, WorkDir(), mode);
    if (flow.status() == phonebook::WriteBack::OverCapacity)
        return Fail(io, Text(flow.capacityMessage()));
    if (flow.status() == phonebook::WriteBack::Nothing)
        return kExitOk;
    const int result = s.phone().runBatch(flow.takePlan());
    EndProgress(io, drawn);
    const int message = FinishWriteBack(flow, result);
    if (result != shell::kBatchOk)
        return Fail(io, Text(message) + " (" + SessionFailure(s.phone()) + ")");
    std::fprintf(io.err, "%s\n", Text(message).c_str());
    return kExitOk;
}

// What a write-back would send, one line per change.
void PrintPlan(const Io& io, PhonebookStore& store)
{
    if (store.overCapacity()) {
        std::fprintf(io.out, "%s\n", Text(res::IDS_MORE_ENTRIES_THAN_PHONE).c_str());
        return;
    }
    for (const SyncOp& op : store.planWriteBack()) {
        const char* verb = op.kind == SyncOp::Add ? "add" : op.kind == SyncOp::Modify ? "modify" : "delete";
        std::string name;
        if (const ContactRecord* r = store.find(op.key))
            name = "\t" + PcToUtf8(DisplayName(*r));
        std::fprintf(io.out, "%s\t%s%s\n", verb, SlotName(op.memory, op.slot).c_str(), name.c_str());
    }
}

// ------------------------------------------------------------- entries

// "sim:N", "handset:N" or an exact name (UTF-8).
std::optional<ContactKey> FindEntry(const Io& io, const PhonebookStore& store, const std::string& which)
{
    for (const auto& [prefix, memory] : {std::pair{"sim:", kMemorySim}, std::pair{"handset:", kMemoryHandset}}) {
        if (!which.starts_with(prefix))
            continue;
        const int slot = std::atoi(which.c_str() + std::strlen(prefix));
        for (const auto& e : store.entries())
            if (e.memory == memory && e.slot == slot)
                return e.key;
        Fail(io, "no entry in " + which);
        return std::nullopt;
    }
    std::vector<const ContactItem*> found;
    for (const auto& e : store.entries())
        if (PcToUtf8(DisplayName(*e.record)) == which)
            found.push_back(&e);
    if (found.size() == 1)
        return found.front()->key;
    Fail(io,
         found.empty() ? "no entry is called " + which
                       : "several entries are called " + which + "; name one by its slot (" +
                 SlotName(found[0]->memory, found[0]->slot) + ", " + SlotName(found[1]->memory, found[1]->slot) + ")");
    return std::nullopt;
}

struct KindName {
    std::string_view name;
    int kind;
};
constexpr KindName kKinds[] = {
    {"number", 0}, {"mobile", 1},  {"home", 2},    {"office", 3},   {"fax", 4},   {"other", 5},
    {"email", 6},  {"company", 7}, {"address", 8}, {"postcode", 9}, {"note", 10}, {"birthday", 11},
};

constexpr OptionSpec kEntryOptions[] = {
    {"sim", false},    {"handset", false}, {"name", true}, {"number", true},   {"email", true}, {"company", true},
    {"address", true}, {"postcode", true}, {"note", true}, {"birthday", true}, {"group", true}, {"default", true},
};

// The values of a list option: "--number mobile:138...,home:021...".
std::vector<std::string> Values(const Args& a, std::string_view name)
{
    std::vector<std::string> v;
    const auto all = a.Get(name);
    if (!all)
        return v;
    size_t from = 0;
    while (from <= all->size()) {
        const size_t comma = std::min(all->find(',', from), all->size());
        v.push_back(all->substr(from, comma - from));
        from = comma + 1;
    }
    return v;
}

// A rule's refusal in words.
int Refused(const Io& io, const EditCheck& c)
{
    std::string t = c.message == res::IDS_ALL_D_NUMBER_FIELDS ? WithNumber(c.message, kNumberCount) : Text(c.message);
    if (c.kind >= 0)
        t = Text(KindLabel(c.kind)) + t;
    return Fail(io, t);
}

// Applies the options to a record (a new entry, or a copy of the one being
// edited). Returns kExitOk, or the failure already reported.
int ApplyOptions(const Io& io, const Args& a, ContactRecord& r, bool editing)
{
    uint8_t memory = r.memory;
    if (a.Has("sim") && a.Has("handset"))
        return Fail(io, "--sim and --handset exclude each other"), kExitUsage;
    if (a.Has("sim"))
        memory = kMemorySim;
    if (a.Has("handset"))
        memory = kMemoryHandset;
    if (memory != r.memory)
        r = memory == kMemorySim ? ToSim(r) : ToHandset(r);
    for (const char* typed : {"name", "email", "company", "address", "postcode", "note", "birthday"})
        if (const auto v = a.Get(typed); v && !CheckTypedText(*v))
            return Refused(io, CheckTypedText(*v));
    const std::string name = a.Get("name") ? Utf8ToPc(*a.Get("name")) : DisplayName(r);
    const size_t limit = memory == kMemorySim ? kSimNameChars : kHandsetNameChars;
    if (name.size() > limit)
        return Fail(io, Text(res::IDS_FIELD_NAME) + ": at most " + std::to_string(limit) + " bytes");
    const auto numbers = Values(a, "number");

    if (memory == kMemorySim) {
        const std::string number = !numbers.empty() ? numbers.back() : GetText(r, Field::SimNumber);
        if (const EditCheck c = CheckFirstStep(kMemorySim, name, number); !c)
            return Refused(io, c);
        r = NewSimRecord(name, number);
        return kExitOk;
    }
    if (const EditCheck c = CheckFirstStep(kMemoryHandset, name, {}); !c)
        return Refused(io, c);
    (void)SetText(r, Field::Name, name);
    if (const auto g = a.Get("group")) {
        const int group = std::atoi(g->c_str());
        if (group < 0 || group >= kGroupCount || !OnlyFrom(*g, kDigits) || g->empty())
            return Fail(io, "--group takes 0 to 5"), kExitUsage;
        r.group = static_cast<uint8_t>(group);
    }
    // Numbers given replace the entry's numbers.
    if (!numbers.empty() && editing)
        for (int i = 0; i < kNumberCount; ++i)
            ClearNumber(r, i);
    for (const std::string& n : numbers) {
        int kind = 0;
        std::string digits = n;
        if (const size_t colon = n.find(':'); colon != std::string::npos) {
            kind = -1;
            for (const KindName& k : kKinds)
                if (k.kind < kKindFirstDetail && n.compare(0, colon, k.name) == 0)
                    kind = k.kind;
            if (kind < 0)
                return Fail(io, "unknown kind of number in " + n + " (number, mobile, home, office, fax, other)"),
                       kExitUsage;
            digits = n.substr(colon + 1);
        }
        if (const EditCheck c = AddField(r, kind, digits); !c)
            return Refused(io, c);
    }
    for (const KindName& k : kKinds) {
        if (k.kind < kKindFirstDetail)
            continue;
        const auto v = a.Get(k.name);
        if (!v)
            continue;
        (void)SetText(r, DetailField(k.kind), {});
        if (v->empty())
            continue;  // an empty value clears the field
        const std::string pc = Utf8ToPc(*v);
        if (pc.size() > KindLimit(k.kind))
            return Fail(io, Text(KindLabel(k.kind)) + ": at most " + std::to_string(KindLimit(k.kind)) + " bytes");
        if (const EditCheck c = AddField(r, k.kind, pc); !c)
            return Refused(io, c);
    }
    if (const auto d = a.Get("default")) {
        const int n = std::atoi(d->c_str());
        if (const EditCheck c = MakeDefault(r, {0, n - 1}); !c)
            return Refused(io, c);
    }
    if (const EditCheck c = CheckFields(r); !c)
        return Refused(io, c);
    NormaliseDefault(r);
    return kExitOk;
}

// ------------------------------------------------------------- commands

int List(const Args& a, const Io& io)
{
    const std::string format = a.Get("format").value_or("table");
    if (format != "table" && format != "csv" && format != "vcard")
        return Fail(io, "--format takes table, csv or vcard"), kExitUsage;
    PhonebookStore store;
    auto drawn = std::make_shared<bool>(false);
    Session s = ReadPhone(io, store, drawn);
    if (s.rc != kExitOk)
        return s.rc;
    std::vector<const ContactRecord*> records;
    for (const auto& e : store.entries())
        records.push_back(e.record.get());
    if (format == "csv") {
        std::fputs(PcToUtf8(EncodeCsv(records, CsvCaptions(kText))).c_str(), io.out);
    } else if (format == "vcard") {
        std::fputs(EncodeVcards(records, kText).c_str(), io.out);
    } else {
        for (const auto& e : store.entries())
            std::fprintf(io.out, "%s\t%s\t%s\t%s\n", SlotName(e.memory, e.slot).c_str(),
                         PcToUtf8(DisplayName(*e.record)).c_str(),
                         e.memory == kMemorySim ? "" : Text(GroupLabel(e.record->group)).c_str(),
                         DetailsText(*e.record, kText).c_str());
    }
    return kExitOk;
}

int Export(const Args& a, const Io& io)
{
    const std::string path = a.positional[0];
    if (KindOfPath(path) == FileKind::Unknown)
        return Fail(io, "the file's extension must be .phb, .csv or .vcf"), kExitUsage;
    PhonebookStore store;
    auto drawn = std::make_shared<bool>(false);
    Session s = ReadPhone(io, store, drawn);
    if (s.rc != kExitOk)
        return s.rc;
    if (const int failed = ExportFile(store, path, kText))
        return Fail(io, Text(failed) + " (" + path + ")");
    std::fprintf(io.err, "%s (%zu)\n", Text(res::IDS_PHONEBOOK_SAVED).c_str(), store.entries().size());
    return kExitOk;
}

int Import(const Args& a, const Io& io)
{
    const std::string path = a.positional[0];
    if (KindOfPath(path) == FileKind::Unknown)
        return Fail(io, "the file's extension must be .phb, .csv or .vcf"), kExitUsage;
    const ReadOutcome file = ReadImportFile(path, kText, {});
    if (file.message)
        return Fail(io, Text(file.message) + " (" + path + ")");
    if (!file.result.notes.empty())
        std::fprintf(io.err, "%s\n%s", Text(res::IDS_PB_IMPORT_NOTES).c_str(),
                     DescribeNotes(file.result.notes, kText).c_str());
    PhonebookStore store;
    auto drawn = std::make_shared<bool>(false);
    Session s = ReadPhone(io, store, drawn);
    if (s.rc != kExitOk)
        return s.rc;
    ApplyImport(store, file.result, a.Has("replace"));
    if (a.Has("dry-run")) {
        PrintPlan(io, store);
        return kExitOk;
    }
    const int rc = WriteBack(io, s, store, WriteMode::Save, *drawn);
    if (rc == kExitOk)
        std::fprintf(io.err, "%s\n", WithNumber(res::IDS_PB_IMPORTED, long(file.result.records.size())).c_str());
    return rc;
}

int Add(const Args& a, const Io& io)
{
    if (!a.Get("name"))
        return Fail(io, Text(res::IDS_ENTER_NAME)), kExitUsage;
    ContactRecord r = a.Has("sim") ? NewSimRecord({}, {}) : NewHandsetRecord();
    if (const int rc = ApplyOptions(io, a, r, false); rc != kExitOk)
        return rc;
    PhonebookStore store;
    auto drawn = std::make_shared<bool>(false);
    Session s = ReadPhone(io, store, drawn);
    if (s.rc != kExitOk)
        return s.rc;
    const auto key = store.add(r);
    const ContactItem* item = key ? store.item(*key) : nullptr;
    if (const int rc = WriteBack(io, s, store, WriteMode::Save, *drawn); rc != kExitOk)
        return rc;
    std::fprintf(io.out, "%s\n", item ? SlotName(item->memory, item->slot).c_str() : "");
    return kExitOk;
}

int Edit(const Args& a, const Io& io)
{
    PhonebookStore store;
    auto drawn = std::make_shared<bool>(false);
    Session s = ReadPhone(io, store, drawn);
    if (s.rc != kExitOk)
        return s.rc;
    const auto key = FindEntry(io, store, a.positional[0]);
    if (!key)
        return kExitFailure;
    ContactRecord r = *store.find(*key);
    if (const int rc = ApplyOptions(io, a, r, true); rc != kExitOk)
        return rc;
    ContactKey now = *key;
    if (r.memory == store.item(*key)->memory) {
        (void)store.modify(*key, r);
    } else {
        (void)store.remove(*key);
        now = store.add(r).value_or(0);
    }
    if (const int rc = WriteBack(io, s, store, WriteMode::Save, *drawn); rc != kExitOk)
        return rc;
    if (const ContactItem* item = store.item(now))
        std::fprintf(io.out, "%s\n", SlotName(item->memory, item->slot).c_str());
    return kExitOk;
}

int Delete(const Args& a, const Io& io)
{
    PhonebookStore store;
    auto drawn = std::make_shared<bool>(false);
    Session s = ReadPhone(io, store, drawn);
    if (s.rc != kExitOk)
        return s.rc;
    const auto key = FindEntry(io, store, a.positional[0]);
    if (!key)
        return kExitFailure;
    (void)store.remove(*key);
    return WriteBack(io, s, store, WriteMode::Delete, *drawn);
}

int Usage(const Args&, const Io& io)
{
    PhonebookStore store;
    auto drawn = std::make_shared<bool>(false);
    Session s = ReadPhone(io, store, drawn);
    if (s.rc != kExitOk)
        return s.rc;
    const StoreCounts c = store.counts();
    for (const auto& [label, capacity, used] :
         {std::tuple{res::IDS_PB_MEMORY_SIM, store.simSlots().capacity(), c.sim},
          std::tuple{res::IDS_PB_MEMORY_HANDSET, store.handsetSlots().capacity(), c.handset}}) {
        const int percent = capacity > 0 ? used * 100 / capacity : 0;
        std::fprintf(io.out, "%s\t%d/%d\t%d%%\n", Text(label).c_str(), used, capacity, percent);
    }
    return kExitOk;
}

constexpr OptionSpec kListOptions[] = {{"format", true}};
constexpr OptionSpec kImportOptions[] = {{"replace", false}, {"dry-run", false}};

const Command kPhonebookCommands[] = {
    {"list",
     "read both memories and print them in the page's order",
     "[--format table|csv|vcard]",
     kListOptions,
     0,
     0,
     List,
     {}},
    {"export", "read the phonebook and write it to a .phb, .csv or .vcf file", "FILE", {}, 1, 1, Export, {}},
    {"import",
     "add a file's entries to the phone (--replace: instead of its entries)",
     "FILE [--replace] [--dry-run]",
     kImportOptions,
     1,
     1,
     Import,
     {}},
    {"add",
     "add an entry",
     "--name NAME [--sim|--handset] [--number [KIND:]DIGITS[,...]] [--email|--company|--address|--postcode|--note|"
     "--birthday TEXT] [--group 0-5] [--default N]",
     kEntryOptions,
     0,
     0,
     Add,
     {}},
    {"edit",
     "change an entry (ENTRY: sim:N, handset:N or its exact name)",
     "ENTRY [--name NAME] [--sim|--handset] [--number [KIND:]DIGITS[,...]] [--email ... --birthday TEXT] [--group 0-5] "
     "[--default N]",
     kEntryOptions,
     1,
     1,
     Edit,
     {}},
    {"delete", "delete an entry (ENTRY: sim:N, handset:N or its exact name)", "ENTRY", {}, 1, 1, Delete, {}},
    {"usage", "show how full the SIM and the handset's phonebook are", "", {}, 0, 0, Usage, {}},
};

}  // namespace

std::span<const Command> PhonebookCommands()
{
    return kPhonebookCommands;
}

}  // namespace telvane::cli
