// Page 5 as the user sees it: connected to the emulated phone, the clip
// list read, and the QCIF clip saved so that its row shows its real size.
#include "screenshots_video.h"

#include "mobile/app/pages.h"
#include "mobile/media/ui/video_view.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/tools/screenshot_scene.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>

bool VideoScreenshots(const QString& dir, const QString& suffix)
{
    using namespace shellui;
    DemoPhone demo;
    if (DemoPhone::SimphoneProgram().isEmpty() || !demo.start()) {
        std::fprintf(stderr, "video page: no emulated phone (%s)\n", qPrintable(demo.error()));
        return false;
    }
    FrameOptions options;
    options.splash = false;
    const auto window = scene::ConnectedFrame(options);
    CMainFrame& frame = *window;
    frame.command(shell::kCmdVideo);
    frame.command(1044);  // refresh
    auto* view = frame.findChild<mediaui::CVideoView*>();
    if (!view || view->list()->topLevelItemCount() < 3)
        return false;
    QTemporaryDir out;
    view->chooseSavePath = [&out](const QString& proposal) { return out.filePath(proposal); };
    view->message = [](const QString&, const QString&, bool) {};
    view->list()->setCurrentItem(view->list()->topLevelItem(2));
    frame.command(1045);  // save
    scene::Settle(200);
    const QString path = dir + "/main_video" + suffix + ".png";
    const bool ok = frame.grab().toImage().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}
