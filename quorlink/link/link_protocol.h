#pragma once
// The message protocol between the front ends (the GUI, the CLI) and the
// phone-link worker: message ids, request codes, the two records that cross
// the threads, the argument blocks some requests carry and their builders.
// The layouts are fixed; both sides depend on them.

#include "platform/messages.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

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
    REQ_COMMAND = 95,  // a plain command (the batch's MASKCALL bracket); generic handling
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
    REQ_BRIDGE_OPEN = 223,
    REQ_BRIDGE_BOOT = 224,
    REQ_BRIDGE_SPEED = 225,
    REQ_BRIDGE_READ_INDEX = 226,
    REQ_BRIDGE_RESAMPLE = 227,  // argument: a heap string, the MP3 to resample
    REQ_BRIDGE_DECODE = 228,  // argument: a heap string, the MP3 to decode
    REQ_BRIDGE_ENCODE = 229,  // argument: a heap block
    REQ_BRIDGE_WRITE_MP3 = 230,  // argument: a heap block holding the slot number
    REQ_BRIDGE_WRITE_INDEX = 231,
    REQ_BRIDGE_FIRST = REQ_BRIDGE_OPEN,
    REQ_BRIDGE_LAST = REQ_BRIDGE_WRITE_INDEX,
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
constexpr int32_t LINK_ERR_SWITCHED_OFF = 55;  // the phone answered the scan with "SWITCHOFF"
// Codes of failures on the front end's side of a batch (the backup's files).
constexpr int32_t LINK_ERR_WRITE_FAILED = 56;  // a local file could not be written
constexpr int32_t LINK_ERR_DISK_FULL = 57;  // the local disk is full

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

// Argument block of requests 200 and 201. Request 200: first = PC file to
// read, second = phone file name. Request 201: first = phone file name,
// second = PC file to create.
struct TransferBlock {
    char first[256];  // NUL-terminated
    char second[256];  // NUL-terminated
};

// Argument block of request 207.
struct MessageBlock {
    char destination[21];  // NUL-terminated, optionally starting with "+"
    char text[160];  // PC code page (GBK) or ASCII; NUL-terminated unless it fills the field
    // Copied into the byte of SM_PARAM that follows the 160 text bytes
    // (userData[160], the text's terminator slot). Senders put 0 there; the
    // PDU encoder reads at most 160 text bytes, so it never reaches the PDU.
    uint8_t trailer;
};
#pragma pack(pop)

static_assert(sizeof(LinkRequest) == 784);
static_assert(offsetof(LinkRequest, argument) == 8);
static_assert(offsetof(LinkRequest, text) == 12);
static_assert(sizeof(LinkResult) == 780);
static_assert(offsetof(LinkResult, text) == 8);
static_assert(sizeof(LinkTarget) == 8);
static_assert(sizeof(ListenerSpec) == 8);
static_assert(sizeof(TransferBlock) == 512);
static_assert(sizeof(MessageBlock) == 182);
static_assert(offsetof(MessageBlock, text) == 21);
static_assert(offsetof(MessageBlock, trailer) == 181);

// ---- argument blocks: who owns them, how they are made ----
//
// A block travels as a plat::PutBlock handle in the request's argument
// word. The requests below own theirs: whoever ends the request (the
// worker after serving it, or a sender whose post was refused or who drops
// the request unsent) frees the block with the record.
[[nodiscard]] constexpr bool RequestOwnsBlock(int32_t code)
{
    switch (code) {
    case REQ_UPLOAD:
    case REQ_DOWNLOAD:
    case REQ_SEND_MESSAGE:
    case REQ_REGISTER_LISTENER:
    case REQ_BRIDGE_RESAMPLE:
    case REQ_BRIDGE_DECODE:
    case REQ_BRIDGE_ENCODE:
    case REQ_BRIDGE_WRITE_MP3: return true;
    default: return false;
    }
}

// Frees a request record (malloc'ed) and, when its code owns one, the block
// its argument names. Null is fine.
void FreeLinkRequest(int32_t code, LinkRequest* request);

// The longest text a transfer block field holds (its NUL follows).
inline constexpr size_t kTransferFieldMax = sizeof(TransferBlock::first) - 1;
[[nodiscard]] constexpr bool FitsTransferField(std::string_view text)
{
    return text.size() <= kTransferFieldMax && text.find('\0') == std::string_view::npos;
}

// The builders return the block's handle, or 0 when a text does not fit
// its field (nothing is ever cut: a cut name would name another file or
// another number) or no memory is left.
[[nodiscard]] uint32_t NewTransferBlock(std::string_view first, std::string_view second);
[[nodiscard]] uint32_t NewMessageBlock(std::string_view destination, std::string_view text);
[[nodiscard]] uint32_t NewListenerBlock(uint32_t messageCode, bool wantsNextLine);
// Requests 227 and 228: the path of an MP3 file as a NUL-terminated heap
// string of at most kPathBlockMax bytes.
inline constexpr size_t kPathBlockMax = 4095;
[[nodiscard]] uint32_t NewPathBlock(std::string_view path);
// Request 230: the MP3 slot k (0-4) as a 32-bit integer.
[[nodiscard]] uint32_t NewSlotBlock(int32_t k);
