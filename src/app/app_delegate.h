// The thin application object: it creates the controller once the application has started,
// builds the menu bar, routes menu commands and the files given on the command line to the
// controller, and saves the session when the application quits.
#pragma once

#include <memory>

#include <QObject>
#include <QStringList>

#include "app/main_controller.h"

class QMenu;

namespace ivo {

class AppDelegate : public QObject {
public:
    AppDelegate() = default;
    ~AppDelegate() override;

    std::unique_ptr<MainController> ctl;
    // Files asked for before the controller existed, opened in order after the session.
    QStringList pendingOpen;
    // Whether launching starts the automatic update checks (tests leave the network alone).
    bool startUpdater = true;

    // Creates the controller (with `dialogs`, or the toolkit's), the menu bar, restores the
    // session, opens the pending files and shows the window.
    void applicationDidFinishLaunching(std::unique_ptr<Dialogs> dialogs = nullptr);
    // Opens now when the controller exists; otherwise remembers the file and answers true.
    bool openFile(const QString& path);
    // Saves the session; the application then quits without questions.
    void applicationShouldTerminate();

    void buildMenu(MainController& c);
    void showShortcuts();
    void viewTop() { setView("top"); }
    void viewFront() { setView("front"); }
    void viewRight() { setView("right"); }
    void viewIso() { setView("iso"); }
    void viewFit();

private:
    void setView(const char* name);
    void fillRecentMenu(QMenu* menu);
};

// The keyboard help, one line per entry.
QString shortcutsText();

// Names the application for preferences, data folders and the desktop. No display name is
// set: the window system would append it to every window title, which already holds it.
void setApplicationIdentity();
// The application's name as shown to the user.
inline constexpr const char* kAppTitle = "Ivorane 3D";

}  // namespace ivo
