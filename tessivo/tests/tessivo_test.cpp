// OpenPanel on the offscreen platform: the quit control ends it, closing the
// window ends it, and panels it cannot run are refused.
#include "tessivo/tessivo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const char* const kPanel = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>P</class>
 <widget class="QWidget" name="P"><layout class="QVBoxLayout" name="l">
  <item><widget class="QPushButton" name="other"/></item>
  <item><widget class="QPushButton" name="%QUIT%"/></item>
 </layout></widget><resources/><connections/></ui>
)";

class TessivoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "tessivo_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite()
    {
        delete app_;
        app_ = nullptr;
    }
    void SetUp() override
    {
        char pattern[] = "/tmp/tessivo-test-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        ::setenv("TELVANE_HOME", dir_.c_str(), 1);
    }
    void TearDown() override
    {
        std::remove((dir_ + "/tessivo.uir").c_str());
        ::rmdir(dir_.c_str());
        ::unsetenv("TELVANE_HOME");
    }

    void WritePanel(const std::string& quitName) const
    {
        std::string text = kPanel;
        text.replace(text.find("%QUIT%"), 6, quitName);
        std::ofstream(dir_ + "/tessivo.uir") << text;
    }

    // Once the panel is up, presses the named button of the shown panel.
    static void PressWhenShown(const QString& button, int* presses)
    {
        QTimer::singleShot(0, [button, presses] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible())
                    continue;
                if (auto* b = w->findChild<QAbstractButton*>(button)) {
                    ++*presses;
                    b->click();
                }
            }
        });
    }

    static QApplication* app_;
    std::string dir_;
};

QApplication* TessivoTest::app_ = nullptr;

TEST_F(TessivoTest, QuitControlEndsThePanelAndItIsDiscarded)
{
    WritePanel("quit");
    int presses = 0;
    // "other" first: the panel must keep running after it.
    PressWhenShown("other", &presses);
    PressWhenShown("quit", &presses);
    EXPECT_EQ(OpenPanel(), TESSIVO_OK);
    EXPECT_EQ(presses, 2);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->objectName(), QStringLiteral("P"));
}

TEST_F(TessivoTest, ClosingTheWindowEndsThePanel)
{
    WritePanel("quit");
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                w->close();
    });
    EXPECT_EQ(OpenPanel(), TESSIVO_OK);
}

TEST_F(TessivoTest, PanelsThatCannotRun)
{
    WritePanel("exit");
    EXPECT_EQ(OpenPanel(), TESSIVO_NO_QUIT);
    std::ofstream(dir_ + "/tessivo.uir") << "not a panel";
    EXPECT_EQ(OpenPanel(), TESSIVO_BAD_PANEL);
}

}  // namespace
