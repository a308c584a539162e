// zonkle-bench: measures the Release app against references run side by side, run by run, and prints
// the table of docs/PERFORMANCE.md. The detector is the stand-in of the tests (zonkle-test-daemon);
// every time is CLOCK_MONOTONIC (std::chrono::steady_clock), the one clock of all processes here.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "daemon_link/ipc_client.h"
#include "state/main_thread_poster.h"
#include "state/menu_bar_view_model.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto startLimit = 30s;
constexpr auto deliveryLimit = 120s;
constexpr auto settleTime = 2s;
constexpr long latencyHits = 500;
constexpr long latencyIntervalMicroseconds = 5000;
constexpr long burstHits = 200'000;
constexpr long stallHits = 1'000'000;
const QByteArray configLine = R"({"cmd":"config","paused":false,"sensitivity":0.5,"sound":"default"})"
                              "\n";

double nowNs() {
    return static_cast<double>(std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count());
}

// Runs the event loop until `done` or the limit; false when the limit came first. `done` is checked
// after each event, and every `poll` if that is given (for conditions that no event announces).
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit, std::chrono::milliseconds poll = 0ms) {
    QTimer deadline, poller;
    deadline.setSingleShot(true);
    deadline.start(limit);
    if (poll > 0ms) {
        poller.start(poll);
    }
    while (!done() && deadline.isActive()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

void sleepUntilNs(double at) {
    std::this_thread::sleep_for(std::chrono::nanoseconds(static_cast<long long>(std::max(0.0, at - nowNs()))));
}

long statusField(const fs::path& status, const std::string& field) {
    std::ifstream in(status);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(field + ":")) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return 0;
}

// Context switches of all threads of a process, living or gone (the process's own counters include
// threads that have exited).
long contextSwitches(qint64 pid) {
    long total = 0;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        total += statusField(task.path() / "status", "voluntary_ctxt_switches") +
                 statusField(task.path() / "status", "nonvoluntary_ctxt_switches");
    }
    return total;
}

// A temporary install tree: bin/zonkle, the stand-in detector as libexec/zonkle/thwack-core-daemon, a home.
struct Tree {
    QTemporaryDir root;
    QString path(const QString& relative) const { return root.filePath(relative); }

    Tree() {
        for (const char* folder : {"bin", "libexec/zonkle", "home/.config", "run"}) {
            QDir().mkpath(path(folder));
        }
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(ZONKLE_APP, path("bin/zonkle"));
        QFile::copy(ZONKLE_TEST_DAEMON, path("libexec/zonkle/thwack-core-daemon"));
    }

    QProcessEnvironment environment(const QString& actions, const QString& record) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("HOME", path("home"));
        environment.insert("XDG_CONFIG_HOME", path("home/.config"));
        environment.insert("XDG_RUNTIME_DIR", path("run"));
        environment.insert("ZONKLE_TEST_DAEMON_ACTIONS", actions);
        environment.insert("ZONKLE_TEST_DAEMON_RECORD", record);
        return environment;
    }
};

struct Steady {
    double startupNs = 0, rssKib = 0, idleSwitches = 0, earlyIdleSwitches = 0;
};

// Memory and two idle windows: from the settle time after exec (the app may still be starting), and
// from the settle time after start-up ended (for Zonkle without a tray: once its window is shown).
void measureSteady(qint64 pid, double startedAt, double startupEnd, int idleSeconds, Steady& result) {
    const double settle = 1e9 * std::chrono::duration<double>(settleTime).count(), idle = 1e9 * idleSeconds;
    const double late = std::max(startupEnd + settle, startedAt + settle);
    std::vector<std::pair<double, int>> samples{
        {startedAt + settle, 0}, {startedAt + settle + idle, 1}, {late, 2}, {late + idle, 3}};
    std::sort(samples.begin(), samples.end()); // the windows may overlap
    long counts[4] = {};
    for (const auto& [at, which] : samples) {
        sleepUntilNs(at);
        counts[which] = contextSwitches(pid);
        if (which == 2) {
            result.rssKib = static_cast<double>(statusField("/proc/" + std::to_string(pid) + "/status", "VmRSS"));
        }
    }
    result.earlyIdleSwitches = static_cast<double>(counts[1] - counts[0]);
    result.idleSwitches = static_cast<double>(counts[3] - counts[2]);
}

