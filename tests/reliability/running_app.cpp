#include "running_app.h"

#include <chrono>
#include <grp.h>
#include <signal.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace zonkle::test {

namespace {

using namespace std::chrono_literals;

// Generous: the suite runs on a busy two-core machine.
constexpr auto waitLimit = 60s;
constexpr int readSliceMilliseconds = 20;

} // namespace

RunningApp::RunningApp(const QString& program, const QProcessEnvironment& environment, User user) {
    process.setProcessEnvironment(environment);
    if (user == User::unprivileged && ::geteuid() == 0) {
        // Root ignores file permissions; the unreadable and unwritable cases need a plain user.
        process.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(unprivilegedGroup) != 0 || ::setuid(unprivilegedUser) != 0) {
                ::_exit(127);
            }
        });
    }
    process.start(program, {});
    process.waitForStarted();
}

RunningApp::~RunningApp() {
    if (isRunning()) {
        kill();
    }
}

void RunningApp::readAvailable() {
    errors += process.readAllStandardError();
    partial += process.readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype end = partial.indexOf('\n'); end >= 0; end = partial.indexOf('\n', start)) {
        output.append(partial.mid(start, end - start));
        start = end + 1;
    }
    partial.remove(0, start);
}

bool RunningApp::waitFor(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(waitLimit);
    for (;;) {
        readAvailable();
        if (condition()) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        if (!process.waitForReadyRead(readSliceMilliseconds) && !isRunning()) {
            readAvailable();
            return condition();
        }
    }
}

bool RunningApp::waitForLine(const std::function<bool(const QByteArray&)>& condition) {
    qsizetype checked = 0;
    return waitFor([&] {
        for (; checked < output.size(); ++checked) {
            if (condition(output[checked])) {
                return true;
            }
        }
        return false;
    });
}

bool RunningApp::waitForLine(const QByteArray& line) {
    return waitForLine([&](const QByteArray& candidate) { return candidate == line; });
}

void RunningApp::write(const QByteArray& bytes) {
    process.write(bytes);
    process.waitForBytesWritten();
}

std::vector<pid_t> RunningApp::children() const {
    std::vector<pid_t> pids;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid());
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks + '/' + task + "/children");
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& child : file.readAll().split(' ')) {
                if (!child.trimmed().isEmpty()) {
                    pids.push_back(child.trimmed().toInt());
                }
            }
        }
    }
    return pids;
}

void RunningApp::kill() {
    ::kill(pid(), SIGKILL);
    process.waitForFinished();
    readAvailable();
}

qsizetype countStartingWith(const QList<QByteArray>& lines, const QByteArray& prefix) {
    return std::count_if(lines.begin(), lines.end(), [&](const QByteArray& line) { return line.startsWith(prefix); });
}

bool containsInOrder(const QList<QByteArray>& lines, const QList<QByteArray>& expected) {
    auto next = expected.begin();
    for (const QByteArray& line : lines) {
        if (next != expected.end() && line == *next) {
            ++next;
        }
    }
    return next == expected.end();
}

} // namespace zonkle::test
