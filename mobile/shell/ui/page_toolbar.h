#pragma once
// The page toolbar (toolbar 136): one 80 x 80 button per page with a
// 70 x 66 image from the toolbar strip, whose second half holds the
// highlighted images (image index + number of buttons).
//
// Hot tracking: while the cursor is over the bar a 10 ms timer looks at
// which button is under it and draws that one highlighted; when the cursor
// has left, the timer stops and only the current page's button stays
// highlighted. A press and a release on the same button send its command.
//
// GUI thread only.

#include <QBasicTimer>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <vector>

namespace shellui {

class CPageToolbar final : public QWidget {
public:
    static constexpr int kHotTimerMs = 10;
    static constexpr int kButtonSize = 80;
    static constexpr QSize kImageSize{70, 66};

    explicit CPageToolbar(std::function<void(int command)> command, QWidget* parent = nullptr);

    // The page shown: its button stays highlighted (checked).
    void setCurrent(int command);
    [[nodiscard]] int current() const { return current_; }
    [[nodiscard]] int count() const { return int(buttons_.size()); }
    [[nodiscard]] int commandAt(int index) const;
    [[nodiscard]] QRect buttonRect(int index) const;
    // The button under the cursor at the last tick; -1 for none.
    [[nodiscard]] int hotIndex() const { return hot_; }
    [[nodiscard]] bool tracking() const { return timer_.isActive(); }
    // Index into the strip of the image a button is drawn with now.
    [[nodiscard]] int imageIndexOf(int index) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    struct Button {
        int command;
        int image;
        int tooltipId;
    };
    [[nodiscard]] int indexAt(const QPoint& at) const;
    void track();
    void setHot(int index);

    std::function<void(int)> command_;
    std::vector<Button> buttons_;
    QPixmap strip_;
    QBasicTimer timer_;
    int current_ = 0;
    int hot_ = -1;
    int pressed_ = -1;
};

}  // namespace shellui
