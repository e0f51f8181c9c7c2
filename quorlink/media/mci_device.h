#pragma once
// CMciDevice, a generic media device, and CSequencer, the MIDI sequencer
// device (which also plays MP3 files when its type name is "MP3"). Each
// member sends one command to the media control interface (mci.h) with fixed
// flags and returns its error code (0 = success); nothing throws.
//
// A failed command is kept as the last error and, when reporting is on,
// shown through the error reporter: the GUI installs one that beeps and
// shows a warning box titled "MCI Error"; without one the text goes to
// stderr.
//
// Thread affinity: the thread that owns the object (the GUI thread).

#include "quorlink/media/mci.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quorlink::media {

// Shows an MCI error: its text ("Unknown Error" when it has none) and the
// title "MCI Error".
using MciErrorReporter = std::function<void(uint32_t code, const std::string& text, const std::string& title)>;

class CMciDevice {
public:
    // Device types.
    static constexpr uint32_t DevtypeVcr = 0x201;
    static constexpr uint32_t DevtypeVideodisc = 0x202;
    static constexpr uint32_t DevtypeOverlay = 0x203;
    static constexpr uint32_t DevtypeCdaudio = 0x204;
    static constexpr uint32_t DevtypeDat = 0x205;
    static constexpr uint32_t DevtypeScanner = 0x206;
    static constexpr uint32_t DevtypeAnimation = 0x207;
    static constexpr uint32_t DevtypeDigitalvideo = 0x208;
    static constexpr uint32_t DevtypeOther = 0x209;
    static constexpr uint32_t DevtypeWaveaudio = 0x20A;
    static constexpr uint32_t DevtypeSequencer = 0x20B;
    // Device capabilities items.
    static constexpr uint32_t GetdevcapsCanRecord = 1;
    static constexpr uint32_t GetdevcapsHasAudio = 2;
    static constexpr uint32_t GetdevcapsHasVideo = 3;
    static constexpr uint32_t GetdevcapsDeviceType = 4;
    static constexpr uint32_t GetdevcapsUsesFiles = 5;
    static constexpr uint32_t GetdevcapsCompoundDevice = 6;
    static constexpr uint32_t GetdevcapsCanEject = 7;
    static constexpr uint32_t GetdevcapsCanPlay = 8;
    static constexpr uint32_t GetdevcapsCanSave = 9;
    // Modes.
    static constexpr uint32_t ModeNotReady = 524;
    static constexpr uint32_t ModeStop = 525;
    static constexpr uint32_t ModePlay = 526;
    static constexpr uint32_t ModeRecord = 527;
    static constexpr uint32_t ModeSeek = 528;
    static constexpr uint32_t ModePause = 529;
    static constexpr uint32_t ModeOpen = 530;
    // Status items.
    static constexpr uint32_t StatusLength = 1;
    static constexpr uint32_t StatusPosition = 2;
    static constexpr uint32_t StatusNumberOfTracks = 3;
    static constexpr uint32_t StatusMode = 4;
    static constexpr uint32_t StatusMediaPresent = 5;
    static constexpr uint32_t StatusTimeFormat = 6;
    static constexpr uint32_t StatusReady = 7;
    static constexpr uint32_t StatusCurrentTrack = 8;
    static constexpr uint32_t StatusStart = 0x200;
    static constexpr uint32_t StatusTempo = 0x4002;
    static constexpr uint32_t StatusPort = 0x4003;
    static constexpr uint32_t StatusSlave = 0x4007;
    static constexpr uint32_t StatusMaster = 0x4008;
    static constexpr uint32_t StatusOffset = 0x4009;
    static constexpr uint32_t StatusDivisionType = 0x400A;
    // Time formats.
    static constexpr uint32_t FormatMilliseconds = 0;
    static constexpr uint32_t FormatSmpte24 = 4;
    static constexpr uint32_t FormatSmpte25 = 5;
    static constexpr uint32_t FormatSmpte30 = 6;
    static constexpr uint32_t FormatSmpte30drop = 7;
    static constexpr uint32_t FormatSongPtr = 0x4001;
    // Division types.
    static constexpr uint32_t DivPpqn = 0x4C0;
    static constexpr uint32_t DivSmpte24 = 0x4C1;
    static constexpr uint32_t DivSmpte25 = 0x4C2;
    static constexpr uint32_t DivSmpte30drop = 0x4C3;
    static constexpr uint32_t DivSmpte30 = 0x4C4;
    // Synchronisation.
    static constexpr uint32_t SeqFile = 0x4002;
    static constexpr uint32_t SeqMidi = 0x4003;
    static constexpr uint32_t SeqSmpte = 0x4004;
    static constexpr uint32_t SeqNone = 0xFFFD;
    static constexpr uint32_t MidiMapper = 0xFFFFFFFF;
    // Info items.
    static constexpr uint32_t InfoProduct = 0x100;
    static constexpr uint32_t InfoFile = 0x200;
    static constexpr uint32_t InfoName = 0x1000;
    static constexpr uint32_t InfoCopyright = 0x2000;

