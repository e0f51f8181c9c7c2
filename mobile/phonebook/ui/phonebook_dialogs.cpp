#include "mobile/phonebook/ui/phonebook_dialogs.h"

#include "mobile/phonebook/core/editing.h"
#include "mobile/phonebook/ui/ui_text.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "resources/strings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using shellui::Str;

namespace phonebookui {

using namespace phonebook;

ContactDetailsDialog::ContactDetailsDialog(const ContactRecord& r, QWidget* parent) : QDialog(parent)
{
    setObjectName("phonebookDetailsDialog");
    setWindowTitle(Str(res::IDS_ENTRY_DETAILS));
    auto* layout = new QVBoxLayout(this);
    for (const std::string& line : DetailLines(r, BundleText())) {
        auto* label = new QLabel(QString::fromStdString(line), this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* close = new QPushButton(Str(res::IDS_PB_CLOSE), this);
    close->setObjectName("close");
    auto* edit = new QPushButton(Str(res::IDS_PB_EDIT_FIELD), this);
    edit->setObjectName("edit");
    buttons->addWidget(close);
    buttons->addWidget(edit);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(edit, &QPushButton::clicked, this, [this] { done(kEditRequested); });
    setMinimumWidth(320);
}

CsvMappingDialog::CsvMappingDialog(const CsvTable& table, const CsvMapping& preset, QWidget* parent) : QDialog(parent)
{
    setObjectName("phonebookCsvDialog");
    setWindowTitle(Str(res::IDS_PB_CSV_TITLE));
    auto* layout = new QVBoxLayout(this);
    auto* explain = new QLabel(Str(res::IDS_PB_CSV_EXPLAIN), this);
    explain->setWordWrap(true);
    layout->addWidget(explain);
    auto* grid = new QTableWidget(kCsvMappable, 3, this);
    grid->setObjectName("mapping");
    grid->setHorizontalHeaderLabels(
        {Str(res::IDS_PB_CSV_COLUMN), Str(res::IDS_PB_EXAMPLE), Str(res::IDS_PB_CSV_FIELD)});
    grid->verticalHeader()->setVisible(false);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const auto ids = CsvCaptionIds();
    for (int c = 0; c < kCsvMappable; ++c) {
        const size_t col = static_cast<size_t>(c);
        grid->setItem(c, 0, new QTableWidgetItem(FromPc(table.header[col])));
        // The column's first value, so the user sees what it holds.
        QString sample;
        for (const auto& record : table.records)
            if (col < record.size() && !record[col].empty()) {
                sample = FromPc(record[col]);
                break;
            }
        grid->setItem(c, 1, new QTableWidgetItem(sample));
        auto* combo = new QComboBox(grid);
        combo->addItem(Str(res::IDS_PB_CSV_UNMAPPED), kCsvUnmapped);
        for (int f = 0; f < kCsvMappable; ++f)
            combo->addItem(Str(ids[static_cast<size_t>(f)]), f);
        combo->setCurrentIndex(std::max(0, combo->findData(preset[col])));
        grid->setCellWidget(c, 2, combo);
        combos_[col] = combo;
    }
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(grid, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(Str(res::IDS_OK), this);
    ok->setObjectName("ok");
    auto* cancel = new QPushButton(Str(res::IDS_CANCEL), this);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(520, 480);
}

CsvMapping CsvMappingDialog::mapping() const
{
    CsvMapping m;
    for (size_t c = 0; c < m.size(); ++c)
        m[c] = combos_[c]->currentData().toInt();
    return m;
}

void CsvMappingDialog::setColumn(int column, int field)
{
    if (column >= 0 && column < kCsvMappable)
        combos_[static_cast<size_t>(column)]->setCurrentIndex(
            std::max(0, combos_[static_cast<size_t>(column)]->findData(field)));
}

MemoryUsageDialog::MemoryUsageDialog(MemoryUse sim, MemoryUse handset, QWidget* parent) : QDialog(parent)
{
    setObjectName("phonebookUsageDialog");
    setWindowTitle(Str(res::IDS_PB_USAGE_TITLE));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Str(res::IDS_PB_CAPACITY), this), 0, 1);
    grid->addWidget(new QLabel(Str(res::IDS_PB_USED), this), 0, 2);
    int row = 1;
    for (const auto& [label, use, name] :
         {std::tuple{res::IDS_PB_MEMORY_SIM, sim, "sim"}, std::tuple{res::IDS_PB_MEMORY_HANDSET, handset, "handset"}}) {
        grid->addWidget(new QLabel(Str(label), this), row, 0);
        grid->addWidget(new QLabel(QString::number(use.capacity), this), row, 1);
        grid->addWidget(new QLabel(QString::number(use.used), this), row, 2);
        auto* percent = new QLabel(QString::number(use.percent()) + "%", this);
        percent->setObjectName(QString(name) + "Percent");
        grid->addWidget(percent, row, 3);
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QString(name) + "Bar");
        bar->setRange(0, 100);
        bar->setValue(use.percent());
        bar->setTextVisible(false);
        grid->addWidget(bar, row, 4);
        ++row;
    }
    grid->setColumnStretch(4, 1);
    layout->addLayout(grid);
    auto* close = new QPushButton(Str(res::IDS_PB_CLOSE), this);
    close->setObjectName("close");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(420);
}

}  // namespace phonebookui
