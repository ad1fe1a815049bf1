// The toolbar band: the workspace row, then one entry per command group of the current mode
// with the pinned commands as buttons under a header that opens the group's menu. The group
// menus and the customisation dialog are in toolbar_menus.cpp, the dispatcher in
// main_controller_run_tool.cpp.
#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/command_catalog.h"
#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "viewport/symbols.h"

namespace ivo {
namespace {

class SettingsPinStore : public PinStore {
public:
    std::optional<std::string> pinsBlob() const override {
        const QVariant v = QSettings().value("toolbarPins");
        if (!v.isValid()) return std::nullopt;
        return v.toByteArray().toStdString();
    }
    void setPinsBlob(const std::string& blob) override {
        QSettings().setValue("toolbarPins", QByteArray::fromStdString(blob));
    }
    bool magnetAdded() const override { return QSettings().value("pinMagnetAdded").toBool(); }
    void setMagnetAdded(bool added) override { QSettings().setValue("pinMagnetAdded", added); }
};

// The command groups are wider than the window in sketch mode: the wheel scrolls them sideways.
class SidewaysWheel : public QObject {
public:
    explicit SidewaysWheel(QScrollArea* area) : QObject(area), area_(area) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::Wheel) return false;
        const auto* w = static_cast<QWheelEvent*>(e);
        const QPoint d = w->pixelDelta().isNull() ? w->angleDelta() / 2 : w->pixelDelta();
        QScrollBar* bar = area_->horizontalScrollBar();
        bar->setValue(bar->value() - (d.x() != 0 ? d.x() : d.y()));
        return true;
    }

private:
    QScrollArea* area_;
};

QColor toColor(CmdColor c) {
    return QColor::fromRgbF(c.r, c.g, c.b);
}

const QColor kActiveBlue = QColor::fromRgbF(0.10, 0.45, 0.85);

QString buttonStyle(QColor tint, bool active) {
    const QString bg = active ? "rgba(26, 115, 217, 41)" : "transparent";
    const QString hover = active ? "rgba(26, 115, 217, 56)" : "rgba(0, 0, 0, 15)";
    return QString(
               "QToolButton { border: none; border-radius: 6px; padding: 2px 3px; color: %1;"
               " background: %2; }"
               " QToolButton:hover { background: %3; }"
               " QToolButton:pressed { background: rgba(26, 115, 217, 70); }")
        .arg(tint.name(), bg, hover);
}

QWidget* separatorLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFixedSize(1, 58);
    line->setAutoFillBackground(true);
    line->setPalette(QPalette(grey(0.82)));
    return line;
}

// A vertical stack of the buttons above the header that opens the group's menu.
QWidget* groupEntry(QWidget* parent, const std::string& name,
                    const std::vector<QToolButton*>& buttons, MainController* ctl) {
    auto* entry = new QWidget(parent);
    auto* column = new QVBoxLayout(entry);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    for (QToolButton* b : buttons) {
        b->setParent(entry);
        row->addWidget(b);
    }
    column->addLayout(row);
    auto* header = new QToolButton(entry);
    header->setObjectName("groupHeader");
    header->setProperty("group", toQt(name));
    header->setText(name.empty() ? QString() : toQt(name) + " ▾");
    if (!name.empty()) header->setToolTip("Toutes les commandes « " + toQt(name) + " »");
    header->setFocusPolicy(Qt::NoFocus);
    header->setCursor(Qt::PointingHandCursor);
    QFont f = header->font();
    f.setPixelSize(9);
    f.setWeight(QFont::DemiBold);
    header->setFont(f);
    header->setStyleSheet(
        "QToolButton { border: none; padding: 0px 2px; color: #4d4d4d; background: transparent; }"
        " QToolButton:hover { color: #1a73d9; }");
    if (name.empty()) header->setEnabled(false);
    QObject::connect(header, &QToolButton::clicked, ctl,
                     [ctl, header] { ctl->showGroupMenu(header); });
    column->addWidget(header, 0, Qt::AlignHCenter);
    column->setAlignment(row, Qt::AlignHCenter);
    return entry;
}

}  // namespace

ToolbarPins& MainController::pins() {
    if (!pins_) {
        pinStore_ = std::make_unique<SettingsPinStore>();
        pins_ = std::make_unique<ToolbarPins>(*pinStore_);
    }
    return *pins_;
}

void MainController::savePins() {
    pins().save();
}

