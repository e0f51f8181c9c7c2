#include "quorlink/media/mci.h"

#include "quorlink/media/sound_output.h"
#include "quorlink/media/sound_source.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorlink::media::mci {

namespace {

constexpr uint32_t kDevtypeSequencer = 0x20B;
constexpr uint32_t kDevtypeFirst = 0x201;
constexpr uint32_t kModeStop = 525;
constexpr uint32_t kModePlay = 526;
constexpr uint32_t kModePause = 529;
constexpr uint32_t kModeNotReady = 524;
constexpr uint32_t kMidiMapper = 0xFFFFFFFF;
constexpr uint32_t kSeqFile = 0x4002;
constexpr uint32_t kSeqNone = 0xFFFD;
constexpr size_t kPlayBlock = 1024;  // frames rendered per step of the playback thread

enum class Kind { Sequencer, Mp3 };

struct KindInfo {
    Kind kind;
    const char* typeName;
    const char* product;
};
constexpr std::array<KindInfo, 2> kKinds{{
    {Kind::Sequencer, "sequencer", "FluidSynth General MIDI sequencer"},
    {Kind::Mp3, "mpegvideo", "mpg123 MPEG audio player"},
}};

const KindInfo& InfoOf(Kind kind)
{
    return kKinds[kind == Kind::Sequencer ? 0 : 1];
}

// File extensions that choose a device when an element is opened without a type.
struct ExtensionRow {
    const char* extension;
    Kind kind;
};
constexpr ExtensionRow kExtensions[] = {
    {"mid", Kind::Sequencer}, {"midi", Kind::Sequencer}, {"rmi", Kind::Sequencer}, {"kar", Kind::Sequencer},
    {"mp3", Kind::Mp3},       {"mp2", Kind::Mp3},        {"mpa", Kind::Mp3},
};

struct Device {
    uint32_t id = 0;
    Kind kind = Kind::Sequencer;
    std::string element;
    uint32_t port = kMidiMapper;
    uint32_t slave = kSeqFile;
    uint32_t master = kSeqNone;
    uint32_t offset = 0;
    uint32_t tempoSet = 0;

    std::mutex m;
    std::condition_variable cv;
    std::unique_ptr<SoundSource> source;  // guarded by m while a thread plays
    std::thread thread;
    bool playing = false;
    bool paused = false;
    bool stopRequested = false;
    uint64_t endMs = 0;
    plat::WindowHandle notifyWindow = 0;  // 0: the play asked for no notification
};

std::mutex gRegistryMutex;
std::map<uint32_t, std::shared_ptr<Device>> gDevices;
uint32_t gNextId = 1;

std::shared_ptr<Device> Find(uint32_t id)
{
    std::lock_guard lock(gRegistryMutex);
    const auto it = gDevices.find(id);
    return it == gDevices.end() ? nullptr : it->second;
}

void Notify(plat::WindowHandle window, uint32_t flag, uint32_t deviceId)
{
    if (window)
        plat::PostMessage(window, MM_MCINOTIFY, flag, deviceId);
}

void PlaybackThread(Device* d, std::unique_ptr<SoundSink> sink)
{
    std::vector<int16_t> buf(kPlayBlock * 2);
    uint32_t outcome = MCI_NOTIFY_ABORTED;
    bool sinkPaused = false;
    for (;;) {
        std::unique_lock lock(d->m);
        while (d->paused && !d->stopRequested) {
            if (!sinkPaused) {
                sink->pause();
                sinkPaused = true;
            }
            d->cv.wait(lock);
        }
        if (d->stopRequested)
            break;
        if (sinkPaused) {
            sink->resume();
            sinkPaused = false;
        }
        buf.resize(kPlayBlock * size_t(d->source->channels()));
        // Up to the end point, not a block past it.
        size_t frames = 0;
        const uint64_t at = d->source->positionMs();
        if (at < d->endMs) {
            const uint64_t left = (d->endMs - at) * uint64_t(d->source->rate()) / 1000;
            frames = d->source->render(buf.data(), size_t(std::clamp<uint64_t>(left, 1, kPlayBlock)));
        }
        lock.unlock();
        if (frames == 0) {
            outcome = MCI_NOTIFY_SUCCESSFUL;
            break;
        }
        if (!sink->write(buf.data(), frames)) {
            outcome = MCI_NOTIFY_FAILURE;
            break;
        }
    }
    sink->finish(outcome == MCI_NOTIFY_SUCCESSFUL);
    plat::WindowHandle window;
    {
        std::lock_guard lock(d->m);
        d->playing = false;
        d->paused = false;
        window = d->notifyWindow;
        d->notifyWindow = 0;
    }
    Notify(window, outcome, d->id);
}

// Ends a play in progress (or reaps one that has ended by itself); the play
// that asked for notification and has not ended on its own hears `flag`.
void Halt(Device& d, uint32_t flag)
{
    plat::WindowHandle window;
    {
        std::lock_guard lock(d.m);
        window = d.notifyWindow;
        d.notifyWindow = 0;
        d.stopRequested = true;
    }
    d.cv.notify_all();
    if (d.thread.joinable())
        d.thread.join();
    {
        std::lock_guard lock(d.m);
        d.stopRequested = false;
        d.playing = false;
        d.paused = false;
    }
    Notify(window, flag, d.id);
}

bool EndsWith(const std::string& path, const char* extension, size_t& dot)
{
    dot = path.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(uint8_t(c)));
    return ext == extension;
}

