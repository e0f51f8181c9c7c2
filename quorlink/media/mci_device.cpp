#include "quorlink/media/mci_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace quorlink::media {

using namespace mci;

namespace {

std::mutex gReporterMutex;
MciErrorReporter gReporter;

void Report(uint32_t code)
{
    std::string text;
    if (!MciErrorText(code, text))
        text = "Unknown Error";
    MciErrorReporter reporter;
    {
        std::lock_guard lock(gReporterMutex);
        reporter = gReporter;
    }
    if (reporter)
        reporter(code, text, "MCI Error");
    else
        std::fprintf(stderr, "MCI Error: %s\n", text.c_str());
}

MciCommand Command(uint32_t command, uint32_t flags)
{
    MciCommand c;
    c.command = command;
    c.flags = flags;
    return c;
}

}  // namespace

void CMciDevice::SetErrorReporter(MciErrorReporter reporter)
{
    std::lock_guard lock(gReporterMutex);
    gReporter = std::move(reporter);
}

uint32_t CMciDevice::SendTo(uint32_t deviceId, MciCommand& command, bool report, uint32_t* lastError)
{
    const uint32_t rc = SendCommand(deviceId, command);
    if (rc != 0) {
        if (lastError)
            *lastError = rc;
        if (report)
            Report(rc);
    }
    return rc;
}

uint32_t CMciDevice::Send(MciCommand& command)
{
    return SendTo(deviceId_, command, reportErrors_ != 0, &lastError_);
}

uint32_t CMciDevice::Open(const std::string& deviceType, bool shareable)
{
    MciCommand c = Command(MCI_OPEN, MCI_OPEN_TYPE | MCI_WAIT | (shareable ? MCI_OPEN_SHAREABLE : 0));
    c.deviceType = deviceType;
    const uint32_t rc = Send(c);
    if (rc == 0)
        deviceId_ = c.deviceId;
    return rc;
}

uint32_t CMciDevice::Open(uint32_t deviceTypeId, bool shareable)
{
    MciCommand c =
        Command(MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_WAIT | (shareable ? MCI_OPEN_SHAREABLE : 0));
    c.deviceTypeId = deviceTypeId;
    const uint32_t rc = Send(c);
    if (rc == 0)
        deviceId_ = c.deviceId;
    return rc;
}

uint32_t CMciDevice::Close()
{
    MciCommand c = Command(MCI_CLOSE, 0);
    c.callback = callbackWindow_;
    return Send(c);
}

uint32_t CMciDevice::CloseAll()
{
    MciCommand c = Command(MCI_CLOSE, MCI_WAIT);
    return SendTo(MCI_ALL_DEVICE_ID, c, true, nullptr);
}

uint32_t CMciDevice::Status(uint32_t flags, uint32_t item, uint32_t track)
{
    MciCommand c = Command(MCI_STATUS, MCI_STATUS_ITEM | flags);
    c.item = item;
    c.track = track;
    return Send(c) == 0 ? c.returnValue : 0;
}

uint32_t CMciDevice::GetStatus(uint32_t item)
{
    return Status(0, item);
}

uint32_t CMciDevice::GetMode()
{
    return Status(0, MCI_STATUS_MODE);
}

uint32_t CMciDevice::GetInfo(uint32_t item, char* buffer, size_t length)
{
    MciCommand c = Command(MCI_INFO, item);
    const uint32_t rc = Send(c);
    if (buffer && length > 0) {
        const size_t n = rc == 0 ? std::min(c.text.size(), length - 1) : 0;
        std::memcpy(buffer, c.text.data(), n);
        buffer[n] = '\0';
    }
    return rc;
}

uint32_t CMciDevice::GetDevCaps(uint32_t item, bool itemFlag)
{
    MciCommand c = Command(MCI_GETDEVCAPS, itemFlag ? MCI_GETDEVCAPS_ITEM : 0);
    c.item = item;
    return Send(c) == 0 ? c.returnValue : 0;
}

uint32_t CSequencer::Open(const std::string& file, bool shareable)
{
    const uint32_t share = shareable ? MCI_OPEN_SHAREABLE : 0;
    MciCommand c;
    if (isMp3()) {
        c = Command(MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT | share);
    } else {
        c = Command(MCI_OPEN, MCI_OPEN_ELEMENT | MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_WAIT | share);
        c.deviceTypeId = DevtypeSequencer;
    }
    c.element = file;
    const uint32_t rc = Send(c);
    if (rc == 0)
        deviceId_ = c.deviceId;
    return rc;
}

