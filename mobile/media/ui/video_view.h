#pragma once
// The video page: CVideoView lists the phone's clips (number, name,
// length, resolution, size) and saves the selected one as an AVI file.
// The frame forwards 1044 (refresh: read the clip index) and 1045 (save);
// both run the media core's flows in the frame's progress window.
//
// Thread affinity: the GUI thread.

#include "mobile/media/core/video_flows.h"
#include "mobile/shell/ui/page.h"

#include <QWidget>

#include <functional>
#include <memory>

class QTreeWidget;

namespace mediaui {

class CVideoView final : public QWidget {
    Q_OBJECT
public:
    CVideoView(shellui::PageHost& host, QWidget* parent);

    // 1044: download the index and list it (phone mode only).
    void refresh();
    // 1045: save the selected clip (nothing without a refresh or a selection).
    void save();
    // Shows the list the library holds (blank rows while not connected).
    void loadList();
    // The link is gone or changed mode.
    void connectionChanged();

    [[nodiscard]] QTreeWidget* list() const { return list_; }
    [[nodiscard]] const media::VideoLibrary& library() const { return library_; }

    // What the view asks of the user; tests replace them. chooseSavePath
    // gets the proposed file name and returns the chosen path (empty:
    // cancelled); message shows a caption and a text with an icon.
    std::function<QString(const QString& proposal)> chooseSavePath;
    std::function<void(const QString& caption, const QString& text, bool error)> message;

private:
    void showMessage(int textId, bool error, const QString& detail = {});

    shellui::PageHost& host_;
    media::VideoLibrary library_;
    QTreeWidget* list_;
};

// The page's registration: a single pane, control bar mode 0x200000D.
[[nodiscard]] std::unique_ptr<shellui::PageViews> MakeVideoPage(shellui::PageHost& host, QWidget* parent);

}  // namespace mediaui
