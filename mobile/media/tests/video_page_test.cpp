// The video page end to end: the main frame with the real phone-link
// worker, connected to the emulated phone (demo mode), refreshes the clip
// list and saves clips as AVI files that ffprobe reads back.

#include "mobile/app/pages.h"
#include "mobile/media/ui/video_view.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/program_dir.h"
#include "resources/strings.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace shellui;

namespace {

constexpr int kRefresh = 1044;
constexpr int kSave = 1045;

QStringList Row(const QTreeWidget* list, int row)
{
    QStringList cells;
    for (int c = 0; c < list->columnCount(); ++c)
        cells << list->topLevelItem(row)->text(c);
    return cells;
}

// ffprobe's "key=value" lines for the video stream.
QString Probe(const QString& avi)
{
    QProcess p;
    p.start("ffprobe",
            {"-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
             "stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames", "-of", "csv=p=0", avi});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

class VideoPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void refreshAndSaveClips();

private:
    std::unique_ptr<ResourceBundle> bundle_;
};

void VideoPageTest::initTestCase()
{
    qputenv("TELVANE_SIMPHONE", TELVANE_SIMPHONE_PROGRAM);
    BundleError e = BundleError::None;
    bundle_ = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "en", &e);
    QVERIFY(bundle_);
    SetResources(bundle_.get());
}

void VideoPageTest::cleanupTestCase()
{
    SetResources(nullptr);
}

void VideoPageTest::refreshAndSaveClips()
{
    QTemporaryDir home, out;
    qputenv("TELVANE_HOME", home.path().toLocal8Bit());
    DemoPhone phone;
    QVERIFY2(phone.start(), qPrintable(phone.error()));
    FrameOptions options;
    options.splash = false;
    options.pages = app::AllPages();
    CMainFrame frame(options);
    QVERIFY(frame.workerRunning());
    frame.show();
    frame.command(shell::kCmdVideo);
    auto* view = frame.findChild<mediaui::CVideoView*>();
    QVERIFY(view);
    QStringList messages;
    view->message = [&](const QString& caption, const QString& text, bool) { messages << caption + ": " + text; };
    QString chosen;
    view->chooseSavePath = [&](const QString& proposal) {
        chosen = proposal;
        return out.filePath(proposal);  // no extension: ".avi" is added
    };

    // Before a refresh: 20 blank rows, and saving does nothing.
    QCOMPARE(view->list()->topLevelItemCount(), 20);
    QCOMPARE(Row(view->list(), 0), QStringList(5, QString()));
    frame.controller().connectCommand(shell::kModePhone);
    QVERIFY(frame.state().phoneMode);
    frame.command(kRefresh);
    QCOMPARE(view->list()->topLevelItemCount(), 10);
    QCOMPARE(Row(view->list(), 0).mid(0, 4), (QStringList{"1", "Lake walk", "00:08", "128x96"}));
    QCOMPARE(Row(view->list(), 2).mid(0, 4), (QStringList{"3", "Street", "00:02", "128x96"}));
    QCOMPARE(Row(view->list(), 3), (QStringList{"4", Str(57977), "0", "0", "0K"}));
    QCOMPARE(Row(view->list(), 9), (QStringList{"10", Str(57722), "", "", "0K"}));

    // The first clip spans several parts on the phone.
    view->list()->setCurrentItem(view->list()->topLevelItem(0));
    frame.command(kSave);
    QCOMPARE(chosen, QString("Lake walk"));
    QCOMPARE(messages, QStringList{Str(57344) + ": " + Str(res::IDS_CLIP_SAVED)});
    QCOMPARE(Probe(out.filePath("Lake walk.avi")), QString("rawvideo,128,96,bgr24,5/1,40"));
    QCOMPARE(QDir(home.path()).entryList({"Video*"}), QStringList{"VideoIndex"});  // no parts, no clip

    // A clip of another size: the list shows its real size once it is known.
    view->list()->setCurrentItem(view->list()->topLevelItem(2));
    frame.command(kSave);
    QCOMPARE(Probe(out.filePath("Street.avi")), QString("rawvideo,176,144,bgr24,8/1,16"));
    QCOMPARE(view->list()->currentItem()->text(3), QString("176x144"));

    // A private clip is refused before anything is asked or fetched.
    messages.clear();
    chosen.clear();
    view->list()->setCurrentItem(view->list()->topLevelItem(3));
    frame.command(kSave);
    QCOMPARE(messages, QStringList{Str(57980) + ": " + Str(57978)});
    QVERIFY(chosen.isEmpty());
}

QTEST_MAIN(VideoPageTest)
#include "video_page_test.moc"
