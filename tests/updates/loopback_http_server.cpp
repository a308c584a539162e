#include "loopback_http_server.h"

#include <QSslServer>
#include <QTimer>

namespace zonkle::test {

namespace {

constexpr int trickleIntervalMs = 50;
constexpr qsizetype floodChunkBytes = 64 * 1024;

} // namespace

LoopbackHttpServer::LoopbackHttpServer(std::optional<QSslConfiguration> tls) {
    if (tls) {
        auto* ssl = new QSslServer;
        ssl->setSslConfiguration(*tls);
        server.reset(ssl);
    } else {
        server = std::make_unique<QTcpServer>();
    }
    connect(server.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            accept(socket);
        }
    });
    server->listen(QHostAddress::LocalHost);
}

QUrl LoopbackHttpServer::url(const QByteArray& path) const {
    const bool tls = dynamic_cast<QSslServer*>(server.get()) != nullptr;
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(tls ? "https" : "http")
                    .arg(server->serverPort())
                    .arg(QString::fromLatin1(path)));
}

int LoopbackHttpServer::openConnections() const {
    return static_cast<int>(std::count_if(sockets.begin(), sockets.end(), [](const QPointer<QTcpSocket>& s) {
        return s && s->state() == QAbstractSocket::ConnectedState;
    }));
}

void LoopbackHttpServer::accept(QTcpSocket* socket) {
    sockets.append(socket);
    connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { sent += bytes; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto request = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
        *request += socket->readAll();
        const qsizetype end = request->indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QByteArray head = request->left(end);
        request->clear();
        const QByteArray path = head.split(' ').value(1);
        paths.append(path);
        const auto found = routes.constFind(path);
        answer(socket, found != routes.cend() ? *found : Response{.status = 404, .body = "no such page"});
    });
}

void LoopbackHttpServer::answer(QTcpSocket* socket, const Response& response) {
    if (response.behaviour == Behaviour::Stall) {
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned" +
                      "\r\nContent-Type: application/rss+xml\r\nConnection: close\r\n";
    if (!response.location.isEmpty()) {
        head += "Location: " + response.location + "\r\n";
    }
    if (response.behaviour == Behaviour::Flood) {
        head += "Transfer-Encoding: chunked\r\n";
    } else if (!response.closeDelimited && response.behaviour != Behaviour::Trickle) {
        head += "Content-Length: " + QByteArray::number(response.contentLength.value_or(response.body.size())) + "\r\n";
    }
    socket->write(head + "\r\n");
    if (response.behaviour == Behaviour::Trickle) {
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        timer->start(trickleIntervalMs);
        return;
    }
    if (response.behaviour == Behaviour::Flood) {
        // Writes only as fast as the kernel takes the data, so the client alone sets the pace.
        const QByteArray chunk =
            QByteArray::number(floodChunkBytes, 16) + "\r\n" + QByteArray(floodChunkBytes, 'x') + "\r\n";
        connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
            if (socket->bytesToWrite() < chunk.size()) {
                socket->write(chunk);
            }
        });
        return;
    }
    socket->write(response.body);
    // A body shorter than its announced length keeps the connection open, like a slow server.
    if (!response.contentLength || *response.contentLength == response.body.size()) {
        socket->disconnectFromHost();
    }
}

} // namespace zonkle::test
