#include <csignal>

#include <QApplication>
#include <QLocale>
#include <QString>

#include "state/settings_store.h"
#include "ui/translations.h"
#include "zonkle_app.h"

int main(int argc, char* argv[]) {
    // A reader of our log lines that goes away (zonkle | head, a closed terminal) must not end the
    // application: the lines are dropped instead. The detector is spawned with the default action.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(zonkle::settingsOrganizationName));
    QApplication::setApplicationName(QString::fromLatin1(zonkle::settingsApplicationName));
    QApplication::setApplicationDisplayName(QStringLiteral("Zonkle"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zonkle"));
    // Closing a window (an updater dialog, say) never ends the application: Quit does.
    QApplication::setQuitOnLastWindowClosed(false);

    const zonkle::Translations translations(QLocale::system());
    zonkle::ZonkleApp app;
    return QApplication::exec();
}
