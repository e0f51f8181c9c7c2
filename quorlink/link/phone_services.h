#pragma once
// Phone services over standard AT commands: the SIM phonebook and the
// message storage read into local files, sending a message, the software
// version check, the storage counts and the privacy-lock status
// (requests 205, 206, 207, 98, 99, 219).
//
// The handlers run on the worker thread, inside the dispatch. The helpers
// below them are pure.

#include "quorlink/link/link_requests.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct SM_PARAM;

namespace quorlink::link {

// Request 206 also writes, beside the message file, the parts of long
// messages it found: one line "index,reference,total,sequence" CR LF per
// part (the index as in the message file); no file when there are none.
[[nodiscard]] std::string MessagePartsPath(std::string_view messageFile);

// One part of a long message: request 207 names it in its request text as
// "part REF TOTAL SEQ" (decimal; reference 0-65535, 2 to 10 parts, sequence
// 1 to TOTAL), and the worker sends the block's text with a concatenation
// header. An empty request text sends a message of its own.
struct MessagePart {
    uint16_t reference = 0;
    uint8_t total = 0;
    uint8_t sequence = 0;
};
[[nodiscard]] std::string MessagePartText(const MessagePart& part);
// Nothing for an empty or malformed text.
[[nodiscard]] std::optional<MessagePart> ParseMessagePart(std::string_view requestText);

// The user data of a message to send, from the block's PC text: the text
// converted to GSM codes (the extension table's characters escaped) when
// every character has a 7-bit form and the septets fit, else the PC text
// sent in UCS2 when it fits; nothing when it fits neither (sending it would
// cut it). A part leaves room for its concatenation header.
struct OutgoingText {
    uint8_t dataCoding = 0;  // 0 GSM 7-bit, 8 UCS2
    std::string userData;  // GSM codes ('@' as 0x80), or the PC text
};
[[nodiscard]] std::optional<OutgoingText> TextForSend(std::string_view pcText, bool part);

Disposition RunReadPhonebook(RequestContext& ctx, int32_t code, LinkRequest& request);  // 205
Disposition RunReadMessages(RequestContext& ctx, int32_t code, LinkRequest& request);  // 206
Disposition RunSendMessage(RequestContext& ctx, int32_t code, LinkRequest& request);  // 207
Disposition RunCheckVersion(RequestContext& ctx, int32_t code, LinkRequest& request);  // 98
Disposition RunStorageCounts(RequestContext& ctx, int32_t code, LinkRequest& request);  // 99
Disposition RunPrivacyLock(RequestContext& ctx, int32_t code, LinkRequest& request);  // 219

// The decimal number after the n-th comma of a line (n from 1); 0 when the
// line has fewer commas or no digits there.
[[nodiscard]] long NumberAfterComma(std::string_view line, int n);
// Everything between the first colon and the first comma after it.
[[nodiscard]] std::optional<std::string_view> IndexField(std::string_view line);
// The text between the n-th pair of double quotes (n from 1).
[[nodiscard]] std::optional<std::string_view> QuotedField(std::string_view line, int n);

// One line of the phonebook file for a "+CPBR" line (index, number, name
// in the PC code page, "\r\n"); nothing when its fields cannot be found.
[[nodiscard]] std::optional<std::string> PhonebookLine(std::string_view cpbrLine);

// The status word of a "+CMGL" status number, nothing outside 0..4.
[[nodiscard]] std::optional<std::string_view> StatusWord(long status);
// "YYMMDDhhmmss..." as "YY/MM/DD,hh:mm:ss"; nothing with fewer than 12 digits.
[[nodiscard]] std::optional<std::string> MessageTimeStamp(std::string_view stamp);
// The part of a message line after the index and the status word: the
// address, the date and time fields (received messages; both empty when
// the PDU has no stamp), the text in the PC code page (8-bit data in
// hexadecimal) with its line breaks as LF. length is what the decode
// returned.
[[nodiscard]] std::string MessageFields(const SM_PARAM& message, int length);

// The service centre and destination numbers of a message to send, by the
// phone's rules: the service centre's "+" or its "86", the country prefix
// put before a national destination.
struct SendNumbers {
    std::string serviceCentre;
    std::string destination;
};
[[nodiscard]] SendNumbers NumbersForSend(std::string_view serviceCentre, std::string_view destination);

// Whether the phone's version begins with one of the accepted entries
// (separated by carriage returns; case-insensitive). An empty entry
// accepts every version.
[[nodiscard]] bool VersionAccepted(std::string_view version, std::string_view acceptedList);

// Puts header in front of the message file in place of its first header
// (the text before its first "\r\n", or all of it). In place when the
// lengths agree; otherwise the whole file is written again through a
// temporary file, so every message line stays intact.
[[nodiscard]] bool ReplaceFileHeader(const std::string& path, std::string_view header);

}  // namespace quorlink::link
