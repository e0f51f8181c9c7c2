#pragma once
// CControlView: the bar across the bottom of the work area with the path
// field, its browse button and up to eleven command buttons (1042..1052),
// shown and placed by the control mode.

#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>

class QLabel;
class QLineEdit;
class QToolButton;

namespace shellui {

class CControlView final : public QWidget {
public:
    // command(id, text): a button click (text empty) or the path field's
    // confirmed text (id 1010).
    explicit CControlView(std::function<void(int, const QString&)> command, QWidget* parent = nullptr);

    void setMode(uint32_t mode, bool mp3Mode, const QString& path = {});
    [[nodiscard]] uint32_t mode() const { return mode_; }
    // Ids of the visible buttons, right to left.
    [[nodiscard]] QList<int> visibleButtons() const;
    [[nodiscard]] QToolButton* button(int id) const;
    [[nodiscard]] bool pathFieldVisible() const;
    [[nodiscard]] QString pathText() const;
    void setPathText(const QString& text);
    void setButtonEnabled(int id, bool enabled);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void layoutButtons();

    std::function<void(int, const QString&)> command_;
    std::map<int, QToolButton*> buttons_;
    QLabel* label_ = nullptr;
    QLineEdit* path_ = nullptr;
    QToolButton* browse_ = nullptr;
    uint32_t mode_ = 0;
    bool mp3_ = false;
};

}  // namespace shellui
