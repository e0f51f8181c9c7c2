#pragma once
// CControlView: the bar across the bottom of the work area with the path
// field, its browse button and up to eleven command buttons (1042..1052),
// shown and placed by the control mode.
//
// The field remembers the last picture path and the last sound path: a
// mode that shows one of them brings it back. A button whose command
// cannot work without a connection that is missing is drawn dimmed and
// says what it needs in its tooltip; it still sends its command, which the
// frame answers with that message.

#include <QWidget>

#include "mobile/shell/core/control_modes.h"

#include <QIcon>

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

    void setMode(uint32_t mode, bool mp3Mode);
    [[nodiscard]] uint32_t mode() const { return mode_; }
    // Ids of the visible buttons, right to left.
    [[nodiscard]] QList<int> visibleButtons() const;
    [[nodiscard]] QToolButton* button(int id) const;
    [[nodiscard]] bool pathFieldVisible() const;
    [[nodiscard]] QString pathText() const;
    void setPathText(const QString& text);
    void setButtonEnabled(int id, bool enabled);
    // reasonId: the tooltip line that says what the command needs; 0 when
    // it can work now.
    void setUnavailable(int id, int reasonId);
    [[nodiscard]] bool isUnavailable(int id) const { return reasons_.count(id) && reasons_.at(id) != 0; }
    // The tooltip of button 1042 (connect or end the connection).
    void setConnectTooltip(int stringId);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void layoutButtons();
    void updateTooltip(int id);

    std::function<void(int, const QString&)> command_;
    std::map<int, QToolButton*> buttons_;
    QLabel* label_ = nullptr;
    QLineEdit* path_ = nullptr;
    QToolButton* browse_ = nullptr;
    std::map<int, QIcon> icons_;
    std::map<int, QIcon> dimmedIcons_;
    std::map<int, QString> tips_;
    std::map<int, int> reasons_;
    std::map<shell::PathSource, QString> paths_;
    shell::PathSource source_ = shell::PathSource::Empty;
    uint32_t mode_ = 0;
    bool mp3_ = false;
};

}  // namespace shellui
