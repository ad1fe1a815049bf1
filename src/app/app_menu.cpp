// The menu bar: the application, file, edit, view, window and help menus with their keys.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>

#include "app/app_delegate.h"
#include "app/qt_conv.h"
#include "app/recent_files.h"
#include "viewport/viewport.h"

#ifndef IVORANE_VERSION
#define IVORANE_VERSION "0.0.0"
#endif

namespace ivo {
namespace {

template <class F>
QAction* item(QMenu* menu, const QString& title, const QList<QKeySequence>& keys, F action) {
    QAction* a = menu->addAction(title);
    a->setShortcuts(keys);
    a->setMenuRole(QAction::NoRole);
    QObject::connect(a, &QAction::triggered, menu, action);
    return a;
}

// Cut, copy, paste and select all act on the focused text field, as the toolkit does.
auto standardEdit(const char* method) {
    return [method] {
        QWidget* w = QApplication::focusWidget();
        if (!w) return;
        const QByteArray signature = QByteArray(method) + "()";
        if (w->metaObject()->indexOfMethod(signature.constData()) >= 0)
            QMetaObject::invokeMethod(w, method);
    };
}

}  // namespace

void AppDelegate::buildMenu(MainController& c) {
    QMenuBar* bar = c.window->menuBar();
    MainController* ctl = &c;

    QMenu* app = bar->addMenu("Ivorane 3D");
    item(app, "À propos d'Ivorane 3D", {}, [ctl] {
        ctl->dialogs->inform("À propos d'Ivorane 3D", "Ivorane 3D " IVORANE_VERSION
                                                      "\nModeleur 3-D paramétrique pour "
                                                      "l'impression 3-D.");
    });
    item(app, "Rechercher les mises à jour…", {}, [ctl] {
        if (ctl->updater) ctl->updater->check(true);
    });
    item(app, "Adresse des mises à jour…", {}, [ctl] {
        if (ctl->updater) ctl->updater->askURL();
    });
    app->addSeparator();
    item(app, "Quitter Ivorane 3D", {QKeySequence("Ctrl+Q")}, [ctl] { ctl->window->close(); });

    QMenu* file = bar->addMenu("Fichier");
    item(file, "Nouvel onglet", {QKeySequence("Ctrl+T")}, [ctl] { ctl->newTab(); });
    item(file, "Nouveau", {QKeySequence("Ctrl+N")}, [ctl] { ctl->newTab(); });
    item(file, "Ouvrir…", {QKeySequence("Ctrl+O")}, [ctl] { ctl->openDocument(); });
    QMenu* recent = file->addMenu("Ouvrir récent");
    connect(recent, &QMenu::aboutToShow, recent, [this, recent] { fillRecentMenu(recent); });
    fillRecentMenu(recent);
    item(file, "Fermer l'onglet", {QKeySequence("Ctrl+W")}, [ctl] { ctl->closeCurrentTab(); });
    file->addSeparator();
    item(file, "Enregistrer", {QKeySequence("Ctrl+S")}, [ctl] { ctl->saveDocument(); });
    item(file, "Enregistrer sous…", {QKeySequence("Ctrl+Shift+S")},
         [ctl] { ctl->saveDocumentAs(); });
    file->addSeparator();
    item(file, "Exporter en STL…", {QKeySequence("Ctrl+E")}, [ctl] { ctl->exportSTL(); });
    item(file, "Exporter en 3MF…", {QKeySequence("Ctrl+Shift+E")}, [ctl] { ctl->export3MF(); });
    // Ctrl+Maj+E already exports to 3MF.
    item(file, "Envoyer au trancheur", {QKeySequence("Ctrl+Alt+E")},
         [ctl] { ctl->sendToSlicer(); });
    item(file, "Choisir le trancheur…", {}, [ctl] { ctl->chooseSlicer(); });
    file->addSeparator();
    QAction* sketch = item(file, "Esquisse", {}, [ctl] { ctl->beginChoosePlane(); });
    QAction* finish = item(file, "Terminer l'esquisse", {}, [ctl] { ctl->finishSketch(); });
    connect(file, &QMenu::aboutToShow, file, [ctl, sketch, finish] {
        sketch->setEnabled(ctl->mode() != Mode::choosePlane);
        finish->setEnabled(ctl->mode() == Mode::sketch);
    });

    QMenu* edit = bar->addMenu("Édition");
    item(edit, "Annuler", {QKeySequence("Ctrl+Z")}, [ctl] { ctl->undoAction(); });
    item(edit, "Rétablir", {QKeySequence("Ctrl+Shift+Z")}, [ctl] { ctl->redoAction(); });
    edit->addSeparator();
    item(edit, "Couper", {QKeySequence("Ctrl+X")}, standardEdit("cut"));
    item(edit, "Copier", {QKeySequence("Ctrl+C")}, standardEdit("copy"));
    item(edit, "Coller", {QKeySequence("Ctrl+V")}, standardEdit("paste"));
    item(edit, "Tout sélectionner", {QKeySequence("Ctrl+A")}, standardEdit("selectAll"));

    QMenu* view = bar->addMenu("Affichage");
    item(view, "Vue de dessus", {QKeySequence("Ctrl+1")}, [this] { viewTop(); });
    item(view, "Vue de face", {QKeySequence("Ctrl+2")}, [this] { viewFront(); });
    item(view, "Vue de droite", {QKeySequence("Ctrl+3")}, [this] { viewRight(); });
    item(view, "Vue isométrique", {QKeySequence("Ctrl+4")}, [this] { viewIso(); });
    item(view, "Ajuster à la fenêtre", {QKeySequence("Ctrl+0")}, [this] { viewFit(); });
    view->addSeparator();
    QAction* overhangs = view->addAction("Surplombs");
    overhangs->setCheckable(true);
    overhangs->setChecked(ctl->overhangsShown);
    overhangs->setMenuRole(QAction::NoRole);
    connect(overhangs, &QAction::triggered, view, [ctl](bool on) { ctl->setOverhangsShown(on); });
    item(view, "Angle de surplomb…", {}, [ctl] { ctl->askOverhangAngle(); });
    connect(view, &QMenu::aboutToShow, view,
            [ctl, overhangs] { overhangs->setChecked(ctl->overhangsShown); });

    QMenu* win = bar->addMenu("Fenêtre");
    item(win, "Réduire", {QKeySequence("Ctrl+M")}, [ctl] { ctl->window->showMinimized(); });
    win->addSeparator();
    item(win, "Onglet suivant", {QKeySequence("Ctrl+Shift+]"), QKeySequence("Ctrl+PgDown")},
         [ctl] { ctl->nextTab(); });
    item(win, "Onglet précédent", {QKeySequence("Ctrl+Shift+["), QKeySequence("Ctrl+PgUp")},
         [ctl] { ctl->previousTab(); });

    QMenu* help = bar->addMenu("Aide");
    item(help, "Raccourcis clavier", {QKeySequence("Ctrl+?"), QKeySequence(Qt::Key_F1)},
         [this] { showShortcuts(); });
}

void AppDelegate::fillRecentMenu(QMenu* menu) {
    menu->clear();
    const QStringList files = recentFiles();
    for (const QString& path : files) {
        if (!QFileInfo::exists(path)) continue;
        QAction* a = menu->addAction(QFileInfo(path).fileName());
        a->setToolTip(path);
        connect(a, &QAction::triggered, menu, [this, path] { openFile(path); });
    }
    if (!menu->isEmpty()) menu->addSeparator();
    QAction* clear = menu->addAction("Effacer le menu", [] { clearRecentFiles(); });
    clear->setEnabled(!files.isEmpty());
}

}  // namespace ivo