// Zonkle from exec to the first "config" line at the detector (recorded into a FIFO that a thread of
// ours reads), then memory and idle cost.
Steady zonkleSteady(int idleSeconds) {
    Tree tree;
    const QString fifo = tree.path("record");
    ::mkfifo(fifo.toLocal8Bit().constData(), 0600);
    std::atomic<double> configAt = 0;
    std::thread recordReader([&] {
        std::ifstream in(fifo.toStdString());
        std::string line;
        if (std::getline(in, line)) {
            configAt = nowNs();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] {}, Qt::QueuedConnection); // wakes waitFor
        }
        while (std::getline(in, line)) {
        }
    });
    QProcess app;
    app.setProcessEnvironment(tree.environment("", fifo));
    double startupEnd = 0;
    QObject::connect(&app, &QProcess::readyReadStandardError, [&] {
        if (app.readAllStandardError().contains("no system tray found")) {
            startupEnd = nowNs();
        }
    });
    Steady result;
    const double startedAt = nowNs();
    app.start(tree.path("bin/zonkle"), {});
    if (!waitFor([&] { return configAt > 0; }, startLimit)) {
        throw std::runtime_error("the detector got no configuration");
    }
    result.startupNs = configAt - startedAt;
    waitFor([&] { return startupEnd > 0; }, 15s);
    measureSteady(app.processId(), startedAt, startupEnd > 0 ? startupEnd : configAt.load(), idleSeconds, result);
    app.terminate();
    app.waitForFinished();
    recordReader.join();
    return result;
}

// The bare Qt app from exec to its first event-loop turn, then memory and idle cost.
Steady bareSteady(int idleSeconds) {
    Tree tree;
    QProcess bare;
    bare.setProcessEnvironment(tree.environment("", ""));
    Steady result;
    const double startedAt = nowNs();
    bare.start(ZONKLE_BENCH_BARE, {});
    if (!waitFor([&] { return bare.canReadLine(); }, startLimit)) {
        throw std::runtime_error("the bare app did not report its first event-loop turn");
    }
    const double readyAt = bare.readLine().split(' ').value(1).trimmed().toDouble();
    result.startupNs = readyAt - startedAt;
    measureSteady(bare.processId(), startedAt, readyAt, idleSeconds, result);
    bare.terminate();
    bare.waitForFinished();
    return result;
}

// Hit lines from the detector, through Zonkle (relay = false) or through cat, to the lines they cause
// on standard output, each time stamped as it arrives. The detector writes only on SIGTERM, once
// Zonkle has finished starting and settled; paced hits' write times come from its record file.
std::vector<double> hitRun(bool relay, long hits, long intervalMicroseconds, double& goAt) {
    Tree tree;
    const QString record = tree.path("record");
    const QString actions = QString("wait-stdin-lines 1; wait-sigterm; hits %1 %2").arg(hits).arg(intervalMicroseconds);
    std::vector<double> arrivals;
    arrivals.reserve(static_cast<std::size_t>(hits));
    QProcess first, cat;
    QProcess& output = relay ? cat : first;
    QByteArray pending; // counted in bulk, or the harness, not cat, would set the pace of the reference
    QObject::connect(&output, &QProcess::readyReadStandardOutput, [&] {
        const double at = nowNs();
        pending += output.readAllStandardOutput();
        const qsizetype complete = pending.lastIndexOf('\n') + 1;
        arrivals.resize(arrivals.size() + static_cast<std::size_t>(pending.first(complete).count(
                                              relay ? QByteArrayView("\"hit\"") : QByteArrayView("Hit detected"))),
                        at);
        pending.remove(0, complete);
    });
    double startupEnd = 0;
    QObject::connect(&first, &QProcess::readyReadStandardError, [&] {
        if (first.readAllStandardError().contains("no system tray found")) {
            startupEnd = nowNs();
        }
    });
    first.setProcessEnvironment(tree.environment(actions, record));
    if (relay) {
        first.setStandardOutputProcess(&cat);
        cat.start("cat", {});
        first.start(tree.path("libexec/zonkle/thwack-core-daemon"), {});
        first.write(configLine);
    } else {
        first.start(tree.path("bin/zonkle"), {});
        waitFor([&] { return startupEnd > 0; }, 15s);
    }
    const auto recorded = [&] {
        QFile file(record);
        return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>{};
    };
    if (!waitFor([&] { return !recorded().value(0).isEmpty(); }, startLimit, 10ms)) {
        throw std::runtime_error("the detector got no configuration");
    }
    sleepUntilNs(nowNs() + 1e9 * std::chrono::duration<double>(settleTime).count());
    const qint64 detector = relay ? first.processId() : [&] {
        std::ifstream children("/proc/" + std::to_string(first.processId()) + "/task/" +
                               std::to_string(first.processId()) + "/children");
        qint64 pid = 0;
        children >> pid;
        return pid;
    }();
    goAt = nowNs();
    ::kill(static_cast<pid_t>(detector), SIGTERM);
    if (!waitFor([&] { return arrivals.size() >= static_cast<std::size_t>(hits); }, deliveryLimit)) {
        throw std::runtime_error(relay ? "cat did not relay every hit" : "zonkle did not log every hit");
    }
    std::vector<double> latencies;
    for (const QByteArray& line : recorded()) {
        if (line.startsWith("<HIT> ")) {
            latencies.push_back(arrivals.at(latencies.size()) - line.mid(6).toDouble());
        }
    }
    relay ? first.closeWriteChannel() : first.terminate();
    first.waitForFinished();
    cat.waitForFinished();
    return intervalMicroseconds > 0 ? latencies : std::vector<double>{arrivals.back() - goAt};
}

