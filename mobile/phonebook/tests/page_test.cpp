// Page 3 end to end, offscreen: the main frame with the real phone-link
// worker and the emulated handset on a pseudo-terminal. A scripted user
// reads the phonebook, adds, edits and deletes an entry through the
// dialogs, and the phone's files show each change.

#include "mobile/app/pages.h"
#include "mobile/phonebook/core/phone_files.h"
#include "mobile/phonebook/ui/edit_dialog.h"
#include "mobile/phonebook/ui/phonebook_view.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "support/sim_phone.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>

using namespace shellui;
using namespace phonebook;

namespace {

// Answers modal windows as they come, in order; every message box is
// answered with OK (and its text kept).
class User : public QObject {
public:
    User()
    {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start();
    }
    std::deque<std::function<void(phonebookui::ContactEditDialog&)>> edits;
    QStringList messages;

private:
    void look()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == last_)
            return;
        last_ = w;
        if (auto* m = qobject_cast<QMessageBox*>(w)) {
            messages << m->text();
            m->button(QMessageBox::Ok)->click();
        } else if (auto* d = dynamic_cast<phonebookui::ContactEditDialog*>(w)) {
            if (edits.empty()) {
                d->reject();
                return;
            }
            auto edit = std::move(edits.front());
            edits.pop_front();
            edit(*d);
        }
    }

    QTimer timer_;
    QWidget* last_ = nullptr;
};

template <typename T>
T* Child(QWidget& w, const char* name)
{
    return w.findChild<T*>(name);
}

}  // namespace

class PhonebookPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        qputenv("TELVANE_HOME", home_.path().toUtf8());
        BundleError error = BundleError::None;
        bundle_ = ResourceBundle::Load(ResourceBundle::SearchPaths().front(), "en", &error);
        QVERIFY(bundle_);
        SetResources(bundle_.get());
    }
    void cleanupTestCase() { SetResources(nullptr); }

    void addEditDeleteReachThePhone()
    {
        linktest::SimPhone phone("pbpage");
        QVERIFY(phone.ok());
        FrameOptions options;
        options.splash = false;
        options.detectCable = [] { return std::string("COM1"); };
        options.pages = app::AllPages();
        CMainFrame frame(options);
        frame.show();
        frame.controller().connectCommand(shell::kModePhone);
        QVERIFY(frame.state().phoneMode);
        frame.command(shell::kCmdPhonebook);
        auto* view = dynamic_cast<phonebookui::CPhonebookView*>(frame.pageViews(shell::kCmdPhonebook)->left());
        QVERIFY(view);
        QCOMPARE(frame.controlView() != nullptr, true);

        User user;
        view->command(phonebookui::kCmdRead);
        QVERIFY(view->loadedFromPhone());
        QCOMPARE(view->store().entries().size(), size_t(90));
        QCOMPARE(view->list()->rowCount(), 90);

        const auto record = [&](int slot) {
            const auto file = ReadWholeFile(phone.state().string() + "/app/dir/smpb" + std::to_string((slot - 1) / 20));
            return RecordFromFile(file.value_or(std::vector<uint8_t>{}), size_t((slot - 1) % 20));
        };
        const auto tableUsed = [&](int slot) {
            const auto t = ReadWholeFile(phone.state().string() + "/app/dir/smpbtab").value_or(std::vector<uint8_t>{});
            return t.size() == kSmpbtabSize && t[size_t(slot - 1) * kSmpbtabEntrySize] != 0xFF;
        };

        // Add: memory, name, then a mobile number in the second step.
        user.edits.push_back([](phonebookui::ContactEditDialog& d) {
            Child<QRadioButton>(d, "memoryHandset")->setChecked(true);
            Child<QLineEdit>(d, "name")->setText("Page Test");
            Child<QPushButton>(d, "next")->click();
            auto* kind = Child<QComboBox>(d, "kind");
            kind->setCurrentIndex(kind->findData(1));
            Child<QLineEdit>(d, "value")->setText("13812345678");
            Child<QPushButton>(d, "addField")->click();
            Child<QPushButton>(d, "ok")->click();
        });
        view->command(phonebookui::kCmdAdd);
        QCOMPARE(user.messages.size(), 2);  // store it? written.
        QCOMPARE(user.messages.back(), Str(57737));
        QVERIFY(tableUsed(61));
        auto r = record(61);
        QVERIFY(r);
        QCOMPARE(GetText(*r, Field::Name), std::string("Page Test"));
        QCOMPARE(GetNumber(*r, 0), std::string("13812345678"));
        QCOMPARE(int(r->defaultField), 11);

        // Edit the selected (new) entry: a new name.
        user.edits.push_back([](phonebookui::ContactEditDialog& d) {
            Child<QLineEdit>(d, "name")->setText("Page Changed");
            Child<QPushButton>(d, "next")->click();
            Child<QPushButton>(d, "ok")->click();
        });
        view->command(phonebookui::kCmdEdit);
        r = record(61);
        QCOMPARE(GetText(*r, Field::Name), std::string("Page Changed"));

        // Delete it.
        view->command(phonebookui::kCmdDelete);
        QCOMPARE(user.messages.back(), Str(57973));
        QVERIFY(!tableUsed(61));
        QCOMPARE(view->store().entries().size(), size_t(90));
        QVERIFY(view->store().pendingDeletes().empty());

        // Export, then imports: a file that is not a phonebook leaves the
        // list as it was; a phonebook file replaces it, and the entries the
        // phone holds wait to be deleted by the next write.
        const QString book = home_.filePath("book.phb");
        const QString bad = home_.filePath("bad.phb");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a phonebook");
        f.close();
        QString next = book;
        view->choosePath = [&next](bool) { return next; };
        view->command(phonebookui::kCmdExport);
        QCOMPARE(user.messages.back(), Str(57821));
        next = bad;
        view->command(phonebookui::kCmdImport);
        QCOMPARE(user.messages.back(), Str(57824));
        QCOMPARE(view->store().entries().size(), size_t(90));
        QVERIFY(view->loadedFromPhone());
        next = book;
        view->command(phonebookui::kCmdImport);
        QVERIFY(!view->loadedFromPhone());
        const StoreCounts counts = view->store().counts();
        QCOMPARE(counts.adds, 90);
        QCOMPARE(counts.deletes, 90);
    }

private:
    QTemporaryDir home_;
    std::unique_ptr<ResourceBundle> bundle_;
};

QTEST_MAIN(PhonebookPageTest)
#include "page_test.moc"
