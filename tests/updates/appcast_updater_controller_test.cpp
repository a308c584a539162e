#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "loopback_http_server.h"
#include "updates/appcast_updater_controller.h"

namespace zonkle {
namespace {

using test::LoopbackHttpServer;
using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

constexpr int waitLimitMs = 30'000;
constexpr qint64 mebibyte = 1024 * 1024;
const char* const reasonNames[] = {"Unreachable", "InsecureConnection", "ServerError",      "TimedOut",
                                   "TooLarge",    "UnsafeRedirect",     "TooManyRedirects", "InvalidFeed"};

// Writes each dialog the controller asks for as one line of text.
class RecordingPresenter final : public UpdateDialogPresenter {
public:
    RecordingPresenter(QStringList& log, std::function<void()>& cancel) : log(log), cancel(cancel) {}

    void showChecking(std::function<void()> onCancel) override { log << u"checking"_s, cancel = std::move(onCancel); }
    void showUpToDate(const QString& running) override { log << u"up to date "_s + running; }
    void showUpdateAvailable(const AvailableUpdate& u) override {
        log << u"update %1; %2; %3"_s.arg(u.version, u.releaseNotesLink.toString(), u.downloadPage.toString());
    }
    void showFailed(const UpdateCheckFailure& f) override {
        log << u"%1 %2 %3"_s.arg(reasonNames[int(f.reason)], QString::number(f.httpStatus), f.detail);
    }
    void dismiss() override { log << u"dismissed"_s; }

private:
    QStringList& log;
    std::function<void()>& cancel;
};

// A whole answer: status line and headers, then the body; the server closes after it.
QByteArray http(const QByteArray& head, const QByteArray& body = {}) {
    return "HTTP/1.1 " + head + "\r\nConnection: close\r\n\r\n" + body;
}

const QByteArray endless = http("200 OK\r\nTransfer-Encoding: chunked");

QByteArray appcast(const QByteArray& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/"
           "xml-namespaces/sparkle\">\n<channel><title>Zonkle</title>\n" +
           items + "</channel>\n</rss>\n";
}

// An answer of 200 with `items` in a feed, or with `document` as it is.
QByteArray ok(const QByteArray& items, const QByteArray& document = {}) {
    const QByteArray body = document.isEmpty() ? appcast(items) : document;
    return http("200 OK\r\nContent-Length: " + QByteArray::number(body.size()), body);
}

// An item of the old style, its version an element.
QByteArray item(const QByteArray& version, const QByteArray& more = {}) {
    return "<item><sparkle:version>" + version + "</sparkle:version>" + more + "</item>\n";
}

// An item as the framework's feed generator writes it, its versions on the enclosure.
QByteArray enclosed(const QByteArray& version, const QByteArray& display, const QByteArray& attributes = {},
                    const QByteArray& more = {}) {
    return "<item><enclosure url=\"https://example.org/z.tar.gz\" sparkle:version=\"" + version +
           "\" sparkle:shortVersionString=\"" + display + "\"" + attributes + "/>" + more + "</item>\n";
}

class AppcastUpdaterControllerTest : public ::testing::Test {
protected:
    // A fresh controller (of running version 1.0) and log; the previous one's farewell is not recorded.
    void make(const QUrl& feed, const FeedLimits& limits = {}) {
        controller.reset();
        log.clear();
        controller = std::make_unique<AppcastUpdaterController>(
            AppcastUpdaterController::Settings{feed, u"1.0"_s, u"linux"_s, limits},
            std::make_unique<RecordingPresenter>(log, cancel));
    }

    // Runs one check against `at` to its end; returns the dialog it ended with, the server's address written SERVER.
    QString check(LoopbackHttpServer& at, const FeedLimits& limits = {}) {
        make(at.url(), limits);
        controller->checkForUpdates();
        EXPECT_TRUE(QTest::qWaitFor([this] { return controller->canCheckForUpdates(); }, waitLimitMs));
        EXPECT_EQ(log.size(), 2);
        return log.value(1).replace(at.url({}).toString(), u"SERVER"_s);
    }

