// Screenshots of page 3: the phonebook read from the emulated phone, the
// edit dialog of an entry, and the column mapping of a CSV import.

#include "mobile/tools/screenshot_scene.h"
#include "mobile/app/pages.h"
#include "mobile/phonebook/core/phonebook_io.h"
#include "mobile/phonebook/ui/edit_dialog.h"
#include "mobile/phonebook/ui/phonebook_dialogs.h"
#include "mobile/phonebook/ui/phonebook_view.h"
#include "mobile/phonebook/ui/ui_text.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/main_frame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

bool PhonebookScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                          const std::function<QImage(const QImage&, const QImage&)>& compose)
{
    using namespace shellui;
    DemoPhone demo;
    if (DemoPhone::SimphoneProgram().isEmpty() || !demo.start()) {
        std::fprintf(stderr, "phonebook screenshots: the emulated phone did not start\n");
        return false;
    }
    FrameOptions options;
    options.splash = false;
    const auto window = scene::ConnectedFrame(options);
    CMainFrame& frame = *window;
    frame.command(shell::kCmdPhonebook);
    auto* view = frame.pageViews(shell::kCmdPhonebook)
        ? dynamic_cast<phonebookui::CPhonebookView*>(frame.pageViews(shell::kCmdPhonebook)->left())
        : nullptr;
    if (!view)
        return false;
    view->command(phonebookui::kCmdRead);
    if (view->store().entries().size() < 10)
        return false;
    const auto& entries = view->store().entries();
    // A handset entry with several numbers and details.
    const phonebook::ContactItem* chosen = &entries.front();
    size_t best = 0;
    for (const auto& e : entries) {
        const size_t fields = phonebook::GetText(*e.record, phonebook::Field::Detail6).size() +
            (phonebook::HasNumber(*e.record, 2) ? 50 : 0) + (e.memory == phonebook::kMemoryHandset ? 1 : 0);
        if (fields > best) {
            best = fields;
            chosen = &e;
        }
    }
    view->selectKey(chosen->key);
    scene::Settle(150);
    const QImage page = frame.grab().toImage();
    bool ok = save(page, "phonebook_page");

    phonebookui::ContactEditDialog edit(*chosen->record, &frame);
    edit.next();
    edit.show();
    scene::Settle(150);
    ok &= save(compose(page, edit.grab().toImage()), "phonebook_edit");
    edit.hide();

    QTemporaryDir dir;
    const std::string csv = dir.filePath("phonebook.csv").toStdString();
    ok &= phonebook::ExportFile(view->store(), csv, phonebookui::BundleText()) == 0;
    const auto bytes = phonebook::ReadWholeFile(csv);
    const auto table =
        bytes ? phonebook::ReadCsv({reinterpret_cast<const char*>(bytes->data()), bytes->size()}) : std::nullopt;
    if (!table)
        return false;
    // A file of another program: its captions do not all match, so some
    // columns wait for the user's choice.
    phonebook::CsvTable foreign = *table;
    foreign.header[3] = "Work phone";
    foreign.header[9] = "ZIP";
    phonebook::CsvMapping preset =
        phonebook::DefaultCsvMapping(foreign, phonebook::CsvCaptions(phonebookui::BundleText()));
    phonebookui::CsvMappingDialog mapping(foreign, preset, &frame);
    mapping.setColumn(3, 3);
    mapping.show();
    scene::Settle(150);
    ok &= save(compose(page, mapping.grab().toImage()), "phonebook_csv_import");
    mapping.hide();
    return ok;
}
