// The window tour: the MP3 form before any connection, then the emulated
// phone connected in phone mode and every page of the toolbar in turn,
// each with the cursor over the next page's button (hot tracking), a
// balloon tooltip on a control-bar button, the question asked before the
// MP3 form ends phone mode, and the about box.
#include "mobile/tools/screenshot_scene.h"
#include "mobile/app/pages.h"
#include "mobile/shell/core/connection.h"
#include "mobile/shell/ui/balloon_tip.h"
#include "mobile/shell/ui/control_view.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/page_toolbar.h"
#include "mobile/shell/ui/resource_bundle.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QToolButton>

#include <cstdio>
#include <functional>

namespace {

// Puts the cursor over a page's toolbar button and lets the hot tracking
// see it.
void HoverPage(shellui::CMainFrame& frame, int command)
{
    shellui::CPageToolbar* bar = frame.pageToolbar();
    for (int i = 0; i < bar->count(); ++i) {
        if (bar->commandAt(i) == command)
            QCursor::setPos(bar->mapToGlobal(bar->buttonRect(i).center()));
    }
    scene::Settle(120);
}

// The frame with a control-bar button's balloon tooltip drawn where the
// screen shows it (the tip is a window of its own, cut to its shape).
QImage WithBalloon(shellui::CMainFrame& frame, QToolButton* button)
{
    QHelpEvent help(QEvent::ToolTip, button->rect().center(), button->mapToGlobal(button->rect().center()));
    QApplication::sendEvent(button, &help);
    scene::Settle(120);
    const QImage window = frame.grab().toImage();
    shellui::CBalloonTip* tip = frame.balloonTips()->tip();
    if (!tip->isVisible())
        return window;
    // The tip may reach past the window's edge: the picture grows to hold it.
    const QPoint tipAt = tip->geometry().topLeft() - frame.mapToGlobal(QPoint(0, 0));
    const QRect all = window.rect().united(QRect(tipAt, tip->size()));
    QImage out(all.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(-all.topLeft(), window);
    const QPoint at = tipAt - all.topLeft();
    if (!tip->mask().isEmpty())
        p.setClipRegion(tip->mask().translated(at));
    p.drawImage(at, tip->grab().toImage());
    p.end();
    tip->hide();
    return out;
}

}  // namespace

bool FrameTourScreenshots(const std::function<bool(const QImage&, const QString&)>& save,
                          const std::function<QImage(const QImage&, const QImage&)>& compose,
                          const std::function<shellui::FrameOptions()>& options)
{
    shellui::DemoPhone demo;
    if (shellui::DemoPhone::SimphoneProgram().isEmpty() || !demo.start()) {
        std::fprintf(stderr, "window tour: no emulated phone, not shown\n");
        return true;
    }
    shellui::FrameOptions o = options();
    o.startWorker = nullptr;  // quorlink's worker on the emulated phone
    o.detectCable = nullptr;
    o.pages = app::AllPages();
    o.commands = app::AllCommands();
    shellui::CMainFrame frame(o);
    frame.show();
    bool ok = true;

    // Not connected, every page can be looked at; the MP3 form waits for
    // MP3 mode.
    frame.command(shell::kCmdMp3Ringtones);
    HoverPage(frame, shell::kCmdPhonebook);
    ok &= save(frame.grab().toImage(), "tour_mp3_not_connected");

    frame.command(shell::kCmdPictures);
    scene::Settle(150);
    frame.controller().connectCommand(shell::kModePhone);
    scene::Settle(300);
    if (!frame.state().phoneMode) {
        std::fprintf(stderr, "window tour: the phone did not connect\n");
        return false;
    }
    struct Stop {
        int command;
        int next;  // the button the cursor is over
        const char* name;
    };
    constexpr Stop kStops[] = {
        {shell::kCmdPictures, shell::kCmdRingtones, "tour_pictures"},
        {shell::kCmdRingtones, shell::kCmdPhonebook, "tour_ringtones"},
        {shell::kCmdPhonebook, shell::kCmdMessages, "tour_phonebook"},
        {shell::kCmdMessages, shell::kCmdVideo, "tour_messages"},
        {shell::kCmdVideo, shell::kCmdMp3Ringtones, "tour_video"},
    };
    for (const Stop& stop : kStops) {
        frame.command(stop.command);
        scene::Settle(300);
        HoverPage(frame, stop.next);
        ok &= save(frame.grab().toImage(), stop.name);
    }

    frame.command(shell::kCmdPictures);
    QCursor::setPos(frame.mapToGlobal(QPoint(400, 300)));
    scene::Settle(200);
    ok &= save(WithBalloon(frame, frame.controlView()->button(1043)), "tour_balloon");
    const QImage back = frame.grab().toImage();
    {
        shellui::TemplateDialog question(257, &frame);
        question.show();
        scene::Settle(150);
        ok &= save(compose(back, question.grab().toImage()), "tour_question_257");
    }
    {
        QMessageBox about(QMessageBox::NoIcon, shellui::Str(59025), shellui::AboutText(), QMessageBox::Ok, &frame);
        about.show();
        scene::Settle(150);
        ok &= save(compose(back, about.grab().toImage()), "tour_about");
    }
    return ok;
}
