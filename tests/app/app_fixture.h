// Starts and quits the real application in a test: the delegate, the controller and its
// window, with scripted dialogs, in the private home that gui_test_main.cpp set up.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
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
        QDir(dataDir()).removeRecursively();
    }
    void TearDown() override {
        delegate.reset();
        QApplication::processEvents();
    }

    // Launches as the system does: restores the session, then opens `files`.
    MainController& launch(const QStringList& files = {}) {
        delegate = std::make_unique<AppDelegate>();
        for (const QString& f : files)
            delegate->openFile(f);
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        delegate->applicationDidFinishLaunching(std::move(d));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(ctl().window.get()));
        return ctl();
    }
    // Quits as the user does: closing the window writes the session.
    void quit() {
        ctl().window->close();
        delegate.reset();
        dialogs = nullptr;
        QApplication::processEvents();
    }

    MainController& ctl() { return *delegate->ctl; }

    static QString dataDir() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Ivorane3D";
    }
    static QString sessionFile() { return dataDir() + "/session.json"; }
    static QByteArray readBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeBytes(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // A copy of a sample model in the test's folder, so that saving never touches the
    // repository.
    std::string example(const std::string& name) {
        const std::string copy = tmp.file(name);
        QFile::remove(toQt(copy));
        QFile::copy(toQt(std::string(IVORANE_EXAMPLES_DIR) + "/" + name), toQt(copy));
        return copy;
    }

    TempDir tmp;
    std::unique_ptr<AppDelegate> delegate;
    ScriptedDialogs* dialogs = nullptr;
};

}  // namespace ivo::testing
