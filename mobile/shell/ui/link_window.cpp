#include "mobile/shell/ui/link_window.h"

#include "quorlink/link/link_protocol.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstdlib>

namespace shellui {

LinkEvent::LinkEvent(const plat::Message& m) : QEvent(Type()), message_(m) { }

LinkEvent::~LinkEvent()
{
    if (message_.message == WM_LINK_RESULT)
        std::free(reinterpret_cast<void*>(message_.lParam));
}

QEvent::Type LinkEvent::Type()
{
    static const int type = QEvent::registerEventType();
    return static_cast<QEvent::Type>(type);
}

intptr_t LinkEvent::takeRecord()
{
    const intptr_t r = message_.lParam;
    message_.lParam = 0;
    return r;
}

LinkWindow::LinkWindow(QObject* target)
{
    // The handle is removed (waiting for running deliveries) before the
    // target dies, so target is valid whenever deliver runs.
    handle_ = plat::RegisterWindow(
        [target](const plat::Message& m) { QCoreApplication::postEvent(target, new LinkEvent(m)); });
}

LinkWindow::~LinkWindow()
{
    plat::UnregisterWindow(handle_);
}

}  // namespace shellui
