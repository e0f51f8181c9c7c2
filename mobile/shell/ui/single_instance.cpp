#include "mobile/shell/ui/single_instance.h"

#include <QLocalSocket>

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

SingleInstance::~SingleInstance() { server_.close(); }

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
    return server_.listen(name_);
}

}  // namespace shellui
