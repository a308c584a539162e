#include "scripted_user.h"

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "daemon_link/log_line.h"

namespace zonkle::test {

namespace {

template <typename Widget> Widget* panelControl(const char* name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* control = window->findChild<Widget*>(QString::fromLatin1(name))) {
            return control;
        }
    }
    qFatal("the panel has no control named %s", name);
}

void pressKeys(QWidget* control, Qt::Key key, int times) {
    for (int i = 0; i < times; ++i) {
        QTest::keyClick(control, key);
    }
}

} // namespace

ScriptedUser::ScriptedUser(const QString& actions, QObject* parent)
    : QObject(parent), input(STDIN_FILENO, QSocketNotifier::Read) {
    for (const QString& action : actions.split(u';', Qt::SkipEmptyParts)) {
        pending.append(action.trimmed());
    }
    // Standard input is watched only while a "go" is awaited, so it never wakes the loop otherwise.
    input.setEnabled(false);
    connect(&input, &QSocketNotifier::activated, this, &ScriptedUser::readStandardInput);
    QTimer::singleShot(0, this, &ScriptedUser::runNext);
}

void ScriptedUser::runNext() {
    if (pending.isEmpty()) {
        writeLogLine("robot: finished");
        return;
    }
    const QString action = pending.takeFirst();
    if (action == u"wait-go") {
        input.setEnabled(true);
        return;
    }
    perform(action);
    writeLogLine(("robot: " + action + " done").toStdString());
    // The next action in a later turn, so queued work of the application runs in between.
    QTimer::singleShot(0, this, &ScriptedUser::runNext);
}

void ScriptedUser::perform(const QString& action) {
    const QStringList words = action.split(u' ', Qt::SkipEmptyParts);
    const int times = words.size() > 1 ? words[1].toInt() : 1;
    if (words[0] == u"slider-right") {
        pressKeys(panelControl<QSlider>("sensitivitySlider"), Qt::Key_Right, times);
    } else if (words[0] == u"slider-left") {
        pressKeys(panelControl<QSlider>("sensitivitySlider"), Qt::Key_Left, times);
    } else if (words[0] == u"next-sound") {
        pressKeys(panelControl<QComboBox>("soundPicker"), Qt::Key_Down, times);
    } else if (words[0] == u"toggle-pause") {
        pressKeys(panelControl<QWidget>("pauseSwitch"), Qt::Key_Space, times);
    } else {
        qFatal("unknown robot action %s", qPrintable(action));
    }
}

void ScriptedUser::readStandardInput() {
    char chunk[256];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got <= 0) {
        input.setEnabled(false); // the end of input: no go will ever come
        return;
    }
    received.append(chunk, got);
    if (received.contains('\n')) {
        received.remove(0, received.indexOf('\n') + 1);
        input.setEnabled(false);
        writeLogLine("robot: wait-go done");
        QTimer::singleShot(0, this, &ScriptedUser::runNext);
    }
}

} // namespace zonkle::test
