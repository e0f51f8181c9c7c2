#pragma once
// The phonebook page's smaller windows: an entry's details, the column
// mapping of a CSV import, and the memory usage with its bars.

#include "mobile/phonebook/core/local_files.h"
#include "mobile/phonebook/core/phonebook_store.h"

#include <QDialog>

#include <array>
#include <vector>

class QComboBox;

namespace phonebookui {

// Details of one entry (title 57783). Its second button closes it and asks
// for the edit dialog: exec() then returns kEditRequested.
class ContactDetailsDialog final : public QDialog {
public:
    static constexpr int kEditRequested = 2;
    ContactDetailsDialog(const phonebook::ContactRecord& r, QWidget* parent);
};

// The CSV import's column mapping, preset from the header's captions.
class CsvMappingDialog final : public QDialog {
public:
    CsvMappingDialog(const phonebook::CsvTable& table, const phonebook::CsvMapping& preset, QWidget* parent);
    [[nodiscard]] phonebook::CsvMapping mapping() const;
    // Column c fills field f (kCsvUnmapped: none).
    void setColumn(int column, int field);

private:
    std::array<QComboBox*, phonebook::kCsvMappable> combos_{};
};

struct MemoryUse {
    int capacity = 0;
    int used = 0;
    // used * 100 / capacity, 0 for a memory without room.
    [[nodiscard]] int percent() const { return capacity > 0 ? used * 100 / capacity : 0; }
};

class MemoryUsageDialog final : public QDialog {
public:
    MemoryUsageDialog(MemoryUse sim, MemoryUse handset, QWidget* parent);
};

}  // namespace phonebookui
