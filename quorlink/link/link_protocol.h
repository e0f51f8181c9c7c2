#pragma once
// The message protocol between the GUI (or the CLI) and the phone-link
// worker: message ids, request codes and the two records that cross the
// threads. The layouts are fixed; both sides depend on them.

#include "platform/messages.h"

#include <cstddef>
#include <cstdint>

// Thread messages to the worker.
constexpr uint32_t WM_LINK_SET_TARGET = 0x0419;  // lParam: handle of an 8-byte block {thread id, window}
constexpr uint32_t WM_LINK_REQUEST = 0x041A;  // wParam: request code; lParam: LinkRequest*
// Window messages from the worker.
constexpr uint32_t WM_LINK_RESULT = 0x041B;  // wParam: request or listener code; lParam: LinkResult*
constexpr uint32_t WM_LINK_LOST = 0x042C;  // wParam 0, lParam 0

// Request codes (wParam of WM_LINK_REQUEST).
enum LinkRequestCode : int32_t {
    REQ_RAW_STARTUL = 0x50,
    REQ_RAW_GET = 0x51,
    REQ_RAW_END = 0x52,
    REQ_RAW_STARTDL = 0x53,
    REQ_RAW_PUT = 0x54,
    REQ_RAW_REMOVE = 0x55,
    REQ_RAW_LIST = 0x56,
    REQ_RAW_VOLUME = 0x57,
    REQ_RAW_CONNECT = 0x58,
    REQ_RAW_DISCONNECT = 0x59,
    REQ_RAW_FILEINFO = 0x5A,
    REQ_RAW_MKDIR = 0x5B,
    REQ_RAW_RMDIR = 0x5C,
    REQ_DISCONNECT = 89,
    REQ_LONG_COMMAND = 93,
    REQ_CHECK_VERSION = 98,
    REQ_STORAGE_COUNTS = 99,
    REQ_UPLOAD = 200,
    REQ_DOWNLOAD = 201,
    REQ_FINAL_LINE_TEXT = 202,
    REQ_FILEINFO_LINES = 203,
    REQ_RECONNECT = 204,
    REQ_READ_SIM_PHONEBOOK = 205,
    REQ_READ_MESSAGES = 206,
    REQ_SEND_MESSAGE = 207,
    REQ_ACCEPT_WHILE_BUSY_ON = 208,
    REQ_ACCEPT_WHILE_BUSY_OFF = 209,
    REQ_REGISTER_LISTENER = 210,
    REQ_REMOVE_LISTENER = 211,
    REQ_PRIVACY_LOCK = 219,
    REQ_LIST_PORTS = 221,
    REQ_SCAN_AND_CONNECT = 222,
    REQ_BRIDGE_FIRST = 223,
    REQ_BRIDGE_LAST = 231,
    REQ_SILENT_TIMEOUT = 232,
    REQ_TABLE_END = 300,
};

// Result status.
constexpr int32_t LINK_FAILED = 0;
constexpr int32_t LINK_SUCCEEDED = 1;
constexpr int32_t LINK_INTERMEDIATE = 2;

// Local result codes.
constexpr int32_t LINK_ERR_SEND_202 = 50;  // request 202's command could not be written
constexpr int32_t LINK_ERR_TOO_LONG = 51;  // command text longer than 770 characters
constexpr int32_t LINK_ERR_SEND = 52;  // write failed, or a transfer broke off
constexpr int32_t LINK_ERR_TIMEOUT = 53;  // no final response in time
constexpr int32_t LINK_ERR_LOCAL_FILE = 54;  // local file of a transfer could not be opened

constexpr size_t kLinkRequestTextSize = 772;
constexpr size_t kLinkMaxCommandChars = 770;
constexpr size_t kLinkResultTextSize = 772;

#pragma pack(push, 1)
// Allocated zero-filled with malloc by the sender, freed by the worker.
struct LinkRequest {
    uint32_t guiThreadId;  // 0-3
    uint32_t window;  // 4-7: receives the result records
    uint32_t argument;  // 8-11: an integer, or a plat::PutBlock handle the request owns
    char text[kLinkRequestTextSize];  // 12-783, NUL-terminated
};

// Allocated by the worker with malloc, freed by the receiving window.
struct LinkResult {
    int32_t status;  // LINK_FAILED / LINK_SUCCEEDED / LINK_INTERMEDIATE
    int32_t code;  // 0, a +CME ERROR number or a local code
    union {
        char text[kLinkResultTextSize];  // NUL-terminated, at most 771 characters
        struct {
            int32_t current;
            int32_t total;
        } progress;
    };
};

// Target block of WM_LINK_SET_TARGET and of StartCommThread.
struct LinkTarget {
    uint32_t guiThreadId;
    uint32_t window;
};

// Argument block of request 210.
struct ListenerSpec {
    uint32_t messageCode;
    uint32_t wantsNextLine;
};
#pragma pack(pop)

static_assert(sizeof(LinkRequest) == 784);
static_assert(offsetof(LinkRequest, argument) == 8);
static_assert(offsetof(LinkRequest, text) == 12);
static_assert(sizeof(LinkResult) == 780);
static_assert(offsetof(LinkResult, text) == 8);
static_assert(sizeof(LinkTarget) == 8);
static_assert(sizeof(ListenerSpec) == 8);
