// The timeline strip at the bottom of the window: one button per feature in order, the
// orange marker that limits evaluation, the four marker buttons and the features' menus.
#include <algorithm>

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMenu>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include "app/main_controller.h"
#include "app/menu_entry.h"
#include "app/qt_conv.h"
#include "document/timeline_edit.h"
#include "viewport/symbols.h"

namespace ivo {
namespace {

const QColor kSystemRed = QColor::fromRgbF(1.0, 0.23, 0.19);
const QColor kSystemOrange = QColor::fromRgbF(1.0, 0.58, 0.0);

const char* symbolOf(const Feature& f) {
    if (f.kind == fk::sketch) return "pencil.and.outline";
    if (f.kind == fk::extrude) return "square.stack.3d.up";
    if (f.kind == fk::revolve) return "arrow.triangle.2.circlepath";
    if (f.kind == fk::fillet)
        return f.fillet && f.fillet->chamfer ? "triangle" : "rectangle.roundedtop";
    return "square.on.square";
}

QWidget* markerView() {
    auto* m = new QWidget;
    m->setObjectName("timelineMarker");
    m->setFixedSize(4, 30);
    m->setAutoFillBackground(true);
    QPalette p = m->palette();
    p.setColor(QPalette::Window, kSystemOrange);
    m->setPalette(p);
    m->setToolTip("Marqueur : les fonctions à droite ne sont pas calculées");
    return m;
}

const QString kFeatureStyle =
    "QToolButton { border: 1px solid #b9b9b9; border-radius: 6px; padding: 3px 8px;"
    " color: #202020; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff,"
    " stop:1 #e9e9e9); }"
    " QToolButton:hover { border-color: #8f8f8f; }"
    " QToolButton:checked { background: #cfe1f8; border-color: #1a73d9; }";

}  // namespace

void MainController::buildTimelineControls() {
    struct MarkerButton {
        const char* symbol;
        const char* title;
        const char* name;
        std::function<std::int64_t()> to;
    };
    const std::vector<MarkerButton> buttons{
        {"backward.end.fill", "⏮", "markerStart", [] { return std::int64_t{0}; }},
        {"backward.frame.fill", "◀", "markerBack", [this] { return doc_.marker - 1; }},
        {"forward.frame.fill", "▶", "markerForward", [this] { return doc_.marker + 1; }},
        {"forward.end.fill", "⏭", "markerEnd",
         [this] { return static_cast<std::int64_t>(doc_.features.size()); }},
    };
    // One style sheet on the containers: set on each button, it would be parsed per button
    // on every rebuild.
    timelineControls->setStyleSheet(kFeatureStyle);
    timelineStack->setStyleSheet(kFeatureStyle);
    auto* layout = static_cast<QHBoxLayout*>(timelineControls->layout());
    for (const MarkerButton& m : buttons) {
        auto* b = new QToolButton(timelineControls);
        b->setObjectName(m.name);
        const QIcon icon = symbolIcon(m.symbol, QColor(60, 60, 60), 16);
        if (icon.isNull()) {
            b->setText(m.title);
        } else {
            b->setIcon(icon);
            b->setIconSize(QSize(16, 16));
        }
        b->setFixedSize(28, 26);
        b->setToolTip("Déplacer le marqueur de la timeline");
        connect(b, &QToolButton::clicked, this, [this, to = m.to] { moveMarker(to()); });
        layout->addWidget(b);
    }
}

void MainController::scheduleStripRebuild() {
    if (stripRebuildPending) return;
    stripRebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        stripRebuildPending = false;
        rebuildTimeline();
        rebuildBrowser();
    });
}

