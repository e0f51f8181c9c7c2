// Screenshot of the ringtones page's MP3 form: the emulated phone switched
// off and powered into its boot ROM, MP3 mode connected through the flash
// bridge, the five MP3 slots read from the phone's flash and an MP3 file
// chosen on the PC.
#include "mobile/app/pages.h"
#include "mobile/media/ui/midi_views.h"
#include "mobile/shell/core/control_modes.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/main_frame.h"
#include "quorlink/media/sound_output.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

void WaitMs(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A few silent MP3 frames (MPEG 2.5 layer III, 8 kHz mono, 32 kbit/s).
QByteArray SilentMp3()
{
    QByteArray frame(288, '\0');
    frame[0] = char(0xFF), frame[1] = char(0xE3), frame[2] = char(0x48), frame[3] = char(0xC0);
    return frame.repeated(40);
}

}  // namespace

bool Mp3Screenshots(const std::function<bool(const QImage&, const QString&)>& save,
                    const std::function<shellui::FrameOptions()>& options)
{
    shellui::DemoPhone demo;
    if (shellui::DemoPhone::SimphoneProgram().isEmpty() || !demo.start()) {
        std::fprintf(stderr, "MP3 form: no emulated phone, not shown\n");
        return true;
    }
    quorlink::media::SetSoundOutput({quorlink::media::SoundOutput::Kind::Null, {}});
    QTemporaryDir dir;
    const QString song = dir.filePath("Morning walk.mp3");
    QFile f(song);
    if (!f.open(QIODevice::WriteOnly) || f.write(SilentMp3()) < 0)
        return false;
    f.close();

    shellui::FrameOptions o = options();
    o.startWorker = nullptr;  // quorlink's worker on the emulated phone
    o.detectCable = nullptr;
    o.pages = app::AllPages();
    shellui::CMainFrame frame(o);
    frame.show();
    frame.command(shell::kCmdPictures);
    WaitMs(150);
    demo.bootIntoLoader();
    frame.controller().connectCommand(shell::kModeMp3);
    WaitMs(300);
    auto* page = dynamic_cast<mediaui::SoundPage*>(frame.pageViews(shell::kCmdMp3Ringtones));
    if (!page || !frame.state().mp3Mode) {
        std::fprintf(stderr, "MP3 form: %s\n", page ? "MP3 mode did not connect" : "no page");
        return false;
    }
    frame.command(1010, song);
    page->rightView()->selectRow(0);
    WaitMs(300);
    return save(frame.grab().toImage(), "ringtones_mp3");
}
