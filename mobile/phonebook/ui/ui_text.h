#pragma once
// Small pieces the phonebook's widgets share: PC text (GBK) to and from
// QString, the bundle's texts for the core, and line edits that hold what
// a field holds.

#include "mobile/phonebook/core/import_report.h"

#include <QString>

#include <string>
#include <string_view>

class QLineEdit;

namespace phonebookui {

[[nodiscard]] QString FromPc(std::string_view pc);
[[nodiscard]] std::string ToPc(const QString& text);
// The bundle's strings in UTF-8, for the core's texts.
[[nodiscard]] phonebook::TextFn BundleText();
// Limits an edit to maxBytes of PC text and, when alphabet is not empty, to
// its characters.
void LimitEdit(QLineEdit* edit, size_t maxBytes, std::string_view alphabet = {});

}  // namespace phonebookui
