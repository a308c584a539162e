#pragma once

#include <functional>
#include <sys/types.h>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace zonkle::test {

// The conventional unprivileged account, which tests that need file permissions to matter run as.
inline constexpr uid_t unprivilegedUser = 65534;
inline constexpr gid_t unprivilegedGroup = 65534;

// The application (or zonkle-robot) running as a child of the test, its standard output
// collected line by line. Killed on destruction if still running.
class RunningApp final {
public:
    enum class User { current, unprivileged };

    RunningApp(const QString& program, const QProcessEnvironment& environment, User user = User::current);
    ~RunningApp();

    RunningApp(const RunningApp&) = delete;
    RunningApp& operator=(const RunningApp&) = delete;

    // Waits a generous while for a line of standard output that satisfies the condition.
    bool waitForLine(const std::function<bool(const QByteArray&)>& condition);
    bool waitForLine(const QByteArray& line);
    // Waits a generous while for the condition, reading output meanwhile.
    bool waitFor(const std::function<bool()>& condition);

    const QList<QByteArray>& lines() const { return output; }
    QByteArray standardError() const { return errors; }
    void write(const QByteArray& bytes);

    bool isRunning() const { return process.state() == QProcess::Running; }
    pid_t pid() const { return static_cast<pid_t>(process.processId()); }
    // The application's child processes, zombies included: its detector while one exists.
    std::vector<pid_t> children() const;
    void kill();

private:
    void readAvailable();

    QProcess process;
    QList<QByteArray> output;
    QByteArray partial;
    QByteArray errors;
};

// How many of the lines start with the prefix.
qsizetype countStartingWith(const QList<QByteArray>& lines, const QByteArray& prefix);
// Whether `expected` appears in `lines` in this order, other lines allowed in between.
bool containsInOrder(const QList<QByteArray>& lines, const QList<QByteArray>& expected);

} // namespace zonkle::test
