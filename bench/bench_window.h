// The one main window a window benchmark drives, and a frame drawn to the end of its GL work.
#pragma once

#include <memory>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTest>

#include "app/main_controller.h"
#include "app/scripted_dialogs.h"
#include "support/private_home.h"
#include "support/temp_dir.h"
#include "viewport/viewport.h"

namespace ivo::bench {

// Built and shown on first use; the caller resets `window()` before the application ends.
inline std::unique_ptr<MainController>& window() {
    static std::unique_ptr<MainController> w;
    return w;
}

inline MainController& controller() {
    std::unique_ptr<MainController>& w = window();
    if (!w) {
        w = std::make_unique<MainController>(std::make_unique<testing::ScriptedDialogs>());
        w->window->show();
        (void)QTest::qWaitForWindowExposed(w->window.get());
    }
    return *w;
}

// Draws one frame now and waits until the GL work is done.
inline void frame(MainController& c) {
    c.viewport->repaint();
    c.viewport->makeCurrent();
    QOpenGLContext::currentContext()->functions()->glFinish();
    c.viewport->doneCurrent();
}

// The whole main of a window benchmark. A private home: it never touches the user's session
// or preferences.
inline int runWindowBenchmarks(int argc, char** argv) {
    const testing::TempDir home;
    testing::usePrivateHome(home);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Ivorane");
    QApplication::setApplicationName("Ivorane3D");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window().reset();
    return 0;
}

}  // namespace ivo::bench
