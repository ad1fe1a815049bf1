// Runs the window tests in a private home (session, preferences and recent files of the
// user are never read or written) with one application object for the whole run.
#include <cstdlib>

#include <gtest/gtest.h>
#include <QApplication>

#include "support/temp_dir.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

    ivo::testing::TempDir home;
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", home.file("data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", home.file("cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);

    QApplication app(argc, argv);
    QApplication::setOrganizationName("Ivorane");
    QApplication::setApplicationName("Ivorane3D");
    return RUN_ALL_TESTS();
}
