// In-process burst: the real IpcClient and MenuBarViewModel on a Qt event loop, with the
// probe detector writing ZONKLE_STALL_HITS hit lines (default 1,000,000) at once. A 1 ms
// timer on the main loop records the longest gap between its ticks, first for one quiet
// second (the reference) and then from the view model's creation until the last hit is
// counted. Prints "stall <quiet max ns> <burst max ns> <burst ns> <hits>" on stdout.
//
//   ZONKLE_STALL_PROBE=<probe_daemon path> [ZONKLE_STALL_HITS=n] zonkle-bench-stall

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/uio.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "daemon_link/ipc_client.h"
#include "state/main_thread_poster.h"
#include "state/menu_bar_view_model.h"
#include "timestamped_line_reader.h"

namespace {

using zonkle::bench::monotonicNanoseconds;

constexpr long defaultHits = 1'000'000;
constexpr int tickMilliseconds = 1;
constexpr int quietMilliseconds = 1000;
constexpr int burstTimeoutMilliseconds = 300'000;

// The longest time between two ticks of a 1 ms timer on the main loop.
class StallMeter final {
public:
    StallMeter() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(tickMilliseconds);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const std::int64_t now = monotonicNanoseconds();
            longest = std::max(longest, now - last);
            last = now;
        });
    }

    void restart() {
        last = monotonicNanoseconds();
        longest = 0;
        timer.start();
    }

    std::int64_t longestGap() {
        // The stretch since the last tick counts as well.
        return std::max(longest, monotonicNanoseconds() - last);
    }

private:
    QTimer timer;
    std::int64_t last = 0;
    std::int64_t longest = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const char* probe = std::getenv("ZONKLE_STALL_PROBE");
    if (probe == nullptr) {
        std::fprintf(stderr, "set ZONKLE_STALL_PROBE to the probe detector\n");
        return 2;
    }
    const char* hitsText = std::getenv("ZONKLE_STALL_HITS");
    const long hits = hitsText != nullptr ? std::strtol(hitsText, nullptr, 10) : defaultHits;
    setenv("ZONKLE_PROBE_MODE", "burst", 1);
    setenv("ZONKLE_PROBE_HITS", std::to_string(hits).c_str(), 1);

    // The app writes a log line per hit; here they go to /dev/null, one write(2) each.
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const zonkle::LogSink log = [devNull](std::string_view text) {
        char lineFeed = '\n';
        iovec parts[] = {{const_cast<char*>(text.data()), text.size()}, {&lineFeed, 1}};
        [[maybe_unused]] const ssize_t written = writev(devNull, parts, 2);
    };

    StallMeter meter;
    meter.restart();
    QTimer::singleShot(quietMilliseconds, &app, &QCoreApplication::quit);
    app.exec();
    const std::int64_t quietGap = meter.longestGap();

    meter.restart();
    const std::int64_t start = monotonicNanoseconds();
    std::int64_t end = 0;
    auto client = zonkle::IpcClient::create(
        {zonkle::qtMainThreadPoster(), [probe] { return std::optional<std::filesystem::path>(probe); }, log});
    zonkle::MenuBarViewModel viewModel(client, zonkle::SettingsValues{}, log);
    QObject::connect(&viewModel, &zonkle::MenuBarViewModel::hitCountChanged, [&](qint64 count) {
        if (count == hits) {
            end = monotonicNanoseconds();
            app.quit();
        }
    });
    QTimer::singleShot(burstTimeoutMilliseconds, &app, &QCoreApplication::quit);
    app.exec();
    const std::int64_t burstGap = meter.longestGap();

    if (end == 0) {
        std::fprintf(stderr, "only %lld of %ld hits were counted\n", static_cast<long long>(viewModel.hitCount()),
                     hits);
        return 1;
    }
    std::printf("stall %lld %lld %lld %ld\n", static_cast<long long>(quietGap), static_cast<long long>(burstGap),
                static_cast<long long>(end - start), hits);
    return 0;
}