uint32_t OpenDevice(MciCommand& c)
{
    Kind kind = Kind::Sequencer;
    if (c.flags & MCI_OPEN_TYPE_ID) {
        if (c.deviceTypeId != kDevtypeSequencer)
            return c.deviceTypeId >= kDevtypeFirst && c.deviceTypeId < kDevtypeSequencer ? MCIERR_CANNOT_LOAD_DRIVER
                                                                                         : MCIERR_INVALID_DEVICE_NAME;
    } else if (c.flags & MCI_OPEN_TYPE) {
        std::string name = c.deviceType;
        for (char& ch : name)
            ch = char(std::tolower(uint8_t(ch)));
        const auto it =
            std::find_if(kKinds.begin(), kKinds.end(), [&](const KindInfo& k) { return name == k.typeName; });
        if (it == kKinds.end())
            return name == "waveaudio" || name == "cdaudio" ? MCIERR_CANNOT_LOAD_DRIVER : MCIERR_INVALID_DEVICE_NAME;
        kind = it->kind;
    } else if (c.flags & MCI_OPEN_ELEMENT) {
        const auto it = std::find_if(std::begin(kExtensions), std::end(kExtensions), [&](const ExtensionRow& row) {
            size_t dot;
            return EndsWith(c.element, row.extension, dot);
        });
        if (it == std::end(kExtensions))
            return MCIERR_EXTENSION_NOT_FOUND;
        kind = it->kind;
    } else {
        return MCIERR_DEVICE_TYPE_REQUIRED;
    }

    auto d = std::make_shared<Device>();
    d->kind = kind;
    if (c.flags & MCI_OPEN_ELEMENT) {
        SourceOpen open = kind == Kind::Sequencer ? OpenMidiSource(c.element) : OpenMp3Source(c.element);
        switch (open.error) {
        case SourceError::None: break;
        case SourceError::FileNotFound: return MCIERR_FILE_NOT_FOUND;
        case SourceError::InvalidFile: return MCIERR_INVALID_FILE;
        case SourceError::NoSynthesizer:
            return kind == Kind::Sequencer ? MCIERR_SEQ_NOMIDIPRESENT : MCIERR_CANNOT_LOAD_DRIVER;
        }
        d->source = std::move(open.source);
        d->element = c.element;
    }
    std::lock_guard lock(gRegistryMutex);
    d->id = gNextId++;
    if (gNextId >= MCI_ALL_DEVICE_ID)
        gNextId = 1;
    gDevices[d->id] = d;
    c.deviceId = d->id;
    return 0;
}

