#pragma once
// The media control interface under CMciDevice: numbered commands sent to
// numbered devices, each answering with an error code (0 = success).
//
// Two device kinds exist: the MIDI sequencer (FluidSynth) and the MP3 player
// (mpg123), both playing through the process's sound output
// (sound_output.h). A device opened with a file plays it on a thread of its
// own; the end of the song, and a play cut short by stop or close, are
// announced to the callback window given with the play command as
// MM_MCINOTIFY (wParam the notify flag, lParam the device id).
//
// Thread affinity: commands may come from any one thread at a time per
// device (the GUI thread); the playback threads are internal.

#include "platform/messages.h"

#include <cstdint>
#include <string>

namespace quorlink::media::mci {

// Commands.
inline constexpr uint32_t MCI_OPEN = 0x0803;
inline constexpr uint32_t MCI_CLOSE = 0x0804;
inline constexpr uint32_t MCI_PLAY = 0x0806;
inline constexpr uint32_t MCI_SEEK = 0x0807;
inline constexpr uint32_t MCI_STOP = 0x0808;
inline constexpr uint32_t MCI_PAUSE = 0x0809;
inline constexpr uint32_t MCI_INFO = 0x080A;
inline constexpr uint32_t MCI_GETDEVCAPS = 0x080B;
inline constexpr uint32_t MCI_SET = 0x080D;
inline constexpr uint32_t MCI_SAVE = 0x0813;
inline constexpr uint32_t MCI_STATUS = 0x0814;
inline constexpr uint32_t MCI_RESUME = 0x0855;

inline constexpr uint32_t MCI_ALL_DEVICE_ID = 0xFFFF;

// Flags.
inline constexpr uint32_t MCI_NOTIFY = 0x1;
inline constexpr uint32_t MCI_WAIT = 0x2;
inline constexpr uint32_t MCI_FROM = 0x4;
inline constexpr uint32_t MCI_TO = 0x8;
inline constexpr uint32_t MCI_TRACK = 0x10;
inline constexpr uint32_t MCI_OPEN_SHAREABLE = 0x100;
inline constexpr uint32_t MCI_OPEN_ELEMENT = 0x200;
inline constexpr uint32_t MCI_OPEN_TYPE_ID = 0x1000;
inline constexpr uint32_t MCI_OPEN_TYPE = 0x2000;
inline constexpr uint32_t MCI_SEEK_TO_START = 0x100;
inline constexpr uint32_t MCI_SEEK_TO_END = 0x200;
inline constexpr uint32_t MCI_STATUS_ITEM = 0x100;
inline constexpr uint32_t MCI_STATUS_START = 0x200;
inline constexpr uint32_t MCI_SET_TIME_FORMAT = 0x400;
inline constexpr uint32_t MCI_SAVE_FILE = 0x100;
inline constexpr uint32_t MCI_GETDEVCAPS_ITEM = 0x100;
inline constexpr uint32_t MCI_SEQ_SET_TEMPO = 0x10000;
inline constexpr uint32_t MCI_SEQ_SET_PORT = 0x20000;
inline constexpr uint32_t MCI_SEQ_SET_SLAVE = 0x40000;
inline constexpr uint32_t MCI_SEQ_SET_MASTER = 0x80000;
inline constexpr uint32_t MCI_SEQ_SET_OFFSET = 0x1000000;

// Status items (besides the sequencer's, which CMciDevice exports).
inline constexpr uint32_t MCI_STATUS_LENGTH = 1;
inline constexpr uint32_t MCI_STATUS_POSITION = 2;
inline constexpr uint32_t MCI_STATUS_NUMBER_OF_TRACKS = 3;
inline constexpr uint32_t MCI_STATUS_MODE = 4;
inline constexpr uint32_t MCI_STATUS_MEDIA_PRESENT = 5;
inline constexpr uint32_t MCI_STATUS_TIME_FORMAT = 6;
inline constexpr uint32_t MCI_STATUS_READY = 7;
inline constexpr uint32_t MCI_STATUS_CURRENT_TRACK = 8;

// Notification.
inline constexpr uint32_t MM_MCINOTIFY = 0x03B9;
inline constexpr uint32_t MCI_NOTIFY_SUCCESSFUL = 1;
inline constexpr uint32_t MCI_NOTIFY_SUPERSEDED = 2;
inline constexpr uint32_t MCI_NOTIFY_ABORTED = 4;
inline constexpr uint32_t MCI_NOTIFY_FAILURE = 8;

// Error codes, with their texts in MciErrorText.
inline constexpr uint32_t MCIERR_INVALID_DEVICE_ID = 257;
inline constexpr uint32_t MCIERR_UNRECOGNIZED_COMMAND = 261;
inline constexpr uint32_t MCIERR_HARDWARE = 262;
inline constexpr uint32_t MCIERR_INVALID_DEVICE_NAME = 263;
inline constexpr uint32_t MCIERR_CANNOT_LOAD_DRIVER = 266;
inline constexpr uint32_t MCIERR_UNSUPPORTED_FUNCTION = 274;
inline constexpr uint32_t MCIERR_FILE_NOT_FOUND = 275;
inline constexpr uint32_t MCIERR_DEVICE_NOT_READY = 276;
inline constexpr uint32_t MCIERR_INTERNAL = 277;
inline constexpr uint32_t MCIERR_EXTENSION_NOT_FOUND = 281;
inline constexpr uint32_t MCIERR_OUTOFRANGE = 282;
inline constexpr uint32_t MCIERR_FLAGS_NOT_COMPATIBLE = 284;
inline constexpr uint32_t MCIERR_DEVICE_TYPE_REQUIRED = 287;
inline constexpr uint32_t MCIERR_BAD_TIME_FORMAT = 293;
inline constexpr uint32_t MCIERR_INVALID_FILE = 296;
inline constexpr uint32_t MCIERR_NULL_PARAMETER_BLOCK = 297;
inline constexpr uint32_t MCIERR_SEQ_PORT_NONEXISTENT = 338;
inline constexpr uint32_t MCIERR_SEQ_NOMIDIPRESENT = 343;

// One command's parameters; which fields count depends on the flags.
struct MciCommand {
    uint32_t command = 0;
    uint32_t flags = 0;
    plat::WindowHandle callback = 0;  // with MCI_NOTIFY
    std::string deviceType;  // open: type name
    uint32_t deviceTypeId = 0;  // open: with MCI_OPEN_TYPE_ID
    std::string element;  // open: the file; save: the file
    uint32_t from = 0;
    uint32_t to = 0;
    uint32_t item = 0;  // status, info, getdevcaps
    uint32_t track = 0;
    uint32_t value = 0;  // set: the value of the set flag given
    // Results.
    uint32_t deviceId = 0;  // open: the new device
    uint32_t returnValue = 0;  // status, getdevcaps
    std::string text;  // info
};

// Sends a command to a device (MCI_ALL_DEVICE_ID for close all).
[[nodiscard]] uint32_t SendCommand(uint32_t deviceId, MciCommand& command);

// The text of an error code; false when the code has none.
bool MciErrorText(uint32_t code, std::string& text);

}  // namespace quorlink::media::mci