bool MainController::isPinned(const std::string& id, const std::string& group, bool sketch) {
    return pins().isPinned(id, group, sketch);
}

void MainController::setPinned(const std::string& id, const std::string& group, bool sketch,
                               bool on) {
    pins().setPinned(id, group, sketch, on);
    rebuildToolbar();
}

void MainController::rebuildToolbar() {
    auto* outer = static_cast<QHBoxLayout*>(toolbarStack->layout());
    if (!toolbarScroll) {
        outer->setContentsMargins(0, 0, 0, 0);
        toolbarScroll = new QScrollArea(toolbarStack);
        toolbarScroll->setObjectName("toolbarScroll");
        toolbarScroll->setFrameShape(QFrame::NoFrame);
        toolbarScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        toolbarScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        toolbarScroll->setWidgetResizable(true);
        toolbarScroll->setStyleSheet(
            "QScrollArea, QWidget#qt_scrollarea_viewport, QWidget#toolbarStrip"
            " { background: transparent; }"
            " QScrollBar:horizontal { height: 5px; background: transparent; }"
            " QScrollBar::handle:horizontal { background: rgba(0, 0, 0, 60); border-radius: 2px;"
            " min-width: 30px; }"
            " QScrollBar::add-line, QScrollBar::sub-line { width: 0px; }");
        toolbarScroll->viewport()->setAutoFillBackground(false);
        toolbarScroll->viewport()->installEventFilter(new SidewaysWheel(toolbarScroll));
        outer->addWidget(toolbarScroll);
    }
    // The button or menu item being handled may be among the old widgets: hide them now and
    // let the event loop delete them once their signal has returned.
    const int scrolled = toolbarScroll->horizontalScrollBar()->value();
    if (QWidget* old = toolbarScroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    if (auto* oldTail =
            toolbarStack->findChild<QWidget*>("toolbarTail", Qt::FindDirectChildrenOnly)) {
        outer->removeWidget(oldTail);
        oldTail->setObjectName(QString());
        oldTail->hide();
        oldTail->deleteLater();
    }
    // The workspace row only shows labels, which send no signals.
    qDeleteAll(tabRow->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    toolButtons.clear();
    toolColors.clear();

    // Workspace row.
    QLabel* workspace = styledLabel(tabRow, "CONCEPTION ▾", 11, QFont::DemiBold, grey(0.15));
    workspace->setAlignment(Qt::AlignCenter);
    workspace->setGeometry(10, 4, 110, 20);
    workspace->setStyleSheet("QLabel { border: 1px solid #bfbfbf; border-radius: 4px; }");
    workspace->show();
    int x = 140;
    const auto workspaceTab = [&](const QString& text, bool active) {
        QLabel* t = styledLabel(tabRow, text, 11, active ? QFont::Bold : QFont::Normal,
                                active ? kActiveBlue : grey(0.35));
        t->setObjectName(active ? "activeWorkspace" : "workspace");
        const int w = t->sizeHint().width();
        t->setGeometry(x, 6, w, 16);
        t->show();
        if (active) {
            auto* bar = new QWidget(tabRow);
            bar->setAutoFillBackground(true);
            bar->setPalette(QPalette(kActiveBlue));
            bar->setGeometry(x - 4, 24, w + 8, 2);
            bar->show();
        }
        x += w + 26;
    };
    workspaceTab("SOLIDE", mode_ != Mode::sketch);
    if (mode_ == Mode::sketch) workspaceTab("ESQUISSE", true);

    auto* strip = new QWidget;
    strip->setObjectName("toolbarStrip");
    strip->setAutoFillBackground(false);
    auto* layout = new QHBoxLayout(strip);
    layout->setSpacing(6);
    layout->setContentsMargins(10, 2, 10, 2);
    layout->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const bool sketch = mode_ == Mode::sketch;
    const auto makeButton = [&](const Cmd& c, const std::string& group) {
        auto* b = new QToolButton(strip);
        b->setObjectName(toQt(c.id));
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        std::string title = c.shortLabel, symbol = c.symbol;
        if (c.id == "selmode") {
            title = selFilter == "body" ? "Corps" : "Faces";
            symbol = selFilter == "body" ? "cube.fill" : "square.fill";
        }
        b->setText(toQt(title));
        const QColor tint = toColor(c.color);
        const QIcon icon = symbolIcon(toQt(symbol), tint, 22);
        if (icon.isNull()) {
            b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        } else {
            b->setIcon(icon);
            b->setIconSize(QSize(22, 22));
        }
        QFont f = b->font();
        f.setPixelSize(10);
        b->setFont(f);
        // Never narrower than the label: the band scrolls instead of eliding.
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        b->setMinimumWidth(std::max(50, QFontMetrics(f).horizontalAdvance(b->text()) + 14));
        b->setFixedHeight(50);
        b->setStyleSheet(buttonStyle(tint, false));
        const bool unpinnable = group != kFinishGroup && c.id != "cancelPlane";
        b->setToolTip(toQt(c.title) + (unpinnable ? "\nClic droit : retirer de la barre" : ""));
        b->setContextMenuPolicy(c.id == "cancelPlane" ? Qt::NoContextMenu : Qt::CustomContextMenu);
        connect(b, &QToolButton::customContextMenuRequested, this,
                [this, b, group, id = c.id, shortLabel = c.shortLabel, unpinnable](QPoint at) {
                    auto* menu = new QMenu(window.get());
                    menu->setAttribute(Qt::WA_DeleteOnClose);
                    if (unpinnable)
                        menu->addAction(toQt("Retirer « " + shortLabel + " » de la barre d'outils"),
                                        this, [this, group, id] {
                                            setPinned(id, group, mode_ == Mode::sketch, false);
                                        });
                    menu->addAction("Personnaliser la barre d'outils…", this,
                                    [this] { customizeToolbar(); });
                    menu->popup(b->mapToGlobal(at));
                });
        connect(b, &QToolButton::clicked, this, [this, id = c.id] { runTool(id); });
        toolButtons[c.id] = b;
        toolColors[c.id] = tint;
        return b;
    };

    std::vector<QWidget*> entries;
    QWidget* finishEntry = nullptr;
    if (mode_ == Mode::choosePlane) {
        QLabel* hint =
            styledLabel(strip, "Choisissez un plan d'origine ou une face plane d'un corps.", 13,
                        QFont::Medium, grey(0.15));
        hint->setFixedHeight(50);
        entries.push_back(hint);
        QToolButton* cancel =
            makeButton({"cancelPlane", "Annuler", "Annuler", "xmark.circle", cRed}, "");
        cancel->setToolTip("Annuler (Échap)");
        entries.push_back(groupEntry(strip, "", {cancel}, this));
    } else {
        for (const CmdGroup& g : catalog(sketch)) {
            std::vector<QToolButton*> buttons;
            for (const std::string& id : pins().shown(g.group, sketch))
                if (const Cmd* c = findCmd(g, id)) buttons.push_back(makeButton(*c, g.group));
            QWidget* entry = groupEntry(strip, g.group, buttons, this);
            if (g.group == kFinishGroup)
                finishEntry = entry;
            else
                entries.push_back(entry);
        }
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) layout->addWidget(separatorLine(strip), 0, Qt::AlignVCenter);
        layout->addWidget(entries[i], 0, Qt::AlignTop);
    }
    toolbarScroll->setWidget(strip);
    // A pin changed from a menu keeps the band where the user had scrolled it; the range is
    // known once the new strip is laid out.
    QTimer::singleShot(0, toolbarScroll, [bar = toolbarScroll->horizontalScrollBar(), scrolled] {
        bar->setValue(scrolled);
    });
    if (finishEntry) {
        // The sketch groups are wider than most windows: "Terminer l'esquisse" stays in sight
        // at the right end while the other groups scroll.
        auto* tail = new QWidget(toolbarStack);
        tail->setObjectName("toolbarTail");
        auto* tailLayout = new QHBoxLayout(tail);
        tailLayout->setSpacing(6);
        tailLayout->setContentsMargins(0, 2, 10, 2);
        tailLayout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        tailLayout->addWidget(separatorLine(tail), 0, Qt::AlignVCenter);
        finishEntry->setParent(tail);
        tailLayout->addWidget(finishEntry, 0, Qt::AlignTop);
        outer->addWidget(tail);
        tail->show();
    }
    refreshToolbarState();
}

void MainController::refreshToolbarState() {
    const std::string tool = mode_ == Mode::sketch ? activeSketchTool() : std::string();
    for (const auto& [id, button] : toolButtons) {
        const bool active =
            mode_ == Mode::sketch ? (id == "magnet" ? magnet : id == tool) : id == "select3d";
        if (button->property("active").toBool() == active && button->property("active").isValid())
            continue;
        button->setProperty("active", active);
        button->setStyleSheet(buttonStyle(toolColors[id], active));
    }
}

}  // namespace ivo
