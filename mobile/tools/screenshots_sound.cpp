// Screenshots of the ringtones page: the emulated phone connected in phone
// mode, a MIDI tune chosen in the path field and playing (to no sound card:
// the null output keeps the song's pace); and its MP3 form: the emulated
// phone switched off and powered into its boot ROM, MP3 mode connected
// through the flash bridge, the five MP3 slots read from the phone's flash
// and an MP3 file chosen on the PC.
#include "mobile/tools/screenshot_scene.h"
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
#include <memory>
#include <vector>

namespace {

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

// A few silent MP3 frames (MPEG 2.5 layer III, 8 kHz mono, 32 kbit/s).
QByteArray SilentMp3()
{
    QByteArray frame(288, '\0');
    frame[0] = char(0xFF), frame[1] = char(0xE3), frame[2] = char(0x48), frame[3] = char(0xC0);
    return frame.repeated(40);
}

// The bytes as dir/name; the path, or empty when it cannot be written.
QString WriteSound(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
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
    const QString tune = WriteSound(dir, "Evening bells.mid", Tune());
    if (tune.isEmpty())
        return false;
    const auto frame = scene::ConnectedFrame(options());
    frame->command(32773);
    scene::Settle(150);
    auto* page = dynamic_cast<mediaui::SoundPage*>(frame->pageViews(32773));
    if (!page || !frame->state().phoneMode) {
        std::fprintf(stderr, "ringtones page: %s\n", page ? "the phone did not connect" : "no page");
        return false;
    }
    frame->command(1010, tune);
    page->rightView()->selectRow(1);
    page->leftView()->play();
    scene::Settle(1300);
    return save(frame->grab().toImage(), "ringtones_playing");
}

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
    const QString song = WriteSound(dir, "Morning walk.mp3", SilentMp3());
    if (song.isEmpty())
        return false;
    const auto frame = scene::ShowFrame(options());
    demo.bootIntoLoader();
    frame->controller().connectCommand(shell::kModeMp3);
    scene::Settle(300);
    auto* page = dynamic_cast<mediaui::SoundPage*>(frame->pageViews(shell::kCmdMp3Ringtones));
    if (!page || !frame->state().mp3Mode) {
        std::fprintf(stderr, "MP3 form: %s\n", page ? "MP3 mode did not connect" : "no page");
        return false;
    }
    frame->command(1010, song);
    page->rightView()->selectRow(0);
    scene::Settle(300);
    return save(frame->grab().toImage(), "ringtones_mp3");
}
