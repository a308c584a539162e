// The reference for start-up, memory and idle cost: the least a Qt Widgets application
// does (one small widget shown, an event loop running). On its first event-loop turn it
// writes "ready <ns>" (CLOCK_MONOTONIC) on standard output, then idles until terminated.

#include <cstdint>
#include <cstdio>
#include <ctime>

#include <QApplication>
#include <QLabel>
#include <QTimer>

namespace {

constexpr std::int64_t nanosecondsPerSecond = 1'000'000'000;

std::int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * nanosecondsPerSecond + now.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Bare Qt application"));
    label.resize(250, 120);
    label.show();
    QTimer::singleShot(0, [] {
        std::printf("ready %lld\n", static_cast<long long>(monotonicNanoseconds()));
        std::fflush(stdout);
    });
    return app.exec();
}
