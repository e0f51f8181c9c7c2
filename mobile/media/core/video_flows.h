#pragma once
// The video clips' flows, run by the video page (in its progress window)
// and by `telvane video` (on a window-less runner) alike:
//
//   refresh  one download of the phone's clip index into the program
//            directory; success makes the library "connected" and loads
//            the index, failure clears it (the list shows blank rows);
//   save     checks the chosen clip, downloads its parts into the program
//            directory, joins them into a ".mjp" file there (deleting each
//            part once read) and converts that into the AVI file the user
//            chose, then deletes the ".mjp" file.
//
// Thread affinity: the front end's thread (plans are built and run there).

#include "mobile/media/core/clip_convert.h"
#include "mobile/media/core/clip_index.h"
#include "mobile/shell/core/batch_runner.h"

#include <string>
#include <vector>

namespace media {

// One download of "/app/camera/VideoIndex" to "VideoIndex" in programDir.
[[nodiscard]] shell::BatchPlan ClipIndexPlan(const std::string& programDir);

// One download for each part of the clip into programDir (the media parts'
// plan, titled 57899); the progress counts parts.
[[nodiscard]] shell::BatchPlan ClipPartsPlan(const ClipInfo& clip, const std::string& programDir);

enum class SaveStatus {
    Saved,
    NotConnected,  // no successful refresh: nothing happens
    NoSuchClip,  // no used record of that number
    Private,  // refused: messages 57978 / 57980
    DownloadFailed,  // a part could not be fetched (or the user cancelled): 57900
    ConvertFailed,  // 57900, with the reason in convert.error
};

struct SaveOutcome {
    SaveStatus status = SaveStatus::NoSuchClip;
    ConvertResult convert;
    std::string aviPath;  // the file written (the chosen path with ".avi")

    // The message to show: 57901 saved, 57900 failed, 57978 private; 0 none.
    [[nodiscard]] int messageId() const;
};

class VideoLibrary {
public:
    explicit VideoLibrary(std::string programDir);

    // Downloads the index (refresh); true when it succeeded. Either way the
    // list is loaded again.
    bool refresh(shell::BatchRunner& runner);
    // The link is gone: blank rows until the next refresh.
    void disconnect();
    [[nodiscard]] bool connected() const { return connected_; }

    // Reads the local index when connected. A file of another length than
    // 280 bytes leaves the clips as they were.
    IndexLoad load();
    [[nodiscard]] const std::vector<ClipInfo>& clips() const { return clips_; }
    // The list: blank rows while not connected, else one row per record.
    [[nodiscard]] std::vector<ClipRow> rows(const std::function<std::string(int)>& text) const;

    // Step 1 of a save: the clip behind a row, read again from the local
    // index. Saved means the clip may be saved (ask where next).
    [[nodiscard]] SaveStatus checkSave(int number, ClipInfo* clip = nullptr) const;
    // The rest: download, join, convert. chosenPath gets the extension ".avi".
    [[nodiscard]] SaveOutcome save(shell::BatchRunner& runner, int number, const std::string& chosenPath,
                                   const ConvertOptions& options = {});

    [[nodiscard]] const std::string& programDir() const { return dir_; }
    [[nodiscard]] std::string indexPath() const { return dir_ + kClipIndexName; }

private:
    std::string dir_;
    bool connected_ = false;
    std::vector<ClipInfo> clips_;
    std::vector<KnownClipSize> known_;
};

}  // namespace media