    LoopbackHttpServer server;
    QStringList log;
    std::function<void()> cancel;
    std::unique_ptr<AppcastUpdaterController> controller;
};

// Five levels of ten references each: 100,000 characters per reference to e, if expanded.
const QByteArray entityBomb =
    appcast(item("9.0", "<title>&e;&e;&e;&e;&e;&e;&e;&e;</title>")).replace("<rss", R"(<!DOCTYPE rss [
<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;"><!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">]><rss)");

// The server's answer, and the start of the line of the dialog the check ends with (the server's
// address written SERVER). The running version is 1.0.
const struct {
    QByteArray answer;
    QString told;
    FeedLimits limits{};
    bool https = false; // with a certificate that cannot be verified
} outcomeCases[] = {
    {ok(item("0.9") + item("1.0")), "up to date 1.0"},
    {ok(item("1.0") + item("1.1", "<sparkle:shortVersionString>1.1 b</sparkle:shortVersionString>")), "update 1.1 b;"},
    {ok(item("1.2") + enclosed("1.10", "first") + item("1.9") + enclosed("1.10.0", "tie")), "update first"},
    {ok(enclosed("3", "3", " sparkle:os=\"windows\"") + enclosed("2", "2", " sparkle:os=\"linux\"")), "update 2"},
    {ok({}, appcast(item("2.0")).replace("sparkle:", "s:").replace("xmlns:sparkle", "xmlns:s")), "update 2.0"},
    {ok({}, appcast(item("2.0")).replace("andymatuschak", "example")), "InvalidFeed 0 An item in the feed has no "},
    {ok(enclosed("62", "2.7.1") + item("1.5")), "update 2.7.1; ; https://example.org/z.tar.gz"},
    {ok(enclosed("70", "7.0", {}, "<sparkle:version>1</sparkle:version>")), "update 7.0"}, // attribute first
    {ok(enclosed("3", "3", " sparkle:deltaFrom=\"2\"") + enclosed("2", "2")), "update 2;"},
    {ok(enclosed("9", "9", {}, "<sparkle:channel>beta</sparkle:channel>") + enclosed("8", "8")), "update 8;"},
    {ok(enclosed("2", "2") + item("3", "<link>https://x.org/</link>")), "update 3; ; https://x.org/"},
    {ok(enclosed("5", "5", {}, "<description><![CDATA[<p>No </item> & </p>]]></description>")), "update 5;"},
    {ok(item("2", "<link>https://u:p@e.org/</link><sparkle:releaseNotesLink>http://e.org/n</sparkle:releaseNotesLink>"
                  "<enclosure url=\"https://e.org/z\"/>")),
     "update 2; ; https://e.org/z"},
    {ok(item("2", "<link>d.html</link><sparkle:releaseNotesLink>n/2.html</sparkle:releaseNotesLink>"
                  "<enclosure url=\"file:///etc/passwd\"/>")),
     "update 2; SERVER/n/2.html; SERVER/d.html"},
    {ok(enclosed("2", QByteArray(1'000'000, 'x'))), "update " + QString(99, u'x') + u'\u2026' + ";"},
    {ok(enclosed(QByteArray(1'000'000, '9'), "9")), "InvalidFeed 0 An item in the feed has a version longer"},
    {ok(item("0.9") + "<item><title>Zonkle 2</title></item>"), "InvalidFeed 0 An item in the feed has no "},
    {ok({}, appcast(item("2.0")).chopped(12)), "InvalidFeed 0 The feed is not well-formed"},
    {ok({}, entityBomb), "InvalidFeed 0 The feed contains a document type declaration"},
    {ok({}, "<html><body><p>Please log in</p></body></html>"), "InvalidFeed 0 The feed is not an RSS"},
    {ok({}, appcast(item("1.0")).leftJustified(mebibyte)), "up to date 1.0"},
    {http("200 OK", appcast(item("1.0")).leftJustified(mebibyte + 1)), "TooLarge"}, // its length not announced
    {http("200 OK\r\nContent-Length: 2097152", "<rss"), "TooLarge"},
    {endless, "TooLarge"},
    {http("500 Oops"), "ServerError 500"},
    {"", "TimedOut", {.transferTimeout = 300ms}}, // never answers
    {endless, "TimedOut", {.deadline = 600ms, .maxBodyBytes = 1024 * mebibyte}},
    {http("302 Found\r\nLocation: http://example.org/a.xml"), "UnsafeRedirect"},
    {http("302 Found\r\nLocation: http://u:p@127.0.0.1/a.xml"), "UnsafeRedirect"},
    {http("302 Found\r\nLocation: /appcast.xml"), "TooManyRedirects"},
    {ok(item("2.0")), "InsecureConnection", {}, true},
};

TEST_F(AppcastUpdaterControllerTest, toldOutcomeFollowsTheServersAnswer) {
    LoopbackHttpServer httpsServer(true);
    for (const auto& row : outcomeCases) {
        SCOPED_TRACE(row.told.left(100).toStdString());
        LoopbackHttpServer& at = row.https ? httpsServer : server;
        at.answer = row.answer;
        const QString told = check(at, row.limits);
        EXPECT_TRUE(told.startsWith(row.told)) << told.left(300).toStdString();
    }
}

TEST(FeedAddresses, onlyHttpsOrLoopbackFromLoopbackAndNeverCredentials) {
    // Whether an address found in, or redirected to from, the first one may be fetched or offered.
    for (const char* row : {"safe https://e.org/a https://e.org/b", "safe http://127.0.0.1:8/a http://localhost:9/b",
                            "safe http://127.0.0.1/a https://e.org/b", "unsafe https://e.org/a http://e.org/b",
                            "unsafe https://e.org/a http://127.0.0.1:8/b", "unsafe https://e.org/a https://localhost/b",
                            "unsafe https://e.org/a https://LOCALHOST./b", "unsafe https://e.org/a https://[::1]/b",
                            "unsafe https://e.org/a https://0.0.0.0/b", "unsafe https://e.org/a https://u:p@e.org/b",
                            "unsafe https://e.org/a file:///etc/passwd", "unsafe http://127.0.0.1/a http://e.org/b",
                            "unsafe https://127.0.0.1/a http://127.0.0.1/b"}) { // https never continues over http
        SCOPED_TRACE(row);
        const QStringList words = QString::fromLatin1(row).split(u' ');
        EXPECT_EQ(isSafeAddress(QUrl(words[1]), QUrl(words[2])), words[0] == u"safe");
    }
}

TEST_F(AppcastUpdaterControllerTest, cannotCheckWithoutAUsableFeedAddress) {
    for (const char* feed : {"", "http://e.org/a.xml", "ftp://127.0.0.1/a.xml", "a.xml", "https://u:p@e.org/a.xml"}) {
        make(QUrl(QString::fromLatin1(feed)));
        controller->checkForUpdates();
        EXPECT_TRUE(!controller->canCheckForUpdates() && log.isEmpty()) << feed;
    }
}

TEST_F(AppcastUpdaterControllerTest, holdsNoEndlessBodyWhileTheMainThreadIsBusy) {
    // The server has a thread of its own, so it goes on sending while this one is busy.
    QThread serverThread;
    server.answer = endless;
    server.moveToThread(&serverThread);
    serverThread.start();
    // No body limit in reach, so only the network layer's own bound can hold the flood back.
    make(server.url(), {.maxBodyBytes = 1024 * mebibyte});
    controller->checkForUpdates();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.bytesSent > 0; }, waitLimitMs));
    QThread::sleep(2); // busy as while a dialog opens: this thread reads nothing
    EXPECT_LT(server.bytesSent, 64 * mebibyte);

    controller.reset();
    QMetaObject::invokeMethod(
        &server, [&] { server.moveToThread(qApp->thread()); }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
}

TEST_F(AppcastUpdaterControllerTest, cancelOrDestructionAbortsTheRequestSilently) {
    make(server.url()); // the server never answers
    QSignalSpy changes(controller.get(), &UpdaterController::canCheckForUpdatesChanged);
    for (const int requests : {1, 2}) {
        controller->checkForUpdates();
        controller->checkForUpdates(); // ignored while one is in flight
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests == requests; }, waitLimitMs));
        requests == 1 ? cancel() : controller.reset();
        EXPECT_TRUE(QTest::qWaitFor([this] { return server.openConnections == 0; }, waitLimitMs));
    }
    QCoreApplication::processEvents(); // nothing is told after the end, and nothing asked again
    EXPECT_EQ(log, QStringList({u"checking"_s, u"dismissed"_s, u"checking"_s, u"dismissed"_s}));
    EXPECT_EQ(changes.size(), 3);
    EXPECT_EQ(server.requests, 2);
}

} // namespace
} // namespace zonkle
