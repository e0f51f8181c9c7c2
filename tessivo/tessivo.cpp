// OpenPanel: load the panel file, run it until its quit control is used,
// discard it.
#include "tessivo/tessivo.h"

#include "platform/program_dir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>
#include <QtUiTools/QUiLoader>

#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kPanelFile = "tessivo.uir";

std::string ExecutableDirectory()
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

std::optional<QString> FindPanelFile()
{
    for (const std::string& dir : {plat::ProgramDirectory(), ExecutableDirectory()}) {
        if (dir.empty())
            continue;
        const QString path = QString::fromStdString(dir + kPanelFile);
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

// Ends the panel's loop when the panel is closed by its window.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QEventLoop& loop) : loop_(loop) { }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            loop_.quit();
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop& loop_;
};

int RunPanel(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TESSIVO_NO_PANEL_FILE;
    QUiLoader loader;
    std::unique_ptr<QWidget> panel(loader.load(&file));
    if (!panel)
        return TESSIVO_BAD_PANEL;
    auto* quit = panel->findChild<QAbstractButton*>(QStringLiteral("quit"));
    if (quit == nullptr)
        return TESSIVO_NO_QUIT;

    QEventLoop loop;
    QObject::connect(quit, &QAbstractButton::clicked, &loop, &QEventLoop::quit);
    CloseWatcher watcher(loop);
    panel->installEventFilter(&watcher);
    panel->show();
    loop.exec();
    panel->removeEventFilter(&watcher);
    return TESSIVO_OK;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int OpenPanel(void)
{
    const std::optional<QString> path = FindPanelFile();
    if (!path)
        return TESSIVO_NO_PANEL_FILE;
    if (QApplication::instance() != nullptr)
        return RunPanel(*path);
    static int argc = 1;
    static char name[] = "tessivo";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    return RunPanel(*path);
}
