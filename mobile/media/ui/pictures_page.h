#pragma once
// Page 1 of the main frame, the pictures page. The left pane
// (CWallPaperLeftView) holds CImageView, which shows the picture loaded from
// the control bar's path field with the 128 x 160 frame of the phone's
// screen, and the zoom, preview and frame-mode buttons; the right pane
// (CWallPaperRightView) lists the user picture slots, camera photos and the
// pictures received by WAP and MMS. Everything they do runs through the
// media core (media::WallpaperFrame, media::SlotFlows, media::SaveItem);
// these widgets only present it.
//
// Thread affinity: the GUI thread.

#include "mobile/media/core/media_listing.h"
#include "mobile/media/core/wallpaper.h"
#include "mobile/shell/ui/page.h"

#include <QAbstractScrollArea>
#include <QWidget>

#include <memory>

class QLabel;
class QTabBar;
class QTreeWidget;
class QStackedWidget;

namespace mediaui {

// The picture with its frame; a scrolling view over the zoomed picture.
class CImageView final : public QAbstractScrollArea {
    Q_OBJECT
public:
    CImageView(media::WallpaperFrame& frame, QWidget* parent);
    // The model changed (picture, zoom, mode, frame): scroll area and picture.
    void refresh();
    // Where the zoomed picture's top-left corner lies in the viewport.
    [[nodiscard]] QPoint pictureOrigin() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow(const QPoint& at);

    media::WallpaperFrame& frame_;
};

class CWallPaperLeftView final : public QWidget {
    Q_OBJECT
public:
    CWallPaperLeftView(media::WallpaperFrame& frame, QWidget* parent);
    // Commands 1027-1031 (1030, the preview, is the page's).
    void command(int id);
    void refresh();
    [[nodiscard]] CImageView* imageView() const { return view_; }

signals:
    void previewRequested();

private:
    media::WallpaperFrame& frame_;
    CImageView* view_;
    QLabel* status_;
};

// The four lists of the phone's pictures.
class CWallPaperRightView final : public QWidget {
    Q_OBJECT
public:
    explicit CWallPaperRightView(QWidget* parent);
    // 2 user pictures, 3 camera, 4 WAP, 5 MMS.
    [[nodiscard]] int category() const { return category_; }
    [[nodiscard]] media::MediaList list() const;
    void setCategory(int category);
    // Shows rows; empty rows when not loaded; the empty state for a
    // camera, WAP or MMS list without rows.
    void showRows(const std::vector<media::MediaRow>& rows);
    [[nodiscard]] const media::MediaRow* selectedRow() const;
    void selectRow(int index);

signals:
    void categoryChosen(int category);

private:
    int category_ = 2;
    std::vector<media::MediaRow> rows_;
    QTabBar* tabs_;
    QStackedWidget* stack_;
    QTreeWidget* list_;
    QLabel* empty_;
};

// The page as the frame sees it.
class PicturesPage final : public QObject, public shellui::PageViews {
    Q_OBJECT
public:
    PicturesPage(shellui::PageHost& host, QWidget* parent);
    ~PicturesPage() override;

    QWidget* left() override { return left_; }
    QWidget* right() override { return right_; }
    [[nodiscard]] uint32_t controlMode() const override;
    void command(int id, const QString& text) override;
    void shown() override;
    void connectionChanged() override;

    [[nodiscard]] media::WallpaperFrame& frame() { return frame_; }
    [[nodiscard]] CWallPaperLeftView* leftView() const { return left_; }
    [[nodiscard]] CWallPaperRightView* rightView() const { return right_; }
    // Reloads the current list from its local copy (or the phone).
    void loadList();

private:
    void loadPicture(const QString& path);
    void putIntoSlot();
    void emptySlot();
    void saveItem();
    void preview();
    [[nodiscard]] bool phoneMode() const { return host_.connection().phoneMode; }
    [[nodiscard]] std::string programDirectory() const;

    shellui::PageHost& host_;
    media::WallpaperFrame frame_;
    CWallPaperLeftView* left_;
    CWallPaperRightView* right_;
};

[[nodiscard]] std::unique_ptr<shellui::PageViews> MakePicturesPage(shellui::PageHost& host, QWidget* parent);

}  // namespace mediaui
