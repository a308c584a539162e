#pragma once

#include <initializer_list>

#include <QObject>

namespace zonkle {

// Turns the given signals into QCoreApplication::quit(), the way the panel's Quit ends the
// application: the event loop returns, and the detector sees the end of its input when the
// process exits. A signal handler may do next to nothing, so it only writes the signal's number
// to a pipe that the event loop watches. A second signal of the same kind takes its default
// action, so a hung application still ends on a second Ctrl+C.
class QuitOnSignals final : public QObject {
    Q_OBJECT

public:
    // Once per process: the handlers share one pipe, which stays open until the process ends,
    // since a signal may still arrive while the application is torn down.
    explicit QuitOnSignals(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);

private:
    void onSignalArrived();
};

} // namespace zonkle