    CMciDevice() = default;
    // Does not close the device: CloseAll (or Close) ends it, so a device
    // may outlive the object that opened it.
    virtual ~CMciDevice() = default;
    CMciDevice(const CMciDevice&) = delete;
    CMciDevice& operator=(const CMciDevice&) = delete;

    virtual uint32_t Open(const std::string& deviceType, bool shareable = false);
    virtual uint32_t Open(uint32_t deviceTypeId, bool shareable = false);
    virtual uint32_t Close();
    // The item's value; 0 on error.
    virtual uint32_t GetStatus(uint32_t item);
    virtual uint32_t GetMode();
    // Copies the item's text into buffer (NUL-terminated, cut to length).
    virtual uint32_t GetInfo(uint32_t item, char* buffer, size_t length);
    // The capability's value (0 on error); with itemFlag the item flag is
    // sent as well.
    uint32_t GetDevCaps(uint32_t item, bool itemFlag = true);
    // Closes every open device; errors are always shown.
    static uint32_t CloseAll();

    void SetCallbackWnd(plat::WindowHandle window) { callbackWindow_ = window; }
    [[nodiscard]] plat::WindowHandle GetCallbackHwnd() const { return callbackWindow_; }
    void Attach(uint32_t deviceId) { deviceId_ = deviceId; }
    [[nodiscard]] uint32_t GetDeviceID() const { return deviceId_; }
    [[nodiscard]] uint32_t GetLastError() const { return lastError_; }
    void ReportErrors(bool on) { reportErrors_ = on ? 1 : 0; }

    static void SetErrorReporter(MciErrorReporter reporter);

protected:
    // Sends a command to this device, keeps and reports its error.
    uint32_t Send(mci::MciCommand& command);
    static uint32_t SendTo(uint32_t deviceId, mci::MciCommand& command, bool report, uint32_t* lastError);
    uint32_t Status(uint32_t flags, uint32_t item, uint32_t track = 0);

    uint32_t deviceId_ = 0;
    plat::WindowHandle callbackWindow_ = 0;
    uint32_t lastError_ = 0;
    uint32_t reportErrors_ = 0;
};

class CSequencer : public CMciDevice {
public:
    CSequencer() = default;
    // "MP3" switches the device to MP3 behaviour; anything else is MIDI.
    explicit CSequencer(std::string deviceTypeName) : deviceTypeName_(std::move(deviceTypeName)) { }

    void SetDeviceTypeName(std::string name) { deviceTypeName_ = std::move(name); }
    [[nodiscard]] const std::string& DeviceTypeName() const { return deviceTypeName_; }

    using CMciDevice::Open;
    // Opens a file: for "MP3" the device is chosen by the file, otherwise
    // the sequencer is opened with the file as its element.
    uint32_t Open(const std::string& file, bool shareable = false) override;

    uint32_t Play(bool notify = false);
    uint32_t Play(uint32_t from, uint32_t to, bool notify = false);
    uint32_t Stop();
    uint32_t Pause();
    uint32_t Resume();
    uint32_t Seek(uint32_t position, bool wait = true);
    uint32_t SeekToStart(bool wait = true);
    uint32_t SeekToEnd(bool wait = true);
    uint32_t Save(const std::string& file);
    uint32_t SetTimeFormat(uint32_t format);
    uint32_t SetPort(uint32_t port);
    uint32_t SetTempo(uint32_t tempo);
    uint32_t SetOffset(uint32_t offset);
    uint32_t SetMaster(uint32_t master);
    uint32_t SetSlave(uint32_t slave);
    uint32_t GetTimeFormatA();
    uint32_t GetCurrentPos();
    uint32_t GetCurrentTrack();
    uint32_t GetNumberOfTracks();
    uint32_t GetSongLength();
    uint32_t GetStartPos();
    uint32_t GetTempo();
    uint32_t GetPort();
    uint32_t GetOffset();
    uint32_t GetMaster();
    uint32_t GetSlave();
    uint32_t GetTrackPos(uint32_t track);
    uint32_t GetTrackLength(uint32_t track);
    uint32_t IsReady();

private:
    [[nodiscard]] bool isMp3() const { return deviceTypeName_ == "MP3"; }
    uint32_t Set(uint32_t flag, uint32_t value);

    std::string deviceTypeName_;
};

}  // namespace quorlink::media
