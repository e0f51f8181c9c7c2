#pragma once
// vCard 3.0 export and import (UTF-8), the form every contacts program
// reads.
//
// Export: per entry FN and N (the name), one TEL per number with a TYPE
// from its kind (mobile CELL, home HOME, office WORK, fax FAX, other VOICE,
// a plain number no TYPE; the default number also PREF), EMAIL (detail6),
// ORG (detail7), ADR (detail8 as street, detail9 as postal code), NOTE
// (detail10), BDAY (detail11 when it is a date YYYYMMDD), CATEGORIES (the
// group's label). Properties of our own keep what the standard ones cannot
// say, so that our own file reads back to the same records:
// X-TELVANE-MEMORY:SIM, X-TELVANE-GROUP, X-TELVANE-DEFAULT, and
// X-TELVANE-BIRTHDAY for a detail11 that is not a date.
//
// Import reads cards of other programs too: vCard 2.1 and 3.0, folded
// lines, quoted-printable values, UTF-8 or GBK character sets, grouped
// properties, several numbers of one type. What has no place (a sixth
// number, a second e-mail, a photo, a URL) is noted, never dropped quietly.

#include "mobile/phonebook/core/contact_record.h"
#include "mobile/phonebook/core/import_report.h"
#include "mobile/phonebook/core/local_files.h"

#include <span>
#include <string>
#include <string_view>

namespace phonebook {

// text: labels in the front end's language (CATEGORIES).
[[nodiscard]] std::string EncodeVcards(std::span<const ContactRecord* const> records, const TextFn& text);
[[nodiscard]] ImportResult DecodeVcards(std::string_view bytes, const TextFn& text);

}  // namespace phonebook
