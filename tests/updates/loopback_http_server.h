#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include <QSslServer>
#include <QTcpSocket>
#include <QUrl>

namespace zonkle::test {

// An HTTP server on 127.0.0.1 that gives every request the same canned answer, then closes. An
// empty answer never comes (a stalled server); a chunked one is followed by chunks without end,
// as fast as the client takes them (a flooding server).
class LoopbackHttpServer final : public QObject {
public:
    // With a TLS configuration the server speaks https only.
    explicit LoopbackHttpServer(const std::optional<QSslConfiguration>& tls = std::nullopt)
        : server(tls ? new QSslServer(this) : new QTcpServer(this)), scheme(tls ? "https" : "http") {
        if (tls) {
            static_cast<QSslServer*>(server)->setSslConfiguration(*tls);
        }
        connect(server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                accept(socket);
            }
        });
        server->listen(QHostAddress::LocalHost);
    }

    QUrl url(const QString& path = QStringLiteral("/appcast.xml")) const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(server->serverPort()).arg(path));
    }

    QByteArray answer;
    std::atomic<int> requests = 0;
    std::atomic<int> openConnections = 0;
    std::atomic<qint64> bytesSent = 0;

private:
    void accept(QTcpSocket* socket) {
        ++openConnections;
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --openConnections;
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { bytesSent += bytes; });
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            *request += socket->readAll();
            if (request->contains("\r\n\r\n")) { // our client's requests have no body
                ++requests;
                respond(socket);
                request->clear();
            }
        });
    }

    void respond(QTcpSocket* socket) {
        socket->write(answer);
        if (answer.contains("Transfer-Encoding: chunked")) {
            const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
            connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
                if (socket->bytesToWrite() < chunk.size()) {
                    socket->write(chunk);
                }
            });
        } else if (!answer.isEmpty()) {
            socket->disconnectFromHost();
        }
    }

    QTcpServer* server;
    QString scheme;
};

} // namespace zonkle::test
