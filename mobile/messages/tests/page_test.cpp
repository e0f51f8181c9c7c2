// End to end through page 4: the main frame with the real phone-link worker
// and the emulated phone (as in demo mode). Reads the sample phone, takes a
// long message delivered in parts out of order while the page is open,
// and sends a long message that the phone files among its sent ones.

#include "mobile/app/pages.h"
#include "mobile/messages/core/exports.h"
#include "mobile/messages/ui/message_view.h"
#include "mobile/shell/ui/demo.h"
#include "mobile/shell/ui/main_frame.h"
#include "mobile/shell/ui/resource_bundle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace shellui;
using namespace messages;

namespace {

// Answers every message box with OK, as a user reading them would.
class User : public QObject {
public:
    User()
    {
        connect(&timer_, &QTimer::timeout, this, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Ok)->click();
        });
        timer_.start(20);
    }

private:
    QTimer timer_;
};

bool WaitFor(const std::function<bool()>& done, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QString Control(const QString& socket, const QString& command)
{
    QLocalSocket s;
    s.connectToServer(socket);
    if (!s.waitForConnected(5000))
        return "no socket";
    s.write((command + "\n").toUtf8());
    s.waitForBytesWritten(5000);
    while (!s.canReadLine() && s.waitForReadyRead(5000)) { }
    return QString::fromUtf8(s.readLine()).trimmed();
}

std::vector<std::string> TextsIn(const MessageStore& store, messages::Box box)
{
    std::vector<std::string> texts;
    for (const auto& m : store.items())
        if (BoxOf(m.record->status, false) == box)
            texts.push_back(Utf8(FieldText(m.record->text)));
    return texts;
}

}  // namespace

class MessagesPageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TELVANE_SIMPHONE", TELVANE_SIMPHONE_PROGRAM);
        qputenv("TELVANE_HOME", home_.path().toLocal8Bit());
        bundle_ = ResourceBundle::Load(TELVANE_TEST_BUNDLE, "en", nullptr);
        QVERIFY(bundle_);
        SetResources(bundle_.get());
    }
    void cleanupTestCase() { SetResources(nullptr); }

    void readReceiveAndSend()
    {
        DemoPhone demo;
        if (DemoPhone::SimphoneProgram().isEmpty())
            QSKIP("the emulated phone is not built");
        QVERIFY2(demo.start(), qPrintable(demo.error()));
        User user;
        FrameOptions options;
        options.splash = false;
        options.pages = app::AllPages();
        CMainFrame frame(options);
        frame.show();
        frame.controller().connectCommand(shell::kModePhone);
        QVERIFY(frame.state().phoneMode);
        frame.command(shell::kCmdMessages);
        auto* view = dynamic_cast<messagesui::CSmsView*>(frame.pageViews(shell::kCmdMessages)->left());
        QVERIFY(view);

        // The sample phone: 7 SIM messages (two of them the parts of one),
        // 15 in the handset of which two are three-part messages, one
        // missing its second part.
        view->command(messagesui::kCmdRead);
        QVERIFY(view->loadedFromPhone());
        const Counts& c = view->store().counts();
        QCOMPARE(c.simUsed, 7);
        QCOMPARE(c.handsetSingleUsed + c.handsetConcatUsed, 15);
        QCOMPARE(c.handsetConcatUsed, 2);
        QCOMPARE(view->store().items().size(), size_t{21});

        // Two parts of one message, the second first, then a message of its own.
        const QString second = "0891683108100005F0440D91683117112122F20000626011016225000C0500034C0202E061395D06";
        const QString first = "0891683108100005F0440D91683117112122F20000626011016225000C0500034C0201E061393D06";
        QCOMPARE(Control(demo.controlSocket(), "deliver-pdu " + second), QString("OK"));
        QCOMPARE(Control(demo.controlSocket(), "sms +8613700001234 in between"), QString("OK"));
        QVERIFY(WaitFor([&] { return view->store().items().size() == 22; }));
        QCOMPARE(Control(demo.controlSocket(), "deliver-pdu " + first), QString("OK"));
        QVERIFY(WaitFor([&] { return view->store().items().size() == 23; }));
        const auto inbox = TextsIn(view->store(), messages::Box::Inbox);
        QVERIFY(std::find(inbox.begin(), inbox.end(), "part1part2") != inbox.end());
        QVERIFY(std::find(inbox.begin(), inbox.end(), "in between") != inbox.end());
        QVERIFY(view->arrived());

        // A long message with characters of the extension table, in three parts.
        std::string longText = "Long [message] {with} ~extension~ characters and 100 euros: \xE2\x82\xAC 100. ";
        while (longText.size() < 340)
            longText += "More words to fill the parts. ";
        view->runWriteDialog = [&](messagesui::WriteDialog& d) {
            d.recipientEdit()->setText("13912345678");
            d.textEdit()->setPlainText(QString::fromStdString(longText));
            d.pressSend();
        };
        view->command(messagesui::kCmdWrite);
        QCOMPARE(TextsIn(view->store(), messages::Box::Outbox).front(), longText);
        QCOMPARE(view->store().items().front().record->status, kStatusSent);

        // Read again: the phone has filed it as one sent message.
        view->command(messagesui::kCmdRead);
        QVERIFY(view->loadedFromPhone());
        const auto outbox = TextsIn(view->store(), messages::Box::Outbox);
        QVERIFY2(std::find(outbox.begin(), outbox.end(), longText) != outbox.end(), longText.c_str());
        QCOMPARE(view->store().counts().handsetConcatUsed, 3);
    }

private:
    QTemporaryDir home_;
    std::unique_ptr<ResourceBundle> bundle_;
};

QTEST_MAIN(MessagesPageTest)
#include "page_test.moc"