// The longest gap between two ticks of a 1 ms timer on this process's own event loop: for a quiet
// second, then while the real client and view model take a burst of hit lines from the detector.
std::pair<double, double> inProcessStall() {
    double last = 0, longest = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        longest = std::max(longest, nowNs() - last);
        last = nowNs();
    });
    const auto measure = [&](const std::function<bool()>& done, std::chrono::milliseconds limit) {
        last = nowNs();
        longest = 0;
        timer.start();
        waitFor(done, limit);
        timer.stop();
        return std::max(longest, nowNs() - last); // the stretch since the last tick counts as well
    };
    const double quietGap = measure([] { return false; }, 1s);
    qputenv("ZONKLE_TEST_DAEMON_ACTIONS", QString("wait-stdin-lines 1; hits %1").arg(stallHits).toUtf8());
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const zonkle::LogSink log = [devNull](std::string_view text) { // as writeLogLine: one write per line
        [[maybe_unused]] const ssize_t written = ::write(devNull, (std::string(text) + "\n").data(), text.size() + 1);
    };
    auto client = zonkle::IpcClient::create(
        {zonkle::qtMainThreadPoster(), [] { return std::optional<fs::path>(ZONKLE_TEST_DAEMON); }, log});
    zonkle::MenuBarViewModel viewModel(client, zonkle::SettingsValues{}, log);
    const double burstGap = measure([&] { return viewModel.hitCount() >= stallHits; }, deliveryLimit);
    qunsetenv("ZONKLE_TEST_DAEMON_ACTIONS");
    ::close(devNull);
    if (viewModel.hitCount() < stallHits) {
        throw std::runtime_error("the in-process burst was not all counted");
    }
    return {burstGap, quietGap};
}

struct Series {
    std::string name, unit, target;
    double scale;
    int decimals;
    std::vector<double> zonkle{}, reference{}, ratio{};

    void add(double value, double referenceValue) {
        zonkle.push_back(value);
        reference.push_back(referenceValue);
        ratio.push_back(referenceValue != 0 ? value / referenceValue : 0);
    }
};

double percentile(std::vector<double> values, double percent) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0
                          : values[static_cast<std::size_t>(percent / 100 * static_cast<double>(values.size() - 1))];
}