uint32_t CloseDevice(uint32_t id)
{
    std::shared_ptr<Device> d;
    {
        std::lock_guard lock(gRegistryMutex);
        const auto it = gDevices.find(id);
        if (it == gDevices.end())
            return MCIERR_INVALID_DEVICE_ID;
        d = it->second;
        gDevices.erase(it);
    }
    Halt(*d, MCI_NOTIFY_ABORTED);
    return 0;
}

uint32_t Play(Device& d, MciCommand& c)
{
    if (!d.source)
        return MCIERR_DEVICE_NOT_READY;
    const uint64_t length = d.source->lengthMs();
    if (((c.flags & MCI_FROM) && c.from > length) || ((c.flags & MCI_TO) && c.to > length))
        return MCIERR_OUTOFRANGE;
    if ((c.flags & MCI_FROM) && (c.flags & MCI_TO) && c.to < c.from)
        return MCIERR_OUTOFRANGE;
    Halt(d, MCI_NOTIFY_SUPERSEDED);

    std::string why;
    auto sink = OpenSoundSink(CurrentSoundOutput(), why);
    if (!sink || !sink->start(d.source->rate(), d.source->channels()))
        return MCIERR_HARDWARE;
    if (c.flags & MCI_FROM)
        d.source->seekMs(c.from);
    std::lock_guard lock(d.m);
    d.endMs = (c.flags & MCI_TO) ? c.to : length;
    d.notifyWindow = (c.flags & MCI_NOTIFY) ? c.callback : 0;
    d.playing = true;
    d.paused = false;
    d.thread = std::thread(PlaybackThread, &d, std::move(sink));
    return 0;
}

uint32_t Seek(Device& d, const MciCommand& c)
{
    if (!d.source)
        return MCIERR_DEVICE_NOT_READY;
    const uint32_t target = c.flags & (MCI_SEEK_TO_START | MCI_SEEK_TO_END | MCI_TO);
    if (target != MCI_SEEK_TO_START && target != MCI_SEEK_TO_END && target != MCI_TO)
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    const uint64_t length = d.source->lengthMs();
    if (target == MCI_TO && c.to > length)
        return MCIERR_OUTOFRANGE;
    Halt(d, MCI_NOTIFY_ABORTED);  // seeking stops a play, as on a tape deck
    d.source->seekMs(target == MCI_SEEK_TO_START ? 0 : target == MCI_SEEK_TO_END ? length : c.to);
    return 0;
}

