#pragma once
// Exports a person can open, beside the psm file: plain UTF-8 text and
// CSV (number, contact name, box, status, date, text), of the listed
// messages in list order. Also the one-line forms `telvane messages list`
// prints.

#include "mobile/messages/core/message_store.h"

#include <string>
#include <string_view>

namespace messages {

enum class ExportFormat { Psm, Csv, Text };

// The format a file name's extension asks for (.psm, .csv, .txt, any case).
[[nodiscard]] std::optional<ExportFormat> FormatForPath(std::string_view path);

// Which messages an export or a listing takes.
enum class BoxFilter { Inbox, Outbox, All };

// UTF-8 CSV with a header row; fields quoted when they hold a comma, a
// quote or a line break, so every field survives a round trip.
[[nodiscard]] std::string ExportCsv(const MessageStore& store, BoxFilter filter, bool messagesLocked);
// UTF-8 text: one block per message (From/To, Date, Status, the text),
// separated by empty lines.
[[nodiscard]] std::string ExportText(const MessageStore& store, BoxFilter filter, bool messagesLocked);
// One line per message: box, status, date, who (name or number), the text
// with line breaks shown as "\n" (tab-separated, UTF-8).
[[nodiscard]] std::string ListTable(const MessageStore& store, BoxFilter filter, bool messagesLocked);

// Writes an export of the whole store by the path's extension (psm
// through MessageStore::savePsm); false when the file cannot be written.
[[nodiscard]] bool WriteExport(const MessageStore& store, const std::string& path, ExportFormat format,
                               bool messagesLocked);

// A record's text, number or name as UTF-8.
[[nodiscard]] std::string Utf8(std::string_view pcText);

}  // namespace messages
