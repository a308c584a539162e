#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace zonkle::test {

// A small HTTP/1.1 server on 127.0.0.1 that answers each path with a canned response, and
// can also misbehave the ways a feed server might: stall, trickle, flood, lie about lengths.
class LoopbackHttpServer final : public QObject {
    Q_OBJECT

public:
    enum class Behaviour {
        Answer,  // status line, headers and body, then close
        Stall,   // read the request and never answer
        Trickle, // headers, then one body byte now and then, forever
        Flood,   // a chunked body without end, as fast as the client takes it
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
    explicit LoopbackHttpServer(std::optional<QSslConfiguration> tls = std::nullopt);

    void route(const QByteArray& path, Response response) { routes.insert(path, std::move(response)); }
    QUrl url(const QByteArray& path) const;

    const QList<QByteArray>& requestedPaths() const { return paths; }
    int openConnections() const;
    // Bytes handed to the network so far; may be read from any thread.
    qint64 bytesSent() const { return sent; }

private:
    void accept(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Response& response);

    std::unique_ptr<QTcpServer> server;
    QHash<QByteArray, Response> routes;
    QList<QByteArray> paths;
    QList<QPointer<QTcpSocket>> sockets;
    std::atomic<qint64> sent = 0;
};

} // namespace zonkle::test
