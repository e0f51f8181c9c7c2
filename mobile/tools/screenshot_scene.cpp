#include "mobile/tools/screenshot_scene.h"

#include "mobile/app/pages.h"
#include "mobile/shell/core/connection.h"

#include <QApplication>
#include <QElapsedTimer>

namespace scene {

void Settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

std::unique_ptr<shellui::CMainFrame> ShowFrame(shellui::FrameOptions options)
{
    options.startWorker = nullptr;
    options.detectCable = nullptr;
    options.pages = app::AllPages();
    auto frame = std::make_unique<shellui::CMainFrame>(options);
    frame->show();
    frame->command(shell::kCmdPictures);
    Settle(150);
    return frame;
}

std::unique_ptr<shellui::CMainFrame> ConnectedFrame(shellui::FrameOptions options)
{
    auto frame = ShowFrame(std::move(options));
    frame->controller().connectCommand(shell::kModePhone);
    Settle(150);
    return frame;
}

}  // namespace scene
