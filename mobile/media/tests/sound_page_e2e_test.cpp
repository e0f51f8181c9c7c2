// The ringtones page end to end: the main frame with the real phone-link
// worker and the emulated phone. A MIDI file chosen in the path field goes
// into an empty ringtone slot (the phone holds the same bytes and lists the
// name), the slot is emptied again, and the three-part WAP voice clip is
// saved byte for byte. A scripted user answers the dialogs.

#include "mobile/app/pages.h"
#include "mobile/media/core/media_slots.h"
#include "mobile/media/core/mp3_index.h"
#include "mobile/media/ui/midi_views.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "platform/clock.h"
#include "platform/program_dir.h"
#include "quorlink/media/mp3_convert.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QInputDialog>
#include <QAbstractButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <cstdlib>

using namespace shellui;

namespace {

// Accepts whatever modal dialog comes: the name dialog keeps its preset,
// the save dialog gets the planned file, questions and messages get OK
// (questions get Cancel while refuseQuestions is set).
class User : public QObject {
public:
    User()
    {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start();
    }
    QString saveAs;
    QStringList seen;
    bool refuseQuestions = false;

private:
    void look()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w)
            return;  // (dialogs close as they are answered, so each is seen once)
        if (auto* d = qobject_cast<QInputDialog*>(w)) {
            seen << "name:" + d->textValue();
            d->accept();
        } else if (auto* f = qobject_cast<QFileDialog*>(w)) {
            // The dialog fills in its proposed name once its directory has loaded, which
            // may undo selectFile(); type the planned file into its name field instead and
            // accept only when that is what the dialog would return.
            f->selectFile(saveAs);
            if (auto* name = f->findChild<QLineEdit*>("fileNameEdit"))
                name->setText(saveAs);
            if (f->selectedFiles().value(0) == saveAs)
                static_cast<QDialog*>(f)->accept();
        } else if (auto* m = qobject_cast<QMessageBox*>(w)) {
            seen << m->text();
            if (QAbstractButton* cancel = m->button(QMessageBox::Cancel); cancel && refuseQuestions)
                cancel->click();
            else if (QAbstractButton* ok = m->button(QMessageBox::Ok))
                ok->click();
            else
                m->accept();
        } else if (auto* t = dynamic_cast<TemplateDialog*>(w)) {
            t->accept();
        }
    }
    QTimer timer_;
};

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A MIDI song of a few notes.
QByteArray Song()
{
    const char track[] = "\x00\xC0\x0B\x00\x90\x48\x60\x60\x80\x48\x40\x00\x90\x4C\x60\x60\x80\x4C\x40\x00\xFF\x2F\x00";
    QByteArray f("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0", 21);
    f.append(char(sizeof track - 1));
    f.append(track, sizeof track - 1);
    return f;
}

}  // namespace

class SoundPageE2eTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void putListEmptyAndSave();
    void mp3ModeThroughTheConnectionDialog();

private:
    std::unique_ptr<ResourceBundle> bundle_;
};

void SoundPageE2eTest::initTestCase()
{
    qputenv("TELVANE_SIMPHONE", TELVANE_SIMPHONE_PROGRAM);
    BundleError e = BundleError::None;
    bundle_ = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "en", &e);
    QVERIFY(bundle_);
    SetResources(bundle_.get());
}

void SoundPageE2eTest::cleanupTestCase()
{
    SetResources(nullptr);
}

void SoundPageE2eTest::putListEmptyAndSave()
{
    QTemporaryDir dir;
    qputenv("TELVANE_HOME", (dir.path() + "/home").toLocal8Bit());
    DemoPhone phone;
    QVERIFY2(phone.start(), qPrintable(phone.error()));
    const QString app = phone.stateDirectory();
    const QString song = dir.filePath("Evening bells.mid");
    {
        QFile f(song);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Song());
    }

    FrameOptions options;
    options.splash = false;
    options.pages = app::AllPages();
    CMainFrame frame(options);
    frame.show();
    User user;
    frame.controller().connectCommand(shell::kModePhone);
    QTRY_VERIFY_WITH_TIMEOUT(frame.state().phoneMode, 20000);
    frame.command(32773);
    auto* page = dynamic_cast<mediaui::SoundPage*>(frame.pageViews(32773));
    QVERIFY(page);

    // Slot 3 of the sample phone is empty.
    const auto& rows = page->rightView()->rows();
    QCOMPARE(int(rows.size()), 10);
    QVERIFY(rows[0].used);
    QVERIFY(!rows[2].used);
    frame.command(1010, song);
    QCOMPARE(page->leftView()->player().selected().typeWord, std::string("MIDI"));
    page->rightView()->selectRow(2);
    frame.command(1043);
    QVERIFY(user.seen.contains("name:Evening bell"));
    const QString slotFile = app + QString::fromStdString(media::SlotPhonePath(media::SlotFileKind::Midi, 3));
    QCOMPARE(ReadAll(slotFile), Song());
    QVERIFY(page->rightView()->rows()[2].used);
    QCOMPARE(page->rightView()->rows()[2].name, std::string("Evening bell"));

    // The phone's own index lists it: read it again from the phone.
    QFile::remove(QString::fromStdString(plat::ProgramDirectory()) + "midi.idx");
    frame.command(32772);
    frame.command(32773);
    QCOMPARE(page->rightView()->rows()[2].name, std::string("Evening bell"));

    page->rightView()->selectRow(2);
    frame.command(1051);
    QVERIFY2(!QFile::exists(slotFile), qPrintable(user.seen.join(" / ")));
    QVERIFY(!page->rightView()->rows()[2].used);

    // The WAP voice clip lives on the phone in three parts.
    user.saveAs = dir.filePath("voice.amr");
    page->rightView()->selectRow(0);
    emit page->rightView()->categoryChosen(2);
    QCOMPARE(int(page->rightView()->rows().size()), 3);
    page->rightView()->selectRow(2);
    frame.command(1044);
    const QByteArray joined = ReadAll(app + "/app/wp/waud003.amr") + ReadAll(app + "/app/wp/waud003.amr_1") +
        ReadAll(app + "/app/wp/waud003.amr_2");
    QCOMPARE(joined.size(), 40961);
    QVERIFY2(ReadAll(user.saveAs) == joined, qPrintable(user.seen.join(" / ")));
}

