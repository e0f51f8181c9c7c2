#include "mobile/shell/ui/single_instance.h"

#include <QLocalSocket>

#include <cstdio>
#include <unistd.h>

namespace shellui {

namespace {
constexpr int kConnectMs = 1000;
const char kRaise[] = "raise\n";
}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? DefaultName() : std::move(name))
{
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_.nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("raise"))
                    emit raiseRequested();
                s->disconnectFromServer();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance()
{
    server_.close();
}

QString SingleInstance::DefaultName()
{
    const QString env = qEnvironmentVariable("TELVANE_INSTANCE_NAME");
    return env.isEmpty() ? QStringLiteral("telvane-mobile-%1").arg(::getuid()) : env;
}

bool SingleInstance::claim()
{
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(kConnectMs)) {
        probe.write(kRaise);
        probe.waitForBytesWritten(kConnectMs);
        probe.disconnectFromServer();
        return false;
    }
    // Nobody answers: a socket file left by a crashed run is stale.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    // No other instance answered: when this one cannot listen either, it
    // still runs (a later start is then not refused) rather than exiting
    // without a word as if another one had taken over.
    if (!server_.listen(name_))
        std::fprintf(stderr, "mobile: cannot guard against a second start (%s)\n", qPrintable(server_.errorString()));
    return true;
}

}  // namespace shellui
