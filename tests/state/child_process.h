#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace zonkle::test {

// This process's environment with XDG_CONFIG_HOME set to `configHome`, so that a child's
// default QSettings lives there.
QProcessEnvironment environmentWithConfigHome(const QString& configHome);

// A program run as a child process, its standard output captured and its standard error
// passed through. Killed on destruction if still running.
class ChildProcess final {
public:
    // Runs this test binary with `arguments`.
    ChildProcess(const QStringList& arguments, const QProcessEnvironment& environment);
    ChildProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment);
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Whether the output holds `line` as a whole line, waiting for it a generous time.
    bool waitForLine(const QByteArray& line);
    // Whether it ended by itself with exit code 0, waiting for that a generous time.
    bool waitForSuccess();
    void kill();
    // Everything read from its output so far.
    QByteArray output() const { return received; }

private:
    void readAvailable();

    QProcess process;
    QByteArray received;
};

} // namespace zonkle::test