void MainController::rebuildTimeline() {
    auto* layout = static_cast<QHBoxLayout*>(timelineStack->layout());
    clearStrip(layout, stripHandlerDepth > 0);
    const std::int64_t count = static_cast<std::int64_t>(doc_.features.size());
    for (std::int64_t i = 0; i < count; ++i) {
        const auto at = static_cast<size_t>(i);
        const Feature& f = doc_.features[at];

        auto* b = new QToolButton;
        b->setObjectName(toQt("feat:" + std::to_string(i)));
        b->setText(toQt(f.name));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        QFont font = b->font();
        font.setPixelSize(11);
        b->setFont(font);
        b->setFixedHeight(30);
        const bool failed = result_.errors.count(f.id) > 0;
        b->setIcon(cachedSymbolIcon(symbolOf(f), failed ? kSystemRed : QColor(60, 60, 60), 16));
        b->setIconSize(QSize(16, 16));
        b->setProperty("failed", failed);
        if (failed) {
            const auto m = result_.messages.find(f.id);
            b->setToolTip(
                toQt(f.name + " : " + (m != result_.messages.end() ? m->second : "erreur")));
        } else {
            b->setToolTip(toQt(f.name + " — clic pour modifier, clic droit pour plus d'options"));
        }
        const bool dimmed = f.suppressed || i >= doc_.marker;
        b->setProperty("dimmed", dimmed);
        if (dimmed) {
            auto* fade = new QGraphicsOpacityEffect(b);
            fade->setOpacity(0.4);
            b->setGraphicsEffect(fade);
        }
        b->setCheckable(true);
        b->setChecked(editFeature == at || editSketch_ == at);
        // The check state follows the edited feature only; a click does not toggle it.
        connect(b, &QToolButton::clicked, this, inStrip([this, b, at] {
                    b->setChecked(editFeature == at || editSketch_ == at);
                    editFeatureAt(at);
                }));
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QToolButton::customContextMenuRequested, this, [this, b, at](QPoint p) {
            if (QMenu* menu = timelineMenu(at)) menu->popup(b->mapToGlobal(p));
        });
        layout->addWidget(b);
    }
    layout->insertWidget(static_cast<int>(std::clamp<std::int64_t>(doc_.marker, 0, count)),
                         markerView());
    // A long timeline scrolls: keep the marker in sight when it moved (a new feature, the
    // marker buttons, another tab), but leave the strip where the user put it otherwise.
    const std::pair<size_t, std::int64_t> shown{activeTab, doc_.marker};
    if (shown != timelineMarkerShown) {
        timelineMarkerShown = shown;
        revealTimelineMarker();
    }
}

void MainController::revealTimelineMarker() {
    // From the event loop: the strip and the scroll bar's range are only settled once the
    // new buttons have been laid out (and the window shown, at start-up).
    QTimer::singleShot(0, this, [this] {
        QWidget* marker = timelineStack->findChild<QWidget*>("timelineMarker");
        if (!marker) return;
        // The scroll area would size the strip, and so its scroll range, only later.
        timelineStack->layout()->activate();
        timelineStack->resize(
            timelineStack->sizeHint().expandedTo(timelineScroll->viewport()->size()));
        timelineScroll->ensureWidgetVisible(marker, 60, 0);
    });
}

QMenu* MainController::timelineMenu(size_t index) {
    if (index >= doc_.features.size()) return nullptr;
    const Feature& f = doc_.features[index];
    QMenu* menu = closingMenu();
    mi(menu, "Modifier", "pencil", this, [this, index] { editFeatureAt(index); });
    if (f.kind == fk::sketch && f.sketch) {
        const bool visible = f.sketch->visible;
        mi(menu, visible ? "Masquer l'esquisse" : "Afficher l'esquisse",
           visible ? "eye.slash" : "eye", this, [this, index] { toggleSketchVisibility(index); });
        menu->addSeparator();
    }
    mi(menu, f.suppressed ? "Activer" : "Désactiver", "", this,
       [this, index] { toggleSuppressed(index); });
    mi(menu, "Placer le marqueur après", "", this,
       [this, index] { moveMarker(static_cast<std::int64_t>(index) + 1); });
    mi(menu, "Renommer…", "character.cursor.ibeam", this, [this, index] { renameFeature(index); });
    mi(menu, "Supprimer", "trash", this, [this, index] { deleteFeature(index); });
    return menu;
}

void MainController::moveMarker(std::int64_t to) {
    leaveEditing();
    doc_.marker = clampedMarker(doc_, to);
    markDirty();
    rebuildAll();
}

void MainController::toggleSuppressed(size_t index) {
    if (index >= doc_.features.size()) return;
    const Id id = doc_.features[index].id;
    leaveEditing();
    const std::optional<size_t> at = doc_.index(id);
    if (!at) return;
    pushUndo();
    doc_.features[*at].suppressed = !doc_.features[*at].suppressed;
    rebuildAll();
}

}  // namespace ivo
