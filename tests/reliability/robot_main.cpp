// zonkle-robot: the application as main runs it, through the same runApplication, plus a user who
// takes one action per line of standard input: slider-right, next-sound and
// toggle-pause press a key on the panel's control and answer "robot: <action> done"; login opens
// the tray menu and triggers Start at Login, answering "robot: login was on" or "was off" (its
// state as the opened menu showed it). Once the application is built it says "robot: ready <the
// Quit button's text>".

#include <map>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSocketNotifier>
#include <QTest>

#include "app/run_application.h"
#include "app/zonkle_app.h"
#include "daemon_link/log_line.h"

namespace {

QWidget* control(const QString& name) {
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == name) {
            return widget;
        }
    }
    qFatal("the panel has no %s", qPrintable(name));
}

std::string toggleStartAtLogin() {
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* menu = qobject_cast<QMenu*>(widget);
        for (QAction* item : menu != nullptr ? menu->actions() : QList<QAction*>()) {
            if (item->text() == u"Start at Login") {
                emit menu->aboutToShow();
                const bool was = item->isChecked();
                item->trigger();
                return was ? "was on" : "was off";
            }
        }
    }
    qFatal("the tray menu has no Start at Login");
}

void perform(const QByteArray& action) {
    static const std::map<QByteArray, std::pair<QString, Qt::Key>> presses{
        {"slider-right", {"sensitivitySlider", Qt::Key_Right}},
        {"next-sound", {"soundPicker", Qt::Key_Down}},
        {"toggle-pause", {"pauseSwitch", Qt::Key_Space}}};
    std::string answer = "done";
    if (action == "login") {
        answer = toggleStartAtLogin();
    } else {
        QTest::keyClick(control(presses.at(action).first), presses.at(action).second);
    }
    zonkle::writeLogLine("robot: " + action.toStdString() + " " + answer);
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
        zonkle::writeLogLine("robot: ready " + control("quitButton")->property("text").toString().toStdString());
    });
}
