#include "mobile/media/core/sound_player.h"

#include "resources/strings.h"

#include <cstdio>

namespace media {

using quorlink::media::CMciDevice;
using quorlink::media::CSequencer;
namespace mci = quorlink::media::mci;

std::string PlayerTimeText(uint32_t positionMs, uint32_t lengthMs)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u/%02u:%02u", positionMs / 60000, positionMs / 1000 % 60, lengthMs / 60000,
                  lengthMs / 1000 % 60);
    return buf;
}

SoundPlayer::~SoundPlayer()
{
    stop();
}

SoundCheck SoundPlayer::select(const std::string& path)
{
    if (state_ != PlayerState::NoFile && path == selected_.path) {
        SoundCheck same;
        same.accepted = true;
        same.sound = selected_;
        return same;
    }
    stop();
    SoundCheck check = CheckSoundFile(path);
    if (!check.accepted)
        return check;
    selected_ = check.sound;
    state_ = PlayerState::Stopped;
    timeText_ = PlayerTimeText(0, 0);
    percent_ = 0;
    return check;
}

void SoundPlayer::clear()
{
    stop();
    selected_ = SelectedSound{};
    state_ = PlayerState::NoFile;
    timeText_.clear();
    percent_ = 0;
}

int SoundPlayer::play()
{
    if (state_ == PlayerState::NoFile)
        return 0;
    if (!PlayableOnPc(selected_.typeWord))
        return res::IDS_KIND_SOUND_CANNOT_PLAYED;
    if (state_ != PlayerState::Stopped)
        return 0;  // playing or paused: pause/resume and stop handle those
    CMciDevice::CloseAll();
    sequencer_ = std::make_unique<CSequencer>(isMp3() ? "MP3" : "");
    sequencer_->SetCallbackWnd(notifyWindow_);
    sequencer_->ReportErrors(true);
    if (sequencer_->Open(selected_.path) != 0)
        return 0;
    sequencer_->SetTimeFormat(CMciDevice::FormatMilliseconds);
    timeText_ = PlayerTimeText(0, sequencer_->GetSongLength());
    if (sequencer_->Play(true) == 0) {
        timer_ = true;
        state_ = PlayerState::Playing;
    }
    return 0;
}

void SoundPlayer::pauseResume()
{
    if (!sequencer_)
        return;
    if (state_ == PlayerState::Playing) {
        timer_ = false;
        sequencer_->Pause();
        pausedPos_ = sequencer_->GetCurrentPos();
        pausedLength_ = sequencer_->GetSongLength();
        state_ = PlayerState::Paused;
    } else if (state_ == PlayerState::Paused) {
        if (isMp3())
            sequencer_->Resume();
        else
            sequencer_->Play(pausedPos_, pausedLength_, true);
        timer_ = true;
        state_ = PlayerState::Playing;
    }
}

void SoundPlayer::stop()
{
    if (state_ != PlayerState::Playing && state_ != PlayerState::Paused)
        return;
    timer_ = false;
    timeText_ = PlayerTimeText(0, 0);
    if (sequencer_ && sequencer_->Stop() == 0) {
        sequencer_->SeekToStart();
        percent_ = 0;
    }
    CMciDevice::CloseAll();
    sequencer_.reset();
    // With every device closed nothing plays, whatever the stop answered;
    // staying "playing" would leave the buttons driving a closed device.
    state_ = PlayerState::Stopped;
    percent_ = 0;
}

bool SoundPlayer::tick()
{
    if (state_ != PlayerState::Playing || !sequencer_)
        return false;
    const uint32_t length = sequencer_->GetSongLength();
    const uint32_t position = sequencer_->GetCurrentPos();
    percent_ = length ? int(uint64_t(position) * 100 / length) : 0;
    std::string text = PlayerTimeText(position, length);
    if (text == timeText_)
        return false;
    timeText_ = std::move(text);
    return true;
}

void SoundPlayer::onNotify(uint32_t flag, uint32_t deviceId)
{
    // A late notification of a device closed since (the song ended just as
    // the user pressed play again) must not stop the new one.
    if (!sequencer_ || deviceId != sequencer_->GetDeviceID())
        return;
    if (flag == mci::MCI_NOTIFY_SUCCESSFUL || flag == mci::MCI_NOTIFY_FAILURE)
        stop();
}

}  // namespace media
