// Screenshots of page 4: the messages read from the emulated phone, and the
// writing dialog with a text long enough for two messages.

#include "mobile/tools/screenshot_scene.h"
#include "mobile/app/pages.h"
#include "mobile/messages/ui/message_view.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/main_frame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTableWidget>

#include <cstdio>
#include <functional>

bool MessagesScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                         const std::function<QImage(const QImage&, const QImage&)>& compose)
{
    using namespace shellui;
    DemoPhone demo;
    if (DemoPhone::SimphoneProgram().isEmpty() || !demo.start()) {
        std::fprintf(stderr, "messages screenshots: the emulated phone did not start\n");
        return false;
    }
    FrameOptions options;
    options.splash = false;
    const auto window = scene::ConnectedFrame(options);
    CMainFrame& frame = *window;
    frame.command(shell::kCmdMessages);
    PageViews* views = frame.pageViews(shell::kCmdMessages);
    auto* view = views ? dynamic_cast<messagesui::CSmsView*>(views->left()) : nullptr;
    if (!view)
        return false;
    view->command(messagesui::kCmdRead);
    if (view->store().items().size() < 10)
        return false;
    view->list()->selectRow(1);
    scene::Settle(150);
    const QImage page = frame.grab().toImage();
    bool ok = save(page, "messages_page");

    messagesui::WriteDialog write(messagesui::WriteMode::New, "+8613912345678",
                                  QString::fromUtf8("周末一起去爬山吧！[Saturday 8:00] Meet at the north gate, "
                                                    "bring water, sun cream and a jacket; the top is windy. "
                                                    "We take the 6 bus back at 17:30."),
                                  nullptr, {}, &frame);
    write.show();
    write.textEdit()->moveCursor(QTextCursor::End);
    scene::Settle(150);
    ok &= save(compose(page, write.grab().toImage()), "messages_write");
    write.hide();
    return ok;
}