// Half a second of a 440 Hz tone made into an MP3 file by the encoder.
bool WriteToneMp3(const QString& wavPath, const QString& mp3Path)
{
    QFile f(wavPath);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 rate = 22050, samples = rate / 2;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << rate << quint32(rate * 2) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(samples * 2);
    for (quint32 i = 0; i < samples; ++i)
        out << qint16(8000 * std::sin(i * 2 * M_PI * 440 / rate));
    f.close();
    const QString lame = "lame --quiet '" + wavPath + "' '" + mp3Path + "'";
    return std::system(lame.toLocal8Bit().constData()) == 0;
}

void SoundPageE2eTest::mp3ModeThroughTheConnectionDialog()
{
    // The scan waits 10 s for the switched-off phone; let it pass faster.
    plat::SetClockScaleForTesting(8.0);
    QTemporaryDir dir;
    qputenv("TELVANE_HOME", (dir.path() + "/home").toLocal8Bit());
    DemoPhone phone;
    QVERIFY2(phone.start(), qPrintable(phone.error()));
    const QString song = dir.filePath("morning walk.mp3");
    QVERIFY(WriteToneMp3(dir.filePath("tone.wav"), song));

    FrameOptions options;
    options.splash = false;
    options.pages = app::AllPages();
    options.beforeMp3Attempt = [&phone] { phone.bootIntoLoader(); };
    CMainFrame frame(options);
    frame.show();
    User user;
    QVERIFY(frame.controller().connectionDialogLoop(shell::kModeMp3));
    QVERIFY(frame.state().mp3Mode);
    auto* page = dynamic_cast<mediaui::SoundPage*>(frame.pageViews(shell::kCmdMp3Ringtones));
    QVERIFY(page);
    const auto& rows = page->rightView()->rows();
    QCOMPARE(int(rows.size()), 5);
    QCOMPARE(rows[0].name, std::string("Sample Tune"));
    QVERIFY(!rows[1].used);

    frame.command(1010, song);
    QCOMPARE(page->leftView()->player().selected().typeWord, std::string("MP3"));
    page->rightView()->selectRow(1);
    frame.command(1043);
    QVERIFY2(user.seen.contains("name:morning walk"), qPrintable(user.seen.join(" / ")));
    QCOMPARE(page->rightView()->rows()[1].name, std::string("morning walk"));

    // Slot 2 (k = 1) holds the encoded sound from sector 73, byte for byte,
    // and the index in sector 60 lists it with a valid checksum.
    const std::string own = dir.filePath("own/").toStdString();
    QDir().mkpath(QString::fromStdString(own));
    namespace qm = quorlink::media;
    QCOMPARE(qm::RunEncoder(qm::Mp3Run::Decode, song.toStdString(), own), qm::kRunOk);
    QCOMPARE(qm::RunEncoder(qm::Mp3Run::Encode, {}, own), qm::kRunOk);
    const QByteArray encoded = ReadAll(QString::fromStdString(own) + "encoded.mp3");
    QVERIFY(encoded.size() > 1000);
    QCOMPARE(phone.control("flash-save"), QString("OK"));  // the loader keeps its flash image in memory
    const QByteArray flash = ReadAll(phone.stateDirectory() + "/flash.bin");
    QVERIFY(flash.mid(73 * 0x20000, encoded.size()) == encoded);
    const QByteArray index = flash.mid(60 * 0x20000, int(media::kMp3IndexSize));
    media::Mp3Index parsed{};
    std::copy(index.begin(), index.end(), parsed.begin());
    QVERIFY(media::Mp3IndexValid(parsed));
    QCOMPARE(media::Mp3Rows(parsed)[1].size, uint32_t(encoded.size()));

    // Emptying a slot asks first: refused, the slot keeps its sound.
    page->rightView()->selectRow(1);
    user.refuseQuestions = true;
    user.seen.clear();
    frame.command(1051);
    QVERIFY2(user.seen.contains("Empty the selected slot?"), qPrintable(user.seen.join(" / ")));
    QVERIFY(page->rightView()->rows()[1].used);
    user.refuseQuestions = false;
    frame.command(1051);
    QVERIFY(!page->rightView()->rows()[1].used);
    QVERIFY(page->rightView()->rows()[0].used);
    plat::SetClockScaleForTesting(1.0);
}

QTEST_MAIN(SoundPageE2eTest)
#include "sound_page_e2e_test.moc"
