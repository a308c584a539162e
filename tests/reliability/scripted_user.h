#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

namespace zonkle::test {

// Plays a user at the running application's panel, one action per event-loop turn, so the
// reliability tests can change settings in a real application process. Actions, separated
// by ';' (ZONKLE_ROBOT_ACTIONS):
//   wait-go          wait for one line on standard input
//   slider-right N   press Right N times on the sensitivity slider (one change each)
//   slider-left N    press Left N times
//   next-sound       press Down on the sound picker
//   toggle-pause     press Space on the pause switch
// After each action the log line "robot: <action> done" is written; after the last one,
// "robot: finished".
class ScriptedUser final : public QObject {
    Q_OBJECT

public:
    explicit ScriptedUser(const QString& actions, QObject* parent = nullptr);

private:
    void runNext();
    void perform(const QString& action);
    void readStandardInput();

    QStringList pending;
    QSocketNotifier input;
    QByteArray received;
};

} // namespace zonkle::test
