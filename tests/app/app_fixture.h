// Starts and quits the real application in a test: the delegate, the controller and its
// window, with scripted dialogs, in the private home that gui_test_main.cpp set up.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include "app/app_delegate.h"
#include "app/qt_conv.h"
#include "app/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace ivo::testing {

class AppFixture : public ::testing::Test {
public:
    void SetUp() override {
        QSettings().clear();
        std::filesystem::remove_all(dataDir());
    }
    void TearDown() override { quit(false); }

    // Launches as the system does: restores the session, then opens `files`.
    MainController& launch(const std::vector<std::string>& files = {}) {
        delegate = std::make_unique<AppDelegate>();
        delegate->startUpdater = false;  // no automatic request to the real update site
        for (const std::string& f : files)
            delegate->openFile(toQt(f));
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        delegate->applicationDidFinishLaunching(std::move(d));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(delegate->ctl->window.get()));
        return *delegate->ctl;
    }
    // Quits as the user does (closing the window writes the session), or as a killed process.
    void quit(bool closeWindow = true) {
        if (closeWindow) delegate->ctl->window->close();
        delegate.reset();
        QApplication::processEvents();
    }

    static std::string dataDir() {
        return fromQt(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
               "/Ivorane3D";
    }
    static std::string sessionFile() { return dataDir() + "/session.json"; }
    static void writeSession(const std::string& text) {
        std::filesystem::create_directories(dataDir());
        std::ofstream(sessionFile(), std::ios::binary) << text;
    }
    // A copy of a sample model, so that saving never touches the repository.
    std::string example(const std::string& name) {
        return tmp.write(name, readAll(std::string(IVORANE_EXAMPLES_DIR) + "/" + name));
    }

    TempDir tmp;
    std::unique_ptr<AppDelegate> delegate;
    ScriptedDialogs* dialogs = nullptr;
};

}  // namespace ivo::testing