uint32_t Status(Device& d, MciCommand& c)
{
    if (!(c.flags & MCI_STATUS_ITEM))
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    std::lock_guard lock(d.m);
    const bool hasSource = d.source != nullptr;
    if ((c.flags & MCI_TRACK) && c.track != 1)
        return MCIERR_OUTOFRANGE;
    switch (c.item) {
    case MCI_STATUS_MODE:
        c.returnValue = !hasSource ? kModeNotReady : d.paused ? kModePause : d.playing ? kModePlay : kModeStop;
        return 0;
    case MCI_STATUS_READY: c.returnValue = 1; return 0;
    case MCI_STATUS_MEDIA_PRESENT: c.returnValue = hasSource ? 1 : 0; return 0;
    case MCI_STATUS_TIME_FORMAT: c.returnValue = 0; return 0;
    case MCI_STATUS_CURRENT_TRACK:
    case MCI_STATUS_NUMBER_OF_TRACKS: c.returnValue = 1; return 0;
    case 0x4003:  // port
        c.returnValue = d.port;
        return 0;
    case 0x4007:  // slave
        c.returnValue = d.slave;
        return 0;
    case 0x4008:  // master
        c.returnValue = d.master;
        return 0;
    case 0x4009:  // offset
        c.returnValue = d.offset;
        return 0;
    default: break;
    }
    if (!hasSource)
        return MCIERR_DEVICE_NOT_READY;
    switch (c.item) {
    case MCI_STATUS_LENGTH: c.returnValue = uint32_t(d.source->lengthMs()); return 0;
    case MCI_STATUS_POSITION:
        c.returnValue = (c.flags & (MCI_STATUS_START | MCI_TRACK)) ? 0 : uint32_t(d.source->positionMs());
        return 0;
    case 0x4002:  // tempo
        if (d.kind != Kind::Sequencer)
            return MCIERR_UNSUPPORTED_FUNCTION;
        c.returnValue = d.source->tempoBpm();
        return 0;
    case 0x400A: {  // division type
        if (d.kind != Kind::Sequencer)
            return MCIERR_UNSUPPORTED_FUNCTION;
        static constexpr struct {
            int fps;
            uint32_t type;
        } kDivisions[] = {{0, 0x4C0}, {24, 0x4C1}, {25, 0x4C2}, {29, 0x4C3}, {30, 0x4C4}};
        const int fps = d.source->smpteFps();
        c.returnValue = 0x4C0;
        for (const auto& row : kDivisions)
            if (row.fps == fps)
                c.returnValue = row.type;
        return 0;
    }
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

uint32_t Set(Device& d, const MciCommand& c)
{
    const uint32_t what = c.flags & ~(MCI_NOTIFY | MCI_WAIT);
    switch (what) {
    case MCI_SET_TIME_FORMAT: return c.value == 0 ? 0 : MCIERR_BAD_TIME_FORMAT;  // milliseconds only
    case MCI_SEQ_SET_PORT:
        if (d.kind != Kind::Sequencer)
            return MCIERR_UNSUPPORTED_FUNCTION;
        if (c.value != kMidiMapper && c.value != 0)
            return MCIERR_SEQ_PORT_NONEXISTENT;
        d.port = c.value;
        return 0;
    case MCI_SEQ_SET_TEMPO: {
        if (d.kind != Kind::Sequencer || !d.source)
            return d.source ? MCIERR_UNSUPPORTED_FUNCTION : MCIERR_DEVICE_NOT_READY;
        if (c.value == 0)
            return MCIERR_OUTOFRANGE;
        // The new tempo scales the song's own: playing runs that much faster.
        std::lock_guard lock(d.m);
        d.source->setSpeed(1.0);
        const uint32_t own = d.source->tempoBpm();
        d.source->setSpeed(double(c.value) / (own ? own : 120));
        d.tempoSet = c.value;
        return 0;
    }
    case MCI_SEQ_SET_SLAVE:
        // Only the file itself (or nothing) can drive the sequencer: there is no MIDI or SMPTE input.
        if (c.value != kSeqFile && c.value != kSeqNone)
            return MCIERR_UNSUPPORTED_FUNCTION;
        d.slave = c.value;
        return 0;
    case MCI_SEQ_SET_MASTER:
        if (c.value != kSeqNone)
            return MCIERR_UNSUPPORTED_FUNCTION;
        d.master = c.value;
        return 0;
    case MCI_SEQ_SET_OFFSET: d.offset = c.value; return 0;
    default: return MCIERR_FLAGS_NOT_COMPATIBLE;
    }
}

uint32_t Info(Device& d, MciCommand& c)
{
    switch (c.flags & ~(MCI_NOTIFY | MCI_WAIT)) {
    case 0x100: c.text = InfoOf(d.kind).product; return 0;
    case 0x200: c.text = d.element; return 0;
    case 0x1000: c.text = InfoOf(d.kind).typeName; return 0;
    case 0x2000: {
        std::lock_guard lock(d.m);
        c.text = d.source ? d.source->copyright() : std::string();
        return 0;
    }
    default: return MCIERR_FLAGS_NOT_COMPATIBLE;
    }
}

uint32_t DevCaps(Device& d, MciCommand& c)
{
    if (!(c.flags & MCI_GETDEVCAPS_ITEM))
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    // can record, has audio, has video, device type, uses files, compound, can eject, can play, can save
    const std::array<uint32_t, 9> caps{0, 1, 0, d.kind == Kind::Sequencer ? kDevtypeSequencer : 0x208, 1, 1, 0, 1, 0};
    if (c.item < 1 || c.item > caps.size())
        return MCIERR_UNSUPPORTED_FUNCTION;
    c.returnValue = caps[c.item - 1];
    return 0;
}

struct ErrorRow {
    uint32_t code;
    const char* text;
};
constexpr ErrorRow kErrors[] = {
    {MCIERR_INVALID_DEVICE_ID, "Invalid MCI device ID. Use the ID returned when opening the MCI device."},
    {MCIERR_UNRECOGNIZED_COMMAND, "The driver cannot recognize the specified command."},
    {MCIERR_HARDWARE, "There is a problem with your media device. Make sure it is working correctly."},
    {MCIERR_INVALID_DEVICE_NAME, "The specified device is not open or is not recognized by MCI."},
    {MCIERR_CANNOT_LOAD_DRIVER, "The specified device driver could not be loaded."},
    {MCIERR_UNSUPPORTED_FUNCTION, "The MCI device driver does not support this command."},
    {MCIERR_FILE_NOT_FOUND, "Cannot find the specified file. Make sure the path and filename are correct."},
    {MCIERR_DEVICE_NOT_READY, "The device is not ready."},
    {MCIERR_INTERNAL, "A problem occurred in initializing MCI."},
    {MCIERR_EXTENSION_NOT_FOUND, "The specified extension has no device type associated with it."},
    {MCIERR_OUTOFRANGE, "The specified parameter is out of range for the specified command."},
    {MCIERR_FLAGS_NOT_COMPATIBLE, "The specified parameters cannot be used together."},
    {MCIERR_DEVICE_TYPE_REQUIRED, "The specified device cannot be found. Make sure it is installed."},
    {MCIERR_BAD_TIME_FORMAT, "The specified time format is invalid."},
    {MCIERR_INVALID_FILE,
     "The specified file cannot be played on the specified MCI device. The file may be "
     "corrupt or not in the correct format."},
    {MCIERR_NULL_PARAMETER_BLOCK, "A null parameter block was passed to MCI."},
    {MCIERR_SEQ_PORT_NONEXISTENT, "The specified MIDI device is not installed on the system."},
    {MCIERR_SEQ_NOMIDIPRESENT, "There are no MIDI devices installed on the system."},
};

}  // namespace

bool MciErrorText(uint32_t code, std::string& text)
{
    for (const ErrorRow& row : kErrors)
        if (row.code == code) {
            text = row.text;
            return true;
        }
    return false;
}

uint32_t SendCommand(uint32_t deviceId, MciCommand& c)
{
    if (c.command == MCI_OPEN)
        return OpenDevice(c);
    if (c.command == MCI_CLOSE && deviceId == MCI_ALL_DEVICE_ID) {
        std::vector<uint32_t> ids;
        {
            std::lock_guard lock(gRegistryMutex);
            for (const auto& [id, device] : gDevices)
                ids.push_back(id);
        }
        for (uint32_t id : ids)
            (void)CloseDevice(id);
        return 0;
    }
    const std::shared_ptr<Device> d = Find(deviceId);
    if (!d)
        return MCIERR_INVALID_DEVICE_ID;
    uint32_t rc = 0;
    switch (c.command) {
    case MCI_CLOSE: rc = CloseDevice(deviceId); break;
    case MCI_PLAY: return Play(*d, c);  // notifies when the play ends
    case MCI_STOP: Halt(*d, MCI_NOTIFY_ABORTED); break;
    case MCI_PAUSE:
    case MCI_RESUME: {
        std::lock_guard lock(d->m);
        if (!d->source)
            return MCIERR_DEVICE_NOT_READY;
        if (d->playing)
            d->paused = c.command == MCI_PAUSE;
        d->cv.notify_all();
        break;
    }
    case MCI_SEEK: rc = Seek(*d, c); break;
    case MCI_STATUS: return Status(*d, c);
    case MCI_SET: rc = Set(*d, c); break;
    case MCI_INFO: return Info(*d, c);
    case MCI_GETDEVCAPS: return DevCaps(*d, c);
    case MCI_SAVE: return MCIERR_UNSUPPORTED_FUNCTION;  // neither device writes its media
    default: return MCIERR_UNRECOGNIZED_COMMAND;
    }
    if (rc == 0 && (c.flags & MCI_NOTIFY))
        Notify(c.callback, MCI_NOTIFY_SUCCESSFUL, deviceId);
    return rc;
}

}  // namespace quorlink::media::mci
