// The group menus of the toolbar headers and the customisation dialog. Menus pop up without a
// nested event loop and delete themselves once closed, so whatever their items rebuild is
// never the widget whose signal is running.
#include <QCheckBox>
#include <QMenu>
#include <QToolButton>

#include "app/command_catalog.h"
#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "app/toolbar_customize_dialog.h"
#include "viewport/symbols.h"

namespace ivo {
namespace {

QIcon menuIcon(const std::string& symbol, CmdColor c) {
    return symbolIcon(toQt(symbol), QColor::fromRgbF(c.r, c.g, c.b), 16);
}

}  // namespace

void MainController::showGroupMenu(QToolButton* header) {
    const bool sketch = mode_ == Mode::sketch;
    const std::string name = fromQt(header->property("group").toString());
    const CmdGroup* g = name.empty() ? nullptr : findGroup(name, sketch);
    if (!g) return;
    const bool pinnable = name != kFinishGroup;
    const std::string tool = sketch ? activeSketchTool() : std::string();

    auto* menu = new QMenu(window.get());
    menu->setObjectName("groupMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setToolTipsVisible(true);
    QFont pinFont = menu->font();
    pinFont.setPointSizeF(pinFont.pointSizeF() * 0.9);
    for (const std::optional<Cmd>& c : g->items) {
        if (!c) {
            menu->addSeparator();
            continue;
        }
        const bool pinned = isPinned(c->id, name, sketch);
        QAction* run = menu->addAction(menuIcon(c->symbol, c->color),
                                       toQt(c->title + (pinned && pinnable ? "   📌" : "")));
        run->setData(toQt(c->id));
        if (sketch && c->id == tool) {
            run->setCheckable(true);
            run->setChecked(true);
        }
        connect(run, &QAction::triggered, this, [this, id = c->id] { runTool(id); });
        if (!pinnable) continue;
        // Without Option-key alternates the pin toggle is an ordinary item under its command.
        QAction* pin = menu->addAction(
            symbolIcon(pinned ? "pin.slash" : "pin", grey(0.45), 14),
            toQt((pinned ? "Retirer de la barre : " : "Épingler dans la barre : ") + c->title));
        pin->setData(toQt(name + "|" + c->id));
        pin->setFont(pinFont);
        connect(pin, &QAction::triggered, this, [this, pin] {
            const QStringList parts = pin->data().toString().split('|');
            if (parts.size() != 2) return;
            const bool inSketch = mode_ == Mode::sketch;
            const std::string group = fromQt(parts[0]), id = fromQt(parts[1]);
            setPinned(id, group, inSketch, !isPinned(id, group, inSketch));
        });
    }
    if (pinnable) {
        menu->addSeparator();
        menu->addAction(symbolIcon("slider.horizontal.3", grey(0.35), 16),
                        "Personnaliser la barre d'outils…", this, [this] { customizeToolbar(); });
    }
    menu->popup(header->mapToGlobal(QPoint(0, header->height() + 4)));
}

void MainController::customizeToolbar() {
    if (customizePanel) {
        customizePanel->raise();
        customizePanel->activateWindow();
        return;
    }
    ToolbarCustomizeDialog::Callbacks callbacks;
    callbacks.isPinned = [this](const std::string& id, const std::string& group, bool sketch) {
        return isPinned(id, group, sketch);
    };
    callbacks.check = [this](QCheckBox* box) {
        const QStringList parts = box->objectName().split('|');
        if (parts.size() != 3) return;
        setPinned(fromQt(parts[2]), fromQt(parts[1]), parts[0] == "1", box->isChecked());
    };
    callbacks.reset = [this] { resetPins(); };
    callbacks.done = [this] { closeCustomize(); };
    auto* dialog = new ToolbarCustomizeDialog(window.get(), std::move(callbacks));
    // Escape and the window's close button end up here too.
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        if (customizePanel == dialog) closeCustomize();
    });
    customizePanel = dialog;
    dialog->show();
}

void MainController::resetPins() {
    pins().reset();
    rebuildToolbar();
    if (customizePanel) {
        // Reached from the dialog's own button: it goes away after the click has returned.
        closeCustomize();
        customizeToolbar();
    }
}

void MainController::closeCustomize() {
    QDialog* panel = customizePanel;
    customizePanel = nullptr;
    if (!panel) return;
    panel->hide();
    panel->deleteLater();
}

}  // namespace ivo
