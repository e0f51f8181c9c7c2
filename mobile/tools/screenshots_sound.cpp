// Screenshots of the ringtones page: the emulated phone connected in phone
// mode, a MIDI tune chosen in the path field and playing (to no sound card:
// the null output keeps the song's pace).
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
#include <vector>

namespace {

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A short tune: a rising arpeggio on the piano, eight beats at 120 bpm.
QByteArray Tune()
{
    std::vector<uint8_t> track = {0x00, 0xC0, 0x00};
    const uint8_t notes[] = {60, 64, 67, 72, 67, 64, 60, 55};
    for (const uint8_t n : notes) {
        track.insert(track.end(), {0x00, 0x90, n, 0x60, 0x60, 0x80, n, 0x40});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    QByteArray f("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk", 18);
    for (int i = 3; i >= 0; --i)
        f.append(char(track.size() >> (8 * i)));
    f.append(reinterpret_cast<const char*>(track.data()), static_cast<qsizetype>(track.size()));
    return f;
}

}  // namespace

bool SoundScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                      const std::function<shellui::FrameOptions()>& options)
{
    shellui::DemoPhone demo;
    if (shellui::DemoPhone::SimphoneProgram().isEmpty() || !demo.start()) {
        std::fprintf(stderr, "ringtones page: no emulated phone, not shown\n");
        return true;
    }
    quorlink::media::SetSoundOutput({quorlink::media::SoundOutput::Kind::Null, {}});
    QTemporaryDir dir;
    const QString tune = dir.filePath("Evening bells.mid");
    QFile f(tune);
    if (!f.open(QIODevice::WriteOnly) || f.write(Tune()) < 0)
        return false;
    f.close();

    shellui::FrameOptions o = options();
    o.startWorker = nullptr;  // quorlink's worker on the emulated phone
    o.detectCable = nullptr;
    o.pages = app::AllPages();
    shellui::CMainFrame frame(o);
    frame.show();
    frame.command(shell::kCmdPictures);
    Wait(150);
    frame.controller().connectCommand(shell::kModePhone);
    Wait(150);
    frame.command(32773);
    Wait(150);
    auto* page = dynamic_cast<mediaui::SoundPage*>(frame.pageViews(32773));
    if (!page || !frame.state().phoneMode) {
        std::fprintf(stderr, "ringtones page: %s\n", page ? "the phone did not connect" : "no page");
        return false;
    }
    frame.command(1010, tune);
    page->rightView()->selectRow(1);
    page->leftView()->play();
    Wait(1300);
    return save(frame.grab().toImage(), "ringtones_playing");
}
