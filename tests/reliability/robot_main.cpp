// zonkle-robot: the application exactly as main.cpp builds it, plus a ScriptedUser at its
// panel (actions in ZONKLE_ROBOT_ACTIONS). Placed in a temporary install tree like the
// real binary, it finds its detector in <tree>/libexec/zonkle/.

#include <QApplication>
#include <QString>

#include "app/zonkle_app.h"
#include "scripted_user.h"
#include "state/settings_store.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(zonkle::settingsOrganizationName));
    QApplication::setApplicationName(QString::fromLatin1(zonkle::settingsApplicationName));
    QApplication::setQuitOnLastWindowClosed(false);

    zonkle::ZonkleApp app;
    zonkle::test::ScriptedUser user(qEnvironmentVariable("ZONKLE_ROBOT_ACTIONS"));
    return QApplication::exec();
}
