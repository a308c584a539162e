#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include <QHash>
#include <QPointer>
#include <QSslServer>
#include <QTcpSocket>
#include <QUrl>

namespace zonkle::test {

// A small HTTP/1.1 server on 127.0.0.1 that answers each path with a canned response, and
// can also misbehave the ways a feed server might: stall, flood, lie about lengths.
class LoopbackHttpServer final : public QObject {
public:
    enum class Behaviour {
        Answer, // status line, headers and body, then close
        Stall,  // read the request and never answer
        Flood,  // a chunked body without end, as fast as the client takes it
    };

    struct Response {
        int status = 200;
        QByteArray body{};
        QByteArray location{};                 // sent as Location when not empty
        std::optional<qint64> contentLength{}; // announced length; the body's own when absent
        bool closeDelimited = false;           // no Content-Length at all
        Behaviour behaviour = Behaviour::Answer;
    };

    // With a TLS configuration the server speaks https only.
    explicit LoopbackHttpServer(const std::optional<QSslConfiguration>& tls = std::nullopt)
        : server(tls ? new QSslServer(this) : new QTcpServer(this)), https(tls.has_value()) {
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

    void route(const QByteArray& path, const Response& response) { routes.insert(path, response); }
    QUrl url(const QByteArray& path) const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                        .arg(https ? "https" : "http")
                        .arg(server->serverPort())
                        .arg(QString::fromLatin1(path)));
    }
    const QList<QByteArray>& requestedPaths() const { return paths; }
    qsizetype openConnections() const {
        return std::count_if(sockets.begin(), sockets.end(),
                             [](auto& s) { return s && s->state() == QAbstractSocket::ConnectedState; });
    }
    // Bytes handed to the network so far; may be read from any thread.
    qint64 bytesSent() const { return sent; }

private:
    void accept(QTcpSocket* socket) {
        sockets.append(socket);
        connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { sent += bytes; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            *request += socket->readAll();
            if (const qsizetype end = request->indexOf("\r\n\r\n"); end >= 0) {
                paths.append(request->left(end).split(' ').value(1));
                request->clear();
                answer(socket, routes.value(paths.last(), Response{.status = 404}));
            }
        });
    }

    void answer(QTcpSocket* socket, const Response& response) {
        if (response.behaviour == Behaviour::Stall) {
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\nConnection: close\r\n";
        if (!response.location.isEmpty()) {
            head += "Location: " + response.location + "\r\n";
        }
        if (response.behaviour == Behaviour::Flood) {
            head += "Transfer-Encoding: chunked\r\n";
        } else if (!response.closeDelimited && response.behaviour == Behaviour::Answer) {
            head +=
                "Content-Length: " + QByteArray::number(response.contentLength.value_or(response.body.size())) + "\r\n";
        }
        socket->write(head + "\r\n" + response.body);
        if (response.behaviour == Behaviour::Flood) {
            // Writes only as fast as the kernel takes the data, so the client alone sets the pace.
            const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
            connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
                if (socket->bytesToWrite() < chunk.size()) {
                    socket->write(chunk);
                }
            });
        } else if (!response.contentLength || *response.contentLength == response.body.size()) {
            socket->disconnectFromHost(); // a body short of its announced length stays open, like a slow server
        }
    }

    QTcpServer* server;
    bool https;
    QHash<QByteArray, Response> routes;
    QList<QByteArray> paths;
    QList<QPointer<QTcpSocket>> sockets;
    std::atomic<qint64> sent = 0;
};

} // namespace zonkle::test
