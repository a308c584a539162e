#include <gtest/gtest.h>
#include <optional>

#include <QApplication>

// Widgets, icons and dialogs need a QApplication (the tests run it offscreen); listing the tests,
// as the build does, needs none and so no display either.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::optional<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) {
        app.emplace(argc, argv);
    }
    return RUN_ALL_TESTS();
}