std::string cell(const std::vector<double>& values, double scale, int decimals) {
    char text[96];
    std::snprintf(text, sizeof text, "%.*f / %.*f / %.*f", decimals, percentile(values, 0) / scale, decimals,
                  percentile(values, 50) / scale, decimals, percentile(values, 100) / scale);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Measures Zonkle against its references and prints the table.");
    parser.addHelpOption();
    parser.addOption({"runs", "Runs of everything (10).", "n", "10"});
    parser.addOption({"idle-seconds", "Length of the idle windows (10).", "s", "10"});
    parser.addOption({"only", "Groups to run: steady, latency, burst, stall.", "list", "steady,latency,burst,stall"});
    parser.process(application);
    const int runs = parser.value("runs").toInt(), idleSeconds = parser.value("idle-seconds").toInt();
    const QStringList only = parser.value("only").split(',');
    const std::string idle = std::to_string(idleSeconds) + " s";
    std::vector<Series> rows = {
        {"Start-up: exec to first \"config\" at the detector (ref: bare Qt app, exec to first loop turn)", "ms",
         "ratio <= 1.5", 1e6, 1},
        {"Memory: VmRSS 2 s after start-up (ref: bare Qt app)", "MiB", "ratio <= 1.25", 1024, 1},
        {"Idle: context switches, all threads, " + idle + " from 2 s after start-up (ref: bare Qt app)", "", "0", 1, 0},
        {"Idle, " + idle + " from 2 s after exec (Zonkle still waiting for a tray)", "", "0", 1, 0},
        {"Hit latency, median of 500 hits 5 ms apart (ref: cat relay)", "us", "ratio <= 3", 1e3, 0},
        {"Hit latency, 99th percentile (ref: cat relay)", "us", "< 1000 us", 1e3, 0},
        {"Burst: 200,000 hit lines, go signal to \"#200000\" logged (ref: cat relay)", "hits/s", ">= 200,000 hits/s", 1,
         0},
        {"In-process 1,000,000-line burst: longest main-loop gap of a 1 ms timer (ref: same timer, quiet)", "ms",
         "< 50 ms", 1e6, 1},
    };
    try {
        for (int run = 1; run <= runs; ++run) {
            if (only.contains("steady")) {
                const Steady app = zonkleSteady(idleSeconds), bare = bareSteady(idleSeconds);
                rows[0].add(app.startupNs, bare.startupNs);
                rows[1].add(app.rssKib, bare.rssKib);
                rows[2].add(app.idleSwitches, bare.idleSwitches);
                rows[3].add(app.earlyIdleSwitches, bare.earlyIdleSwitches);
            }
            double goAt = 0;
            if (only.contains("latency")) {
                const auto app = hitRun(false, latencyHits, latencyIntervalMicroseconds, goAt);
                const auto cat = hitRun(true, latencyHits, latencyIntervalMicroseconds, goAt);
                rows[4].add(percentile(app, 50), percentile(cat, 50));
                rows[5].add(percentile(app, 99), percentile(cat, 99));
            }
            if (only.contains("burst")) {
                const double app = hitRun(false, burstHits, 0, goAt).front(),
                             cat = hitRun(true, burstHits, 0, goAt).front();
                rows[6].add(burstHits * 1e9 / app, burstHits * 1e9 / cat);
            }
            if (only.contains("stall")) {
                const auto [burst, quiet] = inProcessStall();
                rows[7].add(burst, quiet);
            }
            std::fprintf(stderr, "run %d of %d done\n", run, runs);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zonkle-bench: %s\n", error.what());
        return 1;
    }
    std::printf("%d runs; every cell is min / median / max over the runs, the ratio taken run by run. Verdicts use "
                "the median run, the idle rows the worst run.\n\n| Benchmark | Zonkle | Reference | Ratio | Target | "
                "Verdict |\n|---|---|---|---|---|---|\n",
                runs);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Series& row = rows[i];
        if (row.zonkle.empty()) {
            continue;
        }
        const double median = percentile(row.zonkle, 50), medianRatio = percentile(row.ratio, 50);
        const bool met[] = {medianRatio <= 1.5,
                            medianRatio <= 1.25,
                            percentile(row.zonkle, 100) == 0,
                            percentile(row.zonkle, 100) == 0,
                            medianRatio <= 3,
                            median < 1e6,
                            median >= 200'000,
                            median < 50e6};
        std::printf("| %s | %s %s | %s %s | %s | %s | %s |\n", row.name.c_str(),
                    cell(row.zonkle, row.scale, row.decimals).c_str(), row.unit.c_str(),
                    cell(row.reference, row.scale, row.decimals).c_str(), row.unit.c_str(),
                    cell(row.ratio, 1, 2).c_str(), row.target.c_str(), met[i] ? "met" : "MISSED");
    }
    return 0;
}