uint32_t CSequencer::Play(bool notify)
{
    MciCommand c = Command(MCI_PLAY, isMp3() || notify ? MCI_NOTIFY : 0);
    c.callback = callbackWindow_;
    return Send(c);
}

uint32_t CSequencer::Play(uint32_t from, uint32_t to, bool notify)
{
    MciCommand c = Command(MCI_PLAY, MCI_FROM | MCI_TO | (notify ? MCI_NOTIFY : 0));
    c.from = from;
    c.to = to;
    c.callback = callbackWindow_;
    return Send(c);
}

uint32_t CSequencer::Stop()
{
    MciCommand c = Command(MCI_STOP, isMp3() ? MCI_NOTIFY | MCI_WAIT : 0);
    c.callback = callbackWindow_;
    return Send(c);
}

uint32_t CSequencer::Pause()
{
    MciCommand c = Command(MCI_PAUSE, 0);
    return Send(c);
}

uint32_t CSequencer::Resume()
{
    MciCommand c = Command(MCI_RESUME, 0);
    return Send(c);
}

uint32_t CSequencer::Seek(uint32_t position, bool wait)
{
    MciCommand c = Command(MCI_SEEK, MCI_TO | (wait ? MCI_WAIT : 0));
    c.to = position;
    return Send(c);
}

uint32_t CSequencer::SeekToStart(bool wait)
{
    MciCommand c = Command(MCI_SEEK, MCI_SEEK_TO_START | (wait ? MCI_WAIT : 0));
    return Send(c);
}

uint32_t CSequencer::SeekToEnd(bool wait)
{
    MciCommand c = Command(MCI_SEEK, MCI_SEEK_TO_END | (wait ? MCI_WAIT : 0));
    return Send(c);
}

uint32_t CSequencer::Save(const std::string& file)
{
    MciCommand c = Command(MCI_SAVE, MCI_SAVE_FILE);
    c.element = file;
    return Send(c);
}

uint32_t CSequencer::Set(uint32_t flag, uint32_t value)
{
    MciCommand c = Command(MCI_SET, flag);
    c.value = value;
    return Send(c);
}

// clang-format off
uint32_t CSequencer::SetTimeFormat(uint32_t format) { return Set(MCI_SET_TIME_FORMAT, format); }
uint32_t CSequencer::SetPort(uint32_t port) { return Set(MCI_SEQ_SET_PORT, port); }
uint32_t CSequencer::SetTempo(uint32_t tempo) { return Set(MCI_SEQ_SET_TEMPO, tempo); }
uint32_t CSequencer::SetOffset(uint32_t offset) { return Set(MCI_SEQ_SET_OFFSET, offset); }
uint32_t CSequencer::SetMaster(uint32_t master) { return Set(MCI_SEQ_SET_MASTER, master); }
uint32_t CSequencer::SetSlave(uint32_t slave) { return Set(MCI_SEQ_SET_SLAVE, slave); }
uint32_t CSequencer::GetTimeFormatA() { return Status(0, MCI_STATUS_TIME_FORMAT); }
uint32_t CSequencer::GetCurrentPos() { return Status(0, MCI_STATUS_POSITION); }
uint32_t CSequencer::GetCurrentTrack() { return Status(0, MCI_STATUS_CURRENT_TRACK); }
uint32_t CSequencer::GetNumberOfTracks() { return Status(0, MCI_STATUS_NUMBER_OF_TRACKS); }
uint32_t CSequencer::GetSongLength() { return Status(0, MCI_STATUS_LENGTH); }
uint32_t CSequencer::GetStartPos() { return Status(MCI_STATUS_START, MCI_STATUS_POSITION); }
uint32_t CSequencer::GetTempo() { return Status(0, StatusTempo); }
uint32_t CSequencer::GetPort() { return Status(0, StatusPort); }
uint32_t CSequencer::GetOffset() { return Status(0, StatusOffset); }
uint32_t CSequencer::GetMaster() { return Status(0, StatusMaster); }
uint32_t CSequencer::GetSlave() { return Status(0, StatusSlave); }
uint32_t CSequencer::GetTrackPos(uint32_t track) { return Status(MCI_TRACK, MCI_STATUS_POSITION, track); }
uint32_t CSequencer::GetTrackLength(uint32_t track) { return Status(MCI_TRACK, MCI_STATUS_LENGTH, track); }
uint32_t CSequencer::IsReady() { return Status(0, MCI_STATUS_READY); }
// clang-format on

}  // namespace quorlink::media
