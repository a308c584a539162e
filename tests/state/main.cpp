#include <cstdlib>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Whatever a test does, this process never touches the user's real settings file.
    QTemporaryDir configHome;
    if (!configHome.isValid()) {
        return EXIT_FAILURE;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
