// The backup and restore sheet on the offscreen platform: its boxes reach
// the flows, its Start buttons run them through the frame's batch runner,
// and what the flows say appears in message boxes in the bundle's words.

#include "mobile/backup/ui/back_restore_sheet.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "resources/strings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace backupui;

namespace {

// A frame that records the batches it is asked to run and fails them.
class FakeHost final : public shellui::PageHost {
public:
    shell::ConnectionState state;
    std::vector<int> batchTitles;

    int runBatch(shell::BatchPlan plan) override
    {
        batchTitles.push_back(plan.titleId);
        return shell::kBatchCancel;
    }
    const shell::ConnectionState& connection() const override { return state; }
    plat::ThreadId workerThread() const override { return 0; }
    plat::WindowHandle mainWindow() const override { return 0; }
    void categoryChanged(int) override { }
    QString pathText() const override { return {}; }
    void setPathText(const QString&) override { }
    void message(int, shell::Icon) override { }
    bool ask(int) override { return true; }
    QWidget* dialogParent() override { return nullptr; }
};

// Answers every message box as it appears: OK, recording its text.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer()
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << m->text();
                m->button(QMessageBox::Ok)->click();
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    QTimer timer_;
};

}  // namespace

class SheetTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        shellui::BundleError e = shellui::BundleError::None;
        bundle_ = shellui::ResourceBundle::Load(TELVANE_TEST_BUNDLE, "en", &e);
        QVERIFY(bundle_);
        shellui::SetResources(bundle_.get());
        qputenv("TELVANE_HOME", home_.path().toUtf8());
    }
    void cleanupTestCase() { shellui::SetResources(nullptr); }

    void pagesStartWithTheirDefaults()
    {
        FakeHost host;
        CBackRestoreSheet sheet(host, nullptr);
        QCOMPARE(sheet.backupPage().kinds(), backup::kDefaultKinds);
        QVERIFY(sheet.backupPage().findChild<QLineEdit*>("path")->isReadOnly());
        QVERIFY(!sheet.restorePage().findChild<QLineEdit*>("path")->isReadOnly());
        QCOMPARE(sheet.findChildren<QCheckBox*>().size(), 5);
    }

    void backupStartRunsTheListingAndSaysWhatHappened()
    {
        FakeHost host;
        host.state.phoneMode = true;
        CBackRestoreSheet sheet(host, nullptr);
        sheet.backupPage().setKinds(backup::KindSet::Of({backup::BackupKind::Video}));
        sheet.backupPage().setPath(home_.filePath("b"));
        BoxAnswerer user;
        const backup::FlowOutcome o = sheet.backupPage().start();
        QCOMPARE(int(o.result), int(backup::FlowResult::Failed));
        QCOMPARE(host.batchTitles, std::vector<int>{res::IDS_LISTING_PHONES_FILES});
        QCOMPARE(user.texts.size(), 3);  // the question, the failed listing, the empty file
        QCOMPARE(user.texts[1], shellui::Str(res::IDS_FILE_LIST_FAILED));
        QVERIFY(user.texts[2].contains(home_.filePath("b.bak")));
        QVERIFY(!user.texts[2].contains('%'));
    }

    void restoreStartRefusesADamagedFileInWords()
    {
        FakeHost host;
        host.state.phoneMode = true;
        CBackRestoreSheet sheet(host, nullptr);
        QFile f(home_.filePath("cut.bak"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("$Telvane-BackupAndRestore$\x05\x00\x00\x00", 30);
        f.close();
        sheet.restorePage().setPath(f.fileName());
        BoxAnswerer user;
        QCOMPARE(int(sheet.restorePage().start().result), int(backup::FlowResult::Refused));
        QVERIFY(host.batchTitles.empty());
        QCOMPARE(user.texts.size(), 2);
        QVERIFY(user.texts[1].endsWith(shellui::Str(res::IDS_BACKUP_PHONE_UNCHANGED)));
    }

private:
    std::unique_ptr<shellui::ResourceBundle> bundle_;
    QTemporaryDir home_;
};

QTEST_MAIN(SheetTest)
#include "sheet_test.moc"
