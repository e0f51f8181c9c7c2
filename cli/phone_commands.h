#pragma once
// The phone commands of `telvane` and the pieces of them that are tested
// on their own.

#include "cli/cli.h"
#include "mobile/shell/core/phone_session.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace telvane::cli {

// ports, info, at, ls, get, put, rm, sim-phonebook, sim-messages.
std::span<const Command> PhoneCommands();

// What the command groups share: a connected session (nullptr with rc set
// and the reason on stderr when no phone could be reached), the reason a
// failed batch gives the user, and one field of a tab-separated line with
// tabs, line breaks and backslashes escaped.
[[nodiscard]] std::unique_ptr<shell::PhoneSession> ConnectSession(const Io& io, shell::PhoneSessionOptions options,
                                                                  int& rc);
[[nodiscard]] std::string SessionFailure(const shell::PhoneSession& session);
[[nodiscard]] std::string ConnectFailureText(const shell::ConnectError& error);
[[nodiscard]] std::string EscapedField(std::string_view text);
// A string resource in English (the terminal has no resource bundle).
[[nodiscard]] std::string Text(int stringId);

// The USB cable under a sysfs root: "COMn" for the one cable's ttyUSB(n-1),
// "ERROR_NON" without one, "ERROR_TOO_MANY" with several, "" when the
// device list cannot be read or the cable has no port.
[[nodiscard]] std::string CableDetection(const std::string& sysfsRoot);

// The user-readable name (UTF-8) of a file listed in one of the phone's
// slot directories ("/app/jpeg", "/app/midi"), whose files carry encoded
// names; nothing for other directories or a name that does not decode.
[[nodiscard]] std::optional<std::string> DecodedSlotName(std::string_view dir, std::string_view name);

// The path the phone knows: in the slot directories a readable name (UTF-8)
// is put into its encoded form; an encoded name and every other path pass
// unchanged.
[[nodiscard]] std::string PhonePath(std::string_view path);

}  // namespace telvane::cli
