// Start-up order, files handed to the application, and the end of the application.
#include "app/app_delegate.h"

#include <QApplication>

#include "app/qt_conv.h"
#include "app/update_host.h"
#include "viewport/viewport.h"

namespace ivo {

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching(std::unique_ptr<Dialogs> dialogs) {
    ctl = std::make_unique<MainController>(std::move(dialogs));
    buildMenu(*ctl);
    ctl->placeWindow();
    ctl->restoreSession();
    // Shown before the files open, so that a refusal is not an alert over an empty screen.
    ctl->window->show();
    const QStringList files = std::exchange(pendingOpen, {});
    for (const QString& f : files)
        ctl->open(fromQt(f));
    ctl->updaterHost = std::make_unique<ControllerUpdateHost>(*ctl);
    ctl->updater = std::make_unique<Updater>(Updater::Config::fromBuild(), ctl->updaterHost.get());
    if (startUpdater) ctl->updater->start();
    ctl->window->raise();
    ctl->window->activateWindow();
    ctl->viewport->setFocus();
}

bool AppDelegate::openFile(const QString& path) {
    if (ctl) return ctl->open(fromQt(path));
    pendingOpen.append(path);
    return true;
}

void AppDelegate::applicationShouldTerminate() {
    if (ctl) ctl->autosaveNow();
}

void AppDelegate::setView(const char* name) {
    if (ctl) ctl->viewport->setView(name);
}

void AppDelegate::viewFit() {
    if (ctl) ctl->viewport->fit();
}

void AppDelegate::showShortcuts() {
    if (ctl) ctl->dialogs->inform("Raccourcis d'Ivorane 3D", shortcutsText());
}

void setApplicationIdentity() {
    QApplication::setOrganizationName("Ivorane");
    QApplication::setApplicationName("Ivorane3D");
    QApplication::setDesktopFileName("ivorane3d");
}

QString shortcutsText() {
    // What the window offers today; each command that arrives adds its line.
    const char* const lines[] = {
        "Navigation",
        "• Deux doigts : déplacer la vue — Maj + deux doigts : orbite",
        "• Pincer ou molette : zoom — glisser dans le vide : orbite",
        "• Bouton du milieu : déplacer — Maj + milieu : orbite",
        "• Clic droit ou Super + clic : menu de la vue",
        "",
        "Modèle",
        "• « Esquisse », puis un plan d'origine : nouvelle esquisse — Échap : annuler",
        "• Double-clic sur une face plane : nouvelle esquisse",
        "• Ctrl+1 dessus, Ctrl+2 face, Ctrl+3 droite, Ctrl+4 iso, Ctrl+0 ajuster",
        "• Ctrl+Z annuler — Ctrl+Maj+Z rétablir",
        "• Ctrl+E STL, Ctrl+Maj+E 3MF — Ctrl+Alt+E envoyer au trancheur",
        "",
        "Esquisse",
        "• L ligne, R rectangle, C cercle, A arc 3 points, F congé, T ajuster, O décalage",
        "• D cote, X construction, M aimant — toutes les commandes dans la barre d'outils",
        "• Clic sur un point ou une courbe : sélectionner, glisser : déplacer — Suppr : effacer",
        "• Double-clic sur une cote : changer sa valeur",
        "• Échap : interrompre l'outil, deux fois : sélection",
        "• « Terminer l'esquisse » : revenir au modèle",
    };
    QStringList out;
    for (const char* l : lines)
        out << QString::fromUtf8(l);
    return out.join('\n');
}

}  // namespace ivo
