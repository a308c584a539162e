#include "single_instance.h"

#include <chrono>

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace zonkle {

namespace {

using namespace std::chrono_literals;

const QByteArray showPanelRequest = "show\n";
// The first instance may be between taking the lock and listening, or busy starting up.
constexpr auto answerWait = 10s;
constexpr int connectSliceMilliseconds = 100;

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty()) {
        qWarning("Zonkle: no usable runtime directory, so a second launch is not detected.");
        return;
    }
    socketPath = directory + QStringLiteral("/zonkle.socket");
    lock = std::make_unique<QLockFile>(directory + QStringLiteral("/zonkle.lock"));
    // Held for the whole run: only a dead owner makes it stale, never its age.
    lock->setStaleLockTime(0ms);
    if (!lock->tryLock(0ms)) {
        first = lock->error() != QLockFile::LockFailedError;
        if (first) {
            qWarning("Zonkle: cannot create %s, so a second launch is not detected.", qPrintable(lock->fileName()));
        }
        return;
    }
    // A socket file left by a crashed run would make listen() fail.
    QLocalServer::removeServer(socketPath);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    if (!server.listen(socketPath)) {
        qWarning("Zonkle: cannot listen on %s: %s", qPrintable(socketPath), qPrintable(server.errorString()));
    }
}

bool SingleInstance::askFirstToShowPanel() const {
    QLocalSocket socket;
    const QDeadlineTimer deadline(answerWait);
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(connectSliceMilliseconds)) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(connectSliceMilliseconds); // a refused connection fails at once
    }
    socket.write(showPanelRequest);
    // The first closes the connection once it has read the request.
    return socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())) &&
           (socket.state() == QLocalSocket::UnconnectedState ||
            socket.waitForDisconnected(static_cast<int>(deadline.remainingTime())));
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* connection = server.nextPendingConnection()) {
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
            if (!connection->canReadLine()) {
                if (connection->bytesAvailable() > showPanelRequest.size()) {
                    connection->disconnectFromServer(); // not a request of ours
                }
                return;
            }
            if (connection->readLine() == showPanelRequest) {
                emit showPanelRequested();
            }
            connection->disconnectFromServer();
        });
    }
}

} // namespace zonkle
