// zonkle-robot: the application as main runs it, through the same runApplication, plus a user at
// its panel who takes one action per line of standard input (slider-right, slider-left,
// next-sound, toggle-pause; login: the tray menu's Start at Login) and answers "robot: <action>
// done"; "login?" opens the tray menu and answers "robot: start at login on" or "off". Once the
// application is built it says "robot: ready <the Quit button's text>".

#include <map>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSocketNotifier>
#include <QTest>

#include "app/run_application.h"
#include "app/zonkle_app.h"
#include "daemon_link/log_line.h"

namespace {

QWidget* control(const char* name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* found = window->findChild<QWidget*>(QString::fromLatin1(name))) {
            return found;
        }
    }
    qFatal("the panel has no %s", name);
}

QAction* startAtLogin() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* menu = qobject_cast<QMenu*>(window)) {
            emit menu->aboutToShow();
            for (QAction* item : menu->actions()) {
                if (item->text() == u"Start at Login") {
                    return item;
                }
            }
        }
    }
    qFatal("the tray menu has no Start at Login");
}

void perform(const QByteArray& action) {
    if (action == "login?") {
        zonkle::writeLogLine(startAtLogin()->isChecked() ? "robot: start at login on" : "robot: start at login off");
        return;
    }
    if (action == "login") {
        startAtLogin()->trigger();
        zonkle::writeLogLine("robot: login done");
        return;
    }
    static const std::map<QByteArray, std::pair<const char*, Qt::Key>> presses{
        {"slider-right", {"sensitivitySlider", Qt::Key_Right}},
        {"slider-left", {"sensitivitySlider", Qt::Key_Left}},
        {"next-sound", {"soundPicker", Qt::Key_Down}},
        {"toggle-pause", {"pauseSwitch", Qt::Key_Space}}};
    const auto& [name, key] = presses.at(action);
    QTest::keyClick(control(name), key);
    zonkle::writeLogLine("robot: " + action.toStdString() + " done");
}

} // namespace

int main(int argc, char* argv[]) {
    QFile input;
    return zonkle::runApplication(argc, argv, [&input](zonkle::ZonkleApp& app) {
        input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
        auto* notifier = new QSocketNotifier(input.handle(), QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, [&input, notifier] {
            const QByteArray line = input.readLine();
            line.isEmpty() ? notifier->setEnabled(false) : perform(line.trimmed());
        });
        const auto* quit = static_cast<QAbstractButton*>(control("quitButton"));
        zonkle::writeLogLine("robot: ready " + quit->text().toStdString());
    });
}
