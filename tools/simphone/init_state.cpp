#include "init_state.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "flash_sample.h"
#include "media_gen.h"
#include "pdu.h"
#include "records.h"
#include "state.h"
#include "text.h"

namespace fs = std::filesystem;

namespace simphone {
namespace {

// Deterministic on every platform (std distributions are not).
class Rng {
public:
    explicit Rng(uint32_t seed) : g_(seed) { }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(g_() % n); }
    template <typename T, size_t N>
    const T& pick(const T (&a)[N])
    {
        return a[below(N)];
    }

private:
    std::mt19937 g_;
};

const char16_t* const kChineseNames[] = {u"张伟", u"王芳", u"李娜", u"刘洋", u"陈静", u"杨帆",
                                         u"赵磊", u"黄敏", u"周杰", u"吴婷", u"徐明", u"孙丽"};
const char* const kGivenNames[] = {"Anna",  "Ben",  "Carla", "David", "Eva",  "Frank", "Grace",
                                   "Henry", "Ivy",  "Jack",  "Kate",  "Leo",  "Mia",   "Nick",
                                   "Olga",  "Paul", "Rosa",  "Sam",   "Tina", "Victor"};
const char* const kFamilyNames[] = {"Chen",   "Li",    "Wang",   "Zhang",  "Smith",
                                    "Muller", "Rossi", "Dubois", "Garcia", "Novak"};
const char* const kCompanies[] = {"Sunrise Trading", "Harbour Tech", "Golden Lotus Ltd", "City Hospital",
                                  "Blue River Bank"};
const char* const kStreets[] = {"12 Nanjing Road, Shanghai", "88 Jianguo Ave, Beijing", "5 Harbour St, Hong Kong",
                                "301 Tianhe Rd, Guangzhou"};

std::string Digits(Rng& r, const char* prefix, int n)
{
    std::string s = prefix;
    for (int i = 0; i < n; ++i)
        s.push_back(static_cast<char>('0' + r.below(10)));
    return s;
}

bool Write(const fs::path& p, std::span<const uint8_t> data, std::string& error)
{
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    if (!WriteFileBytes(p, data)) {
        error = "cannot write " + p.string();
        return false;
    }
    return true;
}

// ---- SIM ----

void FillSim(SimStore& sim, const PhoneConfig& cfg, Rng& r, std::string& error)
{
    for (int i = 1; i <= 30; ++i) {
        SimContact c;
        if (i % 4 == 0)
            c.name = kChineseNames[(i / 4) % std::size(kChineseNames)];
        else
            c.name = Utf8ToUcs2(std::string(r.pick(kGivenNames)) + " " +
                                std::string(r.pick(kFamilyNames)).substr(0, 1) + ".");
        c.number = (i % 5 == 0) ? Digits(r, "+86139", 8) : Digits(r, "138", 8);
        const int index = i <= 25 ? i : i + 10;  // a gap, as on a used SIM
        if (sim.writeContact(index, c) != 0)
            error = "SIM phonebook";
    }
    struct Msg {
        int stat;
        bool submit;
        const char16_t* text;
    };
    const Msg msgs[] = {
        {1, false, u"Meeting moved to 3pm, room 402."},
        {0, false, u"Your parcel is ready for pickup at the post office."},
        {1, false, u"明天见！"},
        {3, true, u"On my way, see you soon."},
        {2, true, u"Draft: remember to buy milk"},
    };
    int minute = 0;
    for (const auto& m : msgs) {
        SmsMessage s;
        s.submit = m.submit;
        s.smsc = cfg.smsc;
        s.address = Digits(r, "+86138", 8);
        s.text = m.text;
        s.dcs = FitsGsm7(s.text) ? 0 : 8;
        s.time = {4, 10, 11, 9, minute += 7, 30, 32};
        auto pdu = EncodePdu(s, nullptr);
        if (!pdu || sim.storeMessage({m.stat, *pdu}) == 0)
            error = "SIM messages";
    }
    // A long message received as two concatenated parts.
    SmsMessage whole;
    whole.smsc = cfg.smsc;
    whole.address = "+8613912345678";
    whole.time = {4, 10, 12, 18, 5, 0, 32};
    std::u16string text;
    for (int i = 0; i < 4; ++i)
        text += u"This is a long message that the network delivers in parts. ";
    whole.text = text;
    for (const auto& part : SplitForDelivery(whole, 0x42)) {
        auto pdu = EncodePdu(part, nullptr);
        if (!pdu || sim.storeMessage({1, *pdu}) == 0)
            error = "SIM concatenated message";
    }
}

// ---- handset phonebook ----

bool FillHandsetPhonebook(const PhoneFs& pfs, Rng& r, std::string& error)
{
    constexpr int kEntries = 60;
    std::vector<uint8_t> tab(kSmpbtabSize, 0xFF);
    const int files = (kEntries + 19) / 20;
    std::vector<std::vector<uint8_t>> recs(files, std::vector<uint8_t>(kRecordsPerSmpb * sizeof(PhonebookRecord), 0));
    for (int i = 0; i < kEntries; ++i) {
        const int slot = i + 1;
        PhonebookRecord rec{};
        std::string name;
        if (i % 6 == 5)
            name = Ucs2ToMixed(kChineseNames[i % std::size(kChineseNames)]);
        else
            name = std::string(r.pick(kGivenNames)) + " " + r.pick(kFamilyNames);
        PutText(rec.name, name);
        // Numbers of every kind across the book: kinds 1-5, some kind 0, some doubled.
        const int count = 1 + static_cast<int>(r.below(5));
        for (int n = 0; n < count; ++n) {
            const int kind = (i + n) % 6;
            const std::string number =
                kind == 3 ? Digits(r, "010", 8) : (kind == 4 ? Digits(r, "+86755", 8) : Digits(r, "139", 8));
            auto packed = PackDialString(number);
            std::copy(packed->begin(), packed->end(), rec.numbers[n].bcd);
            rec.numbers[n].kind = static_cast<uint8_t>(kind);
        }
        if (i % 3 == 0)
            PutText(rec.detail6, std::string(r.pick(kGivenNames)) + "." + std::to_string(i) + "\x80mail.example.com");
        if (i % 4 == 1)
            PutText(rec.detail7, r.pick(kCompanies));
        if (i % 5 == 2)
            PutText(rec.detail8, r.pick(kStreets));
        if (i % 7 == 3)
            PutText(rec.detail9, Digits(r, "", 6));
        if (i % 8 == 4) {
            PutText(rec.detail10, "Birthday");
            PutText(rec.detail11, Digits(r, "2004", 4));
        }
        rec.group = static_cast<uint8_t>(i % 6);
        if (i % 9 == 0 && rec.detail6[0]) {
            rec.defaultField = 6;
        } else {
            rec.defaultField = 11;
            rec.defaultNumber = static_cast<uint8_t>(1 + r.below(static_cast<uint32_t>(count)));
        }
        std::memcpy(recs[i / 20].data() + (i % 20) * sizeof(PhonebookRecord), &rec, sizeof rec);
        PhonebookTabEntry e{};
        PutBe16(e.slot, static_cast<uint16_t>(slot));
        PutBe16(e.position, static_cast<uint16_t>(i));
        std::memcpy(e.sortKey, rec.name, sizeof e.sortKey - 1);
        std::memcpy(tab.data() + i * sizeof e, &e, sizeof e);
    }
    if (!Write(pfs.app("dir/smpbtab"), tab, error))
        return false;
    for (int f = 0; f < files; ++f)
        if (!Write(pfs.app("dir/smpb" + std::to_string(f)), recs[f], error))
            return false;
    return true;
}

// ---- handset messages ----

bool FillHandsetMessages(const PhoneFs& pfs, Rng& r, std::string& error)
{
    const char* const inbox[] = {"Happy birthday! Have a great day.",   "Call me when you land.",
                                 "Dinner at 7? The usual place.",       "Your bill for October is 86.50 yuan.",
                                 "See you at the station, platform 3.", "Thanks for the photos!",
                                 "Can you send me the address?",        "Running 10 minutes late, sorry."};
    const char* const outbox[] = {"OK, see you there.", "I'll be home by 9.", "Got it, thanks!",
                                  "Please call back after 5pm."};
    int n = 0;
    auto when = [&] { return SmsTime{2004, 9 + n / 10, 1 + n % 28, 8 + n % 12, (n * 13) % 60, 0, 32}; };
    for (const char* t : inbox) {
        ++n;
        if (StoreHandsetMessage(pfs, n % 3 == 0 ? 3 : 1, Digits(r, "+86138", 8), {t}, when()) != 0)
            return error = "handset inbox", false;
    }
    if (StoreHandsetMessage(pfs, 3, Digits(r, "+86138", 8), {Ucs2ToMixed(u"周末一起去爬山吧")}, when()) != 0)
        return error = "handset inbox", false;
    for (const char* t : outbox) {
        ++n;
        if (StoreHandsetMessage(pfs, n % 2 ? 5 : 7, Digits(r, "139", 8), {t}, when()) != 0)
            return error = "handset outbox", false;
    }
    // Concatenated: a complete one of three parts, and one whose second part never arrived.
    const std::vector<std::string> story = {
        "Part one of the trip report: we reached the lake at noon and the weather was perfect for a long walk around ",
        "the shore. Part two: in the afternoon we rented a small boat and rowed out to the island, where we had tea ",
        "with the fishermen. Part three: we came back at sunset, tired but happy. Photos follow by MMS."};
    ++n;
    if (StoreHandsetMessage(pfs, 1, "+8613700001111", story, when()) != 0)
        return error = "handset concatenated", false;
    ++n;
    if (StoreHandsetMessage(pfs, 3, "+8613700002222",
                            {"The first part is here; ", "(lost)", "and this is the last part."}, when(),
                            {false, true, false}) != 0)
        return error = "handset concatenated", false;
    // Every table file exists, even when empty.
    (void)r;
    return true;
}

// The drafts directory: one unsent item, kept as the handset keeps items.
bool FillDrafts(const PhoneFs& pfs, std::string& error)
{
    SmsItem item{};
    PutBe32(item.date, PackDate(2004, 11, 2, 18, 40));
    PutText(item.text, "Remember to bring the photos on Sunday.");
    return Write(pfs.app("sms/dt/draft0"), std::span(reinterpret_cast<const uint8_t*>(&item), sizeof item), error);
}

// ---- media ----

// The handset keeps camera photos, clips and WAP/MMS items in parts of
// 20480 bytes: part 0 under the file's name, part i under name + "_" + i.
bool WriteInParts(const PhoneFs& pfs, const std::string& dir, const std::string& name, std::span<const uint8_t> bytes,
                  std::string& error)
{
    const size_t parts = std::max<size_t>(1, (bytes.size() + kClipPartSize - 1) / kClipPartSize);
    for (size_t i = 0; i < parts; ++i) {
        const std::string file = i == 0 ? name : name + "_" + std::to_string(i);
        const size_t off = i * kClipPartSize;
        const size_t len = std::min(kClipPartSize, bytes.size() - off);
        if (!Write(pfs.app(dir + "/" + file), bytes.subspan(off, len), error))
            return false;
    }
    return true;
}

bool FillSlots(const PhoneFs& pfs, Rng& r, std::string& error)
{
    std::vector<uint8_t> jpegIdx(kSlotCount * sizeof(SlotRecord), 0), midiIdx(kSlotCount * sizeof(SlotRecord), 0);
    const char* const pictureNames[] = {"Sunset", "Harbour", "Lotus", "Skyline", "Garden"};
    const char* const toneNames[] = {"Morning", "Cheerful", "Classic"};
    for (size_t k = 0; k < kSlotCount; ++k) {
        char file[16];
        SlotRecord p{}, m{};
        std::snprintf(file, sizeof file, "user%03zu.jpg", k);
        PutText(p.fileName, file);
        std::snprintf(file, sizeof file, "user%03zu.mid", k);
        PutText(m.fileName, file);
        if (k == 0 || k == 1 || k == 2 || k == 4) {
            auto jpeg = MakeJpeg(128, 160, r.below(1u << 30), 40);
            if (!jpeg)
                return error = "jpeg", false;
            char name[16];
            std::snprintf(name, sizeof name, "user%03zu.jpg", k);
            if (!Write(pfs.app("jpeg/" + EncodeFileName(name)), *jpeg, error))
                return false;
            PutBe32(p.size, static_cast<uint32_t>(jpeg->size()));
            PutText(p.displayName, pictureNames[k % std::size(pictureNames)]);
            p.used = 1;
            p.isPrivate = k == 4 ? 1 : 0;
        }
        if (k == 0 || k == 1 || k == 3) {
            auto midi = MakeMidi(r.below(1u << 30), 24 + static_cast<int>(k) * 8);
            char name[16];
            std::snprintf(name, sizeof name, "user%03zu.mid", k);
            if (!Write(pfs.app("midi/" + EncodeFileName(name)), midi, error))
                return false;
            PutBe32(m.size, static_cast<uint32_t>(midi.size()));
            PutText(m.displayName, toneNames[k % std::size(toneNames)]);
            m.used = 1;
        }
        std::memcpy(jpegIdx.data() + k * sizeof p, &p, sizeof p);
        std::memcpy(midiIdx.data() + k * sizeof m, &m, sizeof m);
    }
    return Write(pfs.app("jpeg/" + EncodeFileName("index")), jpegIdx, error) &&
        Write(pfs.app("midi/" + EncodeFileName("index")), midiIdx, error);
}

bool FillCamera(const PhoneFs& pfs, Rng& r, std::string& error)
{
    std::vector<uint8_t> idx(60 * sizeof(CameraRecord), 0);
    struct Shot {
        int w, h, res;
    };
    const Shot shots[] = {{128, 96, 0}, {128, 128, 1}, {320, 240, 2}, {128, 96, 0}, {320, 240, 2}, {640, 480, 3}};
    for (size_t i = 0; i < std::size(shots); ++i) {
        auto jpeg = MakeJpeg(shots[i].w, shots[i].h, r.below(1u << 30), 70);
        if (!jpeg)
            return error = "photo", false;
        char file[16], name[16];
        std::snprintf(file, sizeof file, "Photo%04zu.jpg", i + 1);
        std::snprintf(name, sizeof name, "Photo %zu", i + 1);
        if (!WriteInParts(pfs, "camera", file, *jpeg, error))
            return false;
        CameraRecord c{};
        PutBe16(c.number, static_cast<uint16_t>(i + 1));
        c.isPrivate = i == 3 ? 1 : 0;
        PutText(c.displayName, name);
        PutText(c.fileName, file);
        PutBe32(c.size, static_cast<uint32_t>(jpeg->size()));
        c.resolution = static_cast<uint8_t>(shots[i].res);
        PutBe32(c.date, PackDate(2004, 10, 11 + static_cast<int>(i), 9 + static_cast<int>(i), 15));
        std::memcpy(idx.data() + i * sizeof c, &c, sizeof c);
    }
    if (!Write(pfs.app("camera/cam.idx"), idx, error))
        return false;

    // Clips as the camera records them: the first long enough for several
    // 20480-byte parts, one at the larger QCIF size, one private.
    std::vector<uint8_t> video(10 * sizeof(VideoRecord), 0);
    const struct {
        int w, h, frames, intervalMs;
        const char* name;
        bool isPrivate;
    } clips[] = {{128, 96, 40, 200, "Lake walk", false},
                 {128, 96, 12, 250, "Birthday", false},
                 {176, 144, 16, 125, "Street", false},
                 {128, 96, 8, 200, "Diary", true}};
    for (int c = 0; c < static_cast<int>(std::size(clips)); ++c) {
        auto clip = MakeClip(clips[c].w, clips[c].h, clips[c].frames, clips[c].intervalMs, r.below(1u << 30));
        if (!clip)
            return error = "clip", false;
        char file[24];
        std::snprintf(file, sizeof file, "Video%02d", c);
        if (!WriteInParts(pfs, "camera", file, *clip, error))
            return false;
        VideoRecord v{};
        PutBe16(v.number, static_cast<uint16_t>(c + 1));
        PutText(v.name, clips[c].name);
        v.isPrivate = clips[c].isPrivate ? 1 : 0;
        PutBe32(v.size, static_cast<uint32_t>(clip->size()));
        PutBe32(v.seconds, static_cast<uint32_t>((clips[c].frames * clips[c].intervalMs + 999) / 1000));
        std::memcpy(video.data() + c * sizeof v, &v, sizeof v);
    }
    return Write(pfs.app("camera/VideoIndex"), video, error);
}

// WAP lists carry a trailer with their count; MMS lists are just records.
bool FillItems(const PhoneFs& pfs, Rng& r, std::string& error)
{
    struct Dir {
        const char* dir;
        bool wap;
        int images, sounds;
    };
    for (const Dir d : {Dir{"wp", true, 4, 2}, Dir{"mms", false, 3, 2}}) {
        std::vector<uint8_t> img(d.wap ? 3272 : d.images * sizeof(ItemRecord), 0);
        std::vector<uint8_t> aud(d.wap ? 1092 : d.sounds * sizeof(ItemRecord), 0);
        for (int i = 0; i < d.images; ++i) {
            // The second picture of each list is a photo large enough for two parts.
            const bool large = i == 1;
            auto jpeg =
                MakeJpeg(large ? 640 : (i % 2 ? 128 : 96), large ? 480 : (i % 2 ? 160 : 96), r.below(1u << 30), 65);
            if (!jpeg)
                return error = "item picture", false;
            char file[24], name[40];
            std::snprintf(file, sizeof file, "%simg%03d.jpg", d.wap ? "w" : "m", i + 1);
            std::snprintf(name, sizeof name, "%s picture %d", d.wap ? "WAP" : "MMS", i + 1);
            if (!WriteInParts(pfs, d.dir, file, *jpeg, error))
                return false;
            ItemRecord it{};
            PutText(it.fileName, file);
            PutText(it.displayName, name);
            it.isPrivate = i == 2 ? 1 : 0;
            PutBe32(it.size, static_cast<uint32_t>(jpeg->size()));
            std::memcpy(img.data() + i * sizeof it, &it, sizeof it);
        }
        for (int i = 0; i < d.sounds; ++i) {
            auto midi = MakeMidi(r.below(1u << 30), 16 + i * 8);
            char file[24], name[40];
            std::snprintf(file, sizeof file, "%saud%03d.mid", d.wap ? "w" : "m", i + 1);
            std::snprintf(name, sizeof name, "%s tune %d", d.wap ? "WAP" : "MMS", i + 1);
            if (!Write(pfs.app(std::string(d.dir) + "/" + file), midi, error))
                return false;
            ItemRecord it{};
            PutText(it.fileName, file);
            PutText(it.displayName, name);
            PutBe32(it.size, static_cast<uint32_t>(midi.size()));
            std::memcpy(aud.data() + i * sizeof it, &it, sizeof it);
        }
        int sounds = d.sounds;
        if (d.wap) {
            // A voice clip too long for one file: the phone keeps it in
            // 20480-byte parts f, f_1, f_2 (40961 bytes: three parts).
            std::vector<uint8_t> clip(40961);
            const char header[] = "#!AMR\n";
            std::memcpy(clip.data(), header, 6);
            for (size_t b = 6; b < clip.size(); ++b)
                clip[b] = static_cast<uint8_t>(r.below(256));
            const std::string file = "waud003.amr";
            if (!WriteInParts(pfs, "wp", file, clip, error))
                return false;
            ItemRecord it{};
            PutText(it.fileName, file);
            PutText(it.displayName, "WAP voice 3");
            PutBe32(it.size, static_cast<uint32_t>(clip.size()));
            std::memcpy(aud.data() + sounds * sizeof it, &it, sizeof it);
            ++sounds;
        }
        if (d.wap) {
            img[3270] = static_cast<uint8_t>(d.images);  // shown = byte 3270 - byte 3271
            img[3271] = 0;
            aud[1090] = static_cast<uint8_t>(sounds);
        }
        if (!Write(pfs.app(std::string(d.dir) + "/imgIndex.txt"), img, error) ||
            !Write(pfs.app(std::string(d.dir) + "/audIndex.txt"), aud, error))
            return false;
    }
    return true;
}

}  // namespace

bool InitState(const fs::path& dir, uint32_t seed, std::string& error)
{
    std::error_code ec;
    fs::remove_all(dir / "app", ec);
    fs::remove_all(dir / "sim", ec);
    for (const char* d :
         {"app/dir", "app/sms", "app/sms/dt", "app/jpeg", "app/midi", "app/camera", "app/wp", "app/mms", "sim"})
        if (!fs::create_directories(dir / d, ec) && ec)
            return error = "cannot create " + (dir / d).string(), false;
    Rng r(seed);
    PhoneConfig cfg;
    if (!cfg.save(dir))
        return error = "cannot write phone.conf", false;
    SimStore sim(dir);
    FillSim(sim, cfg, r, error);
    if (!error.empty())
        return false;
    const PhoneFs pfs(dir);
    if (!FillHandsetPhonebook(pfs, r, error) || !FillHandsetMessages(pfs, r, error) || !FillDrafts(pfs, error) ||
        !FillSlots(pfs, r, error) || !FillCamera(pfs, r, error) || !FillItems(pfs, r, error))
        return false;
    return WriteSampleFlash(dir, error);
}

}  // namespace simphone
