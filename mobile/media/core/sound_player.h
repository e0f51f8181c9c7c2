#pragma once
// The player of the ringtones page: the selected PC sound, its state
// (0 no file, 1 stopped, 2 playing, 3 paused), the time text and position
// bar, over a CSequencer.
//
// The front end owns a 200 ms timer that runs while timerWanted() is true
// and calls tick(), and hands the device's MM_MCINOTIFY messages to
// onNotify() on its own thread; notifyWindow is the handle those messages
// are posted to.
//
// Thread affinity: the front end's thread.

#include "mobile/media/core/sound_file.h"
#include "quorlink/media/mci_device.h"

#include <memory>
#include <string>

namespace media {

enum class PlayerState { NoFile = 0, Stopped = 1, Playing = 2, Paused = 3 };

class SoundPlayer {
public:
    explicit SoundPlayer(plat::WindowHandle notifyWindow) : notifyWindow_(notifyWindow) { }
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Selects a file; the same path again does nothing. A refused file
    // leaves the selection as it was (the result says why).
    [[nodiscard]] SoundCheck select(const std::string& path);
    // Stops and forgets the file (the link was lost).
    void clear();

    // Play (1032): 0, or the string id to show (57920 for a sound the PC
    // does not play). Device errors are reported by the device itself.
    [[nodiscard]] int play();
    // Pause or resume (1033).
    void pauseResume();
    // Stop (1038).
    void stop();
    // Every 200 ms while playing; true when the time text changed.
    bool tick();
    // MM_MCINOTIFY: the end of the song or a failure stops the player.
    void onNotify(uint32_t flag, uint32_t deviceId);

    [[nodiscard]] PlayerState state() const { return state_; }
    [[nodiscard]] const SelectedSound& selected() const { return selected_; }
    [[nodiscard]] const std::string& timeText() const { return timeText_; }
    [[nodiscard]] int positionPercent() const { return percent_; }
    [[nodiscard]] bool timerWanted() const { return timer_; }
    // The three player buttons: a file is selected and it is not ADP.
    [[nodiscard]] bool buttonsEnabled() const { return state_ != PlayerState::NoFile && selected_.typeWord != "ADP"; }

private:
    [[nodiscard]] bool isMp3() const { return selected_.typeWord == "MP3"; }

    plat::WindowHandle notifyWindow_;
    SelectedSound selected_;
    PlayerState state_ = PlayerState::NoFile;
    std::unique_ptr<quorlink::media::CSequencer> sequencer_;
    std::string timeText_;
    int percent_ = 0;
    bool timer_ = false;
    uint32_t pausedPos_ = 0;
    uint32_t pausedLength_ = 0;
};

// "%02d:%02d/%02d:%02d" of two millisecond counts.
[[nodiscard]] std::string PlayerTimeText(uint32_t positionMs, uint32_t lengthMs);

}  // namespace media
