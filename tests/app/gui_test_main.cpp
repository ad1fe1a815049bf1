// Runs the window tests in a private home (session, preferences and recent files of the
// user are never read or written) with one application object for the whole run.
#include <gtest/gtest.h>
#include <QApplication>

#include "app/app_delegate.h"
#include "support/private_home.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // needs no display
    const ivo::testing::TempDir home;
    ivo::testing::usePrivateHome(home);
    QApplication app(argc, argv);
    ivo::setApplicationIdentity();
    return RUN_ALL_TESTS();
}
