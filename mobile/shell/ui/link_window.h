#pragma once
// A window handle for a QObject: messages posted to the handle (from any
// thread) reach the object on its own thread as LinkEvents. A record whose
// event is never handled (the object died first) is freed with the event.

#include "platform/messages.h"

#include <QEvent>
#include <QObject>

namespace shellui {

class LinkEvent final : public QEvent {
public:
    explicit LinkEvent(const plat::Message& m);
    ~LinkEvent() override;
    [[nodiscard]] static QEvent::Type Type();
    [[nodiscard]] const plat::Message& message() const { return message_; }
    // Hands the record (lParam of WM_LINK_RESULT) to the caller.
    [[nodiscard]] intptr_t takeRecord();

private:
    plat::Message message_;
};

class LinkWindow {
public:
    explicit LinkWindow(QObject* target);
    ~LinkWindow();
    LinkWindow(const LinkWindow&) = delete;
    LinkWindow& operator=(const LinkWindow&) = delete;
    [[nodiscard]] plat::WindowHandle handle() const { return handle_; }

private:
    plat::WindowHandle handle_ = 0;
};

}  // namespace shellui
