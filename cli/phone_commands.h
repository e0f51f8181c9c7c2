#pragma once
// The phone commands of `telvane` and the pieces of them that are tested
// on their own.

#include "cli/cli.h"
#include "quorlink/codecs/pdu.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

namespace telvane::cli {

// ports, info, at, ls, get, put, rm, sim-phonebook, sim-messages, send, watch.
std::span<const Command> PhoneCommands();

// The USB cable under a sysfs root: "COMn" for the one cable's ttyUSB(n-1),
// "ERROR_NON" without one, "ERROR_TOO_MANY" with several, "" when the
// device list cannot be read or the cable has no port.
[[nodiscard]] std::string CableDetection(const std::string& sysfsRoot);

// A message text given in UTF-8 in the PC code page, when it fits one
// message: 159 characters of plain text, or 70 characters when any of
// them is not plain ASCII (sent in UCS2).
[[nodiscard]] std::optional<std::string> MessageToSend(std::string_view utf8);

// The user-readable name (UTF-8) of a file listed in one of the phone's
// slot directories ("/app/jpeg", "/app/midi"), whose files carry encoded
// names; nothing for other directories or a name that does not decode.
[[nodiscard]] std::optional<std::string> DecodedSlotName(std::string_view dir, std::string_view name);

// The path the phone knows: in the slot directories a readable name (UTF-8)
// is put into its encoded form; an encoded name and every other path pass
// unchanged.
[[nodiscard]] std::string PhonePath(std::string_view path);

// The decoded text of a message as UTF-8 (7-bit text holds GSM codes).
[[nodiscard]] std::string MessageTextAsUtf8(const SM_PARAM& message);

struct IncomingMessage {
    std::string from;
    std::string timeStamp;  // YY/MM/DD,hh:mm:ss
    std::string text;  // UTF-8
};

// Joins the parts of concatenated messages (by sender, reference and part
// count) in part order; a single message passes at once.
class MessageJoiner {
public:
    std::optional<IncomingMessage> Add(const SM_PARAM& part);

private:
    struct Pending {
        IncomingMessage first;
        std::map<int, std::string> parts;
    };
    std::map<std::tuple<std::string, unsigned, unsigned>, Pending> pending_;
};

}  // namespace telvane::cli
