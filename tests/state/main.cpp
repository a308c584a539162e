#include "child_process.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    if (argc >= 2 && std::strcmp(argv[1], zonkle::test::writeSettingsMode) == 0) {
        return zonkle::test::writeSettingsAndWait();
    }

    // Whatever a test does, this process never touches the user's real settings file.
    QTemporaryDir configHome;
    if (!configHome.isValid()) {
        return EXIT_FAILURE;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configHome.path());

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
