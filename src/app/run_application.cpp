#include "run_application.h"

#include <csignal>
#include <cstdio>

#include <QApplication>
#include <QLocale>
#include <QString>

#include "command_line.h"
#include "quit_on_signals.h"
#include "single_instance.h"
#include "state/settings_store.h"
#include "ui/translations.h"
#include "zonkle_app.h"

namespace zonkle {

int runApplication(int argc, char* argv[], const std::function<void(ZonkleApp&)>& started) {
    if (const std::optional<int> status = handleCommandLine(argc, argv)) {
        return *status;
    }
    // A reader of our log lines that goes away (zonkle | head, a closed terminal) must not end the
    // application: the lines are dropped instead. The detector is spawned with the default action.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(settingsOrganizationName));
    QApplication::setApplicationName(QString::fromLatin1(settingsApplicationName));
    QApplication::setApplicationDisplayName(QStringLiteral("Zonkle"));
    QApplication::setApplicationVersion(QString::fromLatin1(ZONKLE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("zonkle"));
    // Closing a window (an updater dialog, say) never ends the application: Quit does.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.isFirst()) {
        if (!instance.askFirstToShowPanel()) {
            std::fprintf(stderr, "Zonkle is already running but does not answer.\n");
            return 1;
        }
        std::fprintf(stderr, "Zonkle is already running; its panel is shown.\n");
        return 0;
    }
    const QuitOnSignals quitOnSignals{SIGINT, SIGTERM, SIGHUP};
    const Translations translations(QLocale::system());
    ZonkleApp app;
    QObject::connect(&instance, &SingleInstance::showPanelRequested, &app, &ZonkleApp::showPanel);
    if (started) {
        started(app);
    }
    return QApplication::exec();
}

} // namespace zonkle
