// The browser column on the left: the document, the origin planes, the sketches and the
// bodies in sections that fold, with eye buttons and the rows' menus.
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/main_controller.h"
#include "app/menu_entry.h"
#include "app/qt_conv.h"
#include "document/timeline_edit.h"
#include "sketch/profiles.h"
#include "viewport/symbols.h"

namespace ivo {
namespace {

const QColor kRowSymbol = QColor::fromRgbF(0.2, 0.45, 0.75);
const QColor kFolder = QColor::fromRgbF(0.85, 0.65, 0.25);

const QString kFlatStyle =
    "QPushButton { border: none; text-align: left; padding: 2px 4px; border-radius: 4px; }"
    " QPushButton:hover { background: rgba(0, 0, 0, 14); }";

std::optional<SketchPlane> planeOf(const std::string& id) {
    if (id == "plane:XY") return SketchPlane::xy();
    if (id == "plane:XZ") return SketchPlane::xz();
    if (id == "plane:YZ") return SketchPlane::yz();
    return std::nullopt;
}

// The number after `prefix` in `id`, or nothing.
std::optional<std::int64_t> numberAfter(const std::string& id, const std::string& prefix) {
    if (id.rfind(prefix, 0) != 0 || id.size() == prefix.size()) return std::nullopt;
    std::int64_t v = 0;
    for (size_t i = prefix.size(); i < id.size(); ++i) {
        if (id[i] < '0' || id[i] > '9' || v > (INT64_MAX - 9) / 10) return std::nullopt;
        v = v * 10 + (id[i] - '0');
    }
    return v;
}

struct Row {
    std::string id, title, symbol;
    int indent = 16;
    std::optional<bool> visible = std::nullopt;  // none: no eye
    bool bold = false;
};

}  // namespace

void MainController::rebuildBrowser() {
    auto* layout = static_cast<QVBoxLayout*>(browserStack->layout());
    clearStrip(layout, stripHandlerDepth > 0);
    if (browserStack->styleSheet().isEmpty()) browserStack->setStyleSheet(kFlatStyle);

    QLabel* heading = styledLabel(nullptr, "NAVIGATEUR", 10, QFont::Bold, grey(0.4));
    heading->setContentsMargins(4, 0, 0, 4);
    layout->addWidget(heading);

    const auto addRow = [&](const Row& r) {
        auto* line = new QWidget;
        line->setObjectName(toQt("row:" + r.id));
        auto* h = new QHBoxLayout(line);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(2);
        if (r.indent > 0) h->addSpacing(r.indent);
        const bool hidden = r.visible && !*r.visible;
        if (r.visible) {
            auto* eye = new QToolButton(line);
            eye->setObjectName(toQt("eye:" + r.id));
            eye->setFixedSize(20, 20);
            eye->setAutoRaise(true);
            eye->setToolTip("Afficher / masquer");
            const char* symbol = *r.visible ? "eye" : "eye.slash";
            const QIcon icon = cachedSymbolIcon(symbol, grey(hidden ? 0.7 : 0.25), 14);
            if (icon.isNull())
                eye->setText(*r.visible ? "●" : "○");
            else
                eye->setIcon(icon);
            eye->setProperty("symbol", symbol);
            connect(eye, &QToolButton::clicked, this,
                    inStrip([this, id = r.id] { browserEye(id); }));
            h->addWidget(eye);
        }
        auto* title = new QPushButton(toQt(" " + r.title), line);
        title->setObjectName(toQt(r.id));
        title->setFlat(true);
        QFont f = title->font();
        f.setPixelSize(12);
        f.setBold(r.bold);
        title->setFont(f);
        QPalette p = title->palette();
        p.setColor(QPalette::ButtonText, grey(hidden ? 0.55 : 0.1));
        title->setPalette(p);
        title->setProperty("dimmed", hidden);
        title->setIcon(cachedSymbolIcon(toQt(r.symbol), kRowSymbol, 14));
        title->setIconSize(QSize(14, 14));
        title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        title->setMinimumWidth(40);
        title->setToolTip(toQt(r.title));
        connect(title, &QPushButton::clicked, this,
                inStrip([this, id = r.id] { browserClick(id); }));
        title->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(title, &QPushButton::customContextMenuRequested, this,
                [this, title, id = r.id](QPoint at) {
                    if (QMenu* menu = browserMenu(id)) menu->popup(title->mapToGlobal(at));
                });
        h->addWidget(title, 1);
        layout->addWidget(line);
    };
    const auto addSection = [&](const std::string& key, const std::string& title) {
        const bool folded = collapsed.count(key) > 0;
        auto* line = new QWidget;
        auto* h = new QHBoxLayout(line);
        h->setContentsMargins(0, 6, 0, 0);
        h->setSpacing(4);
        auto* header = new QPushButton(toQt((folded ? "▸  " : "▾  ") + title), line);
        header->setObjectName(toQt(key));
        header->setFlat(true);
        QFont f = header->font();
        f.setPixelSize(12);
        f.setWeight(QFont::Medium);
        header->setFont(f);
        QPalette p = header->palette();
        p.setColor(QPalette::ButtonText, grey(0.12));
        header->setPalette(p);
        connect(header, &QPushButton::clicked, this, inStrip([this, key] { toggleSection(key); }));
        h->addWidget(header);
        auto* folder = new QLabel(line);
        folder->setPixmap(cachedSymbolIcon("folder.fill", kFolder, 14).pixmap(14, 14));
        h->addWidget(folder);
        h->addStretch(1);
        layout->addWidget(line);
        return !folded;
    };

    addRow({"doc", documentName(fileURL), "doc.fill", 0, std::nullopt, true});
    if (addSection("origin", "Origine")) {
        addRow({"plane:XY", "Plan XY (face)", "square"});
        addRow({"plane:XZ", "Plan XZ (dessus)", "square.tophalf.filled"});
        addRow({"plane:YZ", "Plan YZ (droite)", "square.righthalf.filled"});
    }
    if (addSection("sketches", "Esquisses")) {
        for (size_t i = 0; i < doc_.features.size(); ++i) {
            const Feature& f = doc_.features[i];
            if (static_cast<std::int64_t>(i) >= doc_.marker) break;
            if (f.kind != fk::sketch || !f.sketch || f.suppressed) continue;
            const std::string editing = editSketch_ == i ? "  (en cours)" : "";
            addRow({"sketch:" + std::to_string(i), f.name + editing, "pencil.and.outline", 16,
                    f.sketch->visible});
        }
    }
    if (addSection("bodies", "Corps")) {
        for (const Body& b : result_.bodies) {
            const bool shown =
                std::find(doc_.hidden.begin(), doc_.hidden.end(), b.id) == doc_.hidden.end();
            addRow({"body:" + std::to_string(b.id), displayName(doc_, b), "cube.fill", 16, shown});
        }
    }
}

void MainController::toggleSection(const std::string& key) {
    if (!collapsed.erase(key)) collapsed.insert(key);
    rebuildBrowser();
    // The folded sections are part of the tab, which the session brings back.
    scheduleAutosave();
}

void MainController::browserClick(const std::string& id) {
    if (const std::optional<SketchPlane> plane = planeOf(id)) {
        leaveEditing();
        startSketch(*plane);
        return;
    }
    if (const auto i = numberAfter(id, "sketch:")) {
        if (static_cast<size_t>(*i) >= doc_.features.size()) return;
        const Id sketchId = doc_.features[static_cast<size_t>(*i)].id;
        leaveEditing();
        if (const auto at = doc_.index(sketchId)) enterSketch(*at);
    }
}

void MainController::browserEye(const std::string& id) {
    if (const auto i = numberAfter(id, "sketch:")) toggleSketchVisibility(static_cast<size_t>(*i));
    if (const auto b = numberAfter(id, "body:")) toggleBodyVisibility(*b);
}

QMenu* MainController::browserMenu(const std::string& id) {
    if (const auto i = numberAfter(id, "sketch:")) {
        if (static_cast<size_t>(*i) >= doc_.features.size()) return nullptr;
        QMenu* menu = closingMenu();
        addSketchMenu(menu, static_cast<size_t>(*i));
        return menu;
    }
    if (const auto b = numberAfter(id, "body:")) {
        QMenu* menu = closingMenu();
        addBodyMenu(menu, *b);
        return menu;
    }
    if (const std::optional<SketchPlane> plane = planeOf(id)) {
        QMenu* menu = closingMenu();
        mi(menu, "Créer une esquisse sur ce plan", "pencil.and.outline", this, [this, p = *plane] {
            leaveEditing();
            startSketch(p);
        });
        return menu;
    }
    return nullptr;
}

void MainController::addSketchMenu(QMenu* menu, size_t index) {
    if (index >= doc_.features.size()) return;
    const Feature& f = doc_.features[index];
    if (f.kind != fk::sketch || !f.sketch) return;
    const Id sketchId = f.id;
    // Entries find the sketch again by its id: the timeline may have changed meanwhile.
    const auto run = [this, sketchId](void (MainController::*op)(size_t)) {
        return [this, sketchId, op] {
            if (const auto at = doc_.index(sketchId)) (this->*op)(*at);
        };
    };
    mi(menu, "Modifier l'esquisse", "pencil", this, [this, sketchId] {
        leaveEditing();
        if (const auto at = doc_.index(sketchId)) enterSketch(*at);
    });
    const bool visible = f.sketch->visible;
    mi(menu, visible ? "Masquer l'esquisse" : "Afficher l'esquisse", visible ? "eye.slash" : "eye",
       this, run(&MainController::toggleSketchVisibility));
    mi(menu, "Extruder cette esquisse", "square.stack.3d.up.fill", this,
       run(&MainController::extrudeSketch));
    mi(menu, "Dupliquer avec décalage…", "plus.square.on.square", this,
       run(&MainController::duplicateSketch));
    mi(menu, "Renommer…", "character.cursor.ibeam", this, run(&MainController::renameFeature));
    mi(menu, "Supprimer l'esquisse", "trash", this, run(&MainController::deleteFeature));
}

void MainController::addBodyMenu(QMenu* menu, Id body) {
    const bool hidden =
        std::find(doc_.hidden.begin(), doc_.hidden.end(), body) != doc_.hidden.end();
    mi(menu, hidden ? "Afficher le corps" : "Masquer le corps", hidden ? "eye" : "eye.slash", this,
       [this, body] { toggleBodyVisibility(body); });
    mi(menu, "Renommer…", "character.cursor.ibeam", this, [this, body] { renameBody(body); });
    menu->addSeparator();
    mi(menu, "Exporter ce corps en 3MF…", "shippingbox.fill", this,
       [this, body] { exportBodies({body}, "3mf"); });
    mi(menu, "Exporter ce corps en STL…", "square.and.arrow.up", this,
       [this, body] { exportBodies({body}, "stl"); });
    mi(menu, "Supprimer le corps", "trash", this, [this, body] { deleteBody(body); });
}

}  // namespace ivo
