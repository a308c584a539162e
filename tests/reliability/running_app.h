#pragma once

#include <functional>
#include <ostream>

#include <QByteArray>
#include <QList>
#include <QProcess>

#include "sandbox.h"

// Failures show bytes as text.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}

namespace zonkle::test {

// A program of a sandbox (bin/zonkle or bin/zonkle-robot) running as a child of the test, in the
// sandbox's environment; killed on destruction if still running.
class RunningApp final {
public:
    // `inChild` runs in the child before the program starts (to drop root, say).
    RunningApp(const Sandbox& sandbox, const QString& program, const QString& daemonActions = {},
               const std::function<void()>& inChild = {});
    ~RunningApp();

    // Wait a generous while for the condition, or for a line of standard output.
    bool waitFor(const std::function<bool()>& condition);
    bool waitForLine(const QByteArray& line);
    // Waits for the end; the exit status, or -1 after a crash, a signal or no end in time.
    int waitForExit();

    QList<QByteArray> lines() const { return output.split('\n'); }
    QByteArray standardError() const { return errors; }

    QProcess process;

private:
    QByteArray output;
    QByteArray errors;
};

} // namespace zonkle::test
