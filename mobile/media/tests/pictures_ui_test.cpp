// The pictures page's widgets over a host that plays the frame: the path
// field loads a picture (or says why not and restores the field), the
// view's buttons drive the frame model, the tabs set the control bar, and
// dragging places the frame.
#include "mobile/media/ui/pictures_page.h"

#include <QAbstractScrollArea>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include <filesystem>

namespace {

class Host final : public shellui::PageHost {
public:
    shell::ConnectionState state;
    QString path;
    std::vector<int> messages, categories;
    const shell::ConnectionState& connection() const override { return state; }
    int runBatch(shell::BatchPlan) override { return shell::kBatchCancel; }
    plat::ThreadId workerThread() const override { return 0; }
    plat::WindowHandle mainWindow() const override { return 0; }
    void categoryChanged(int command) override { categories.push_back(command); }
    QString pathText() const override { return path; }
    void setPathText(const QString& text) override { path = text; }
    void message(int id, shell::Icon) override { messages.push_back(id); }
    bool ask(int) override { return true; }
    QWidget* dialogParent() override { return nullptr; }
};

}  // namespace

class PicturesUiTest : public QObject {
    Q_OBJECT
private slots:
    void pathModesTabsAndDrag()
    {
        namespace fs = std::filesystem;
        const fs::path dir =
            fs::temp_directory_path() / ("pictures_ui_" + std::to_string(QCoreApplication::applicationPid()));
        fs::create_directories(dir);
        QImage img(400, 300, QImage::Format_RGB888);
        img.fill(Qt::darkGreen);
        const QString picture = QString::fromStdString((dir / "p.bmp").string());
        QVERIFY(img.save(picture, "BMP"));

        Host host;
        QWidget parent;
        mediaui::PicturesPage page(host, &parent);
        page.command(1010, picture);
        QVERIFY(page.frame().loaded());
        QVERIFY(host.messages.empty());
        host.path = "typed";
        page.command(1010, QString::fromStdString((dir / "nothing.bmp").string()));
        QCOMPARE(host.messages.back(), 57711);
        QCOMPARE(host.path, picture);  // the field shows the loaded picture again

        // 400 x 300 is wider than the 280 x 265 view: the frame starts at the corner.
        QCOMPARE(page.frame().frame().x, 0);
        auto* view = page.leftView()->imageView();
        view->resize(280, 265);
        parent.show();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(page.frame().frame().x, 100 - 64);
        QCOMPARE(page.frame().frame().y, 100 - 80);

        auto button = [&](int id) { return page.leftView()->findChild<QToolButton*>(QString("button%1").arg(id)); };
        button(1027)->click();
        QCOMPARE(page.frame().zoomedWidth(), 800);
        button(1031)->click();
        QCOMPARE(int(page.frame().mode()), int(media::FrameMode::Stretch));
        button(1031)->click();
        button(1031)->click();
        QCOMPARE(int(page.frame().mode()), int(media::FrameMode::Free));
        QCOMPARE(page.frame().zoomedWidth(), 400);

        QCOMPARE(page.controlMode(), 515u);
        page.rightView()->findChild<QTabBar*>()->setCurrentIndex(1);
        QCOMPARE(host.categories.back(), 57983);
        QCOMPARE(page.controlMode(), 0x1F000005u);
        page.command(1043, {});  // not connected
        QCOMPARE(host.messages.back(), 57698);
        fs::remove_all(dir);
    }
};

QTEST_MAIN(PicturesUiTest)
#include "pictures_ui_test.moc"
