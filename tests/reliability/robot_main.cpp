// zonkle-robot: the application as main runs it, through the same runApplication, plus a user at
// its panel who takes one action per line of standard input (slider-right, slider-left,
// next-sound, toggle-pause) and answers "robot: <action> done". It says "robot: ready <the Quit
// button's text>" once the application is built, and "robot: panel shown" whenever the panel
// appears.

#include <map>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QSlider>
#include <QSocketNotifier>
#include <QTest>

#include "app/run_application.h"
#include "app/zonkle_app.h"
#include "daemon_link/log_line.h"

namespace {

QWidget* panel() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->findChild<QSlider*>(QStringLiteral("sensitivitySlider")) != nullptr) {
            return window;
        }
    }
    qFatal("no panel");
}

void say(const QString& text) {
    zonkle::writeLogLine(("robot: " + text).toStdString());
}

class PanelUser final : public QObject {
public:
    explicit PanelUser(QObject* parent) : QObject(parent), input(STDIN_FILENO, QSocketNotifier::Read) {
        connect(&input, &QSocketNotifier::activated, this, [this] { readActions(); });
        panel()->installEventFilter(this);
        say("ready " + panel()->findChild<QAbstractButton*>(QStringLiteral("quitButton"))->text());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            say("panel shown");
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void readActions() {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            input.setEnabled(false);
            return;
        }
        received.append(chunk, got);
        for (qsizetype end = received.indexOf('\n'); end >= 0; end = received.indexOf('\n')) {
            perform(received.left(end));
            received.remove(0, end + 1);
        }
    }

    void perform(const QByteArray& action) {
        static const std::map<QByteArray, std::pair<const char*, Qt::Key>> presses{
            {"slider-right", {"sensitivitySlider", Qt::Key_Right}},
            {"slider-left", {"sensitivitySlider", Qt::Key_Left}},
            {"next-sound", {"soundPicker", Qt::Key_Down}},
            {"toggle-pause", {"pauseSwitch", Qt::Key_Space}}};
        const auto press = presses.find(action);
        if (press == presses.end()) {
            qFatal("unknown robot action %s", action.constData());
        }
        QTest::keyClick(panel()->findChild<QWidget*>(QString::fromLatin1(press->second.first)), press->second.second);
        say(QString::fromLatin1(action) + " done");
    }

    QSocketNotifier input;
    QByteArray received;
};

} // namespace

int main(int argc, char* argv[]) {
    return zonkle::runApplication(argc, argv, [](zonkle::ZonkleApp& app) { new PanelUser(&app); });
}
