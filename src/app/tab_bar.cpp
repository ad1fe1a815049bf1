// The document tab bar: one rounded tab per document with its symbol, title and close button,
// a context menu, and the "+" button after the last tab.
#include <algorithm>

#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "viewport/symbols.h"

namespace ivo {
namespace {

QString buttonStyle(QColor text) {
    return QString(
               "QPushButton { border: none; background: transparent; text-align: left;"
               " padding: 0; color: %1; }")
        .arg(text.name());
}

// A borderless button showing the symbol, or `fallback` as text when it is not mapped.
QToolButton* symbolButton(QWidget* parent, const char* objectName, const char* symbol, QColor tint,
                          int size, const QString& fallback, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(objectName);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    const QIcon icon = symbolIcon(symbol, tint, size);
    if (icon.isNull()) {
        b->setText(fallback);
    } else {
        b->setIcon(icon);
        b->setIconSize(QSize(size, size));
    }
    b->setToolTip(tip);
    return b;
}

void attachTabMenu(QWidget* w, MainController* ctl, size_t i) {
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(w, &QWidget::customContextMenuRequested, w, [w, ctl, i](const QPoint& at) {
        QMenu menu;
        menu.addAction("Fermer l'onglet", [ctl, i] { ctl->closeTab(i); });
        menu.addAction("Fermer les autres onglets", [ctl, i] { ctl->closeOthers(i); });
        menu.exec(w->mapToGlobal(at));
    });
}

}  // namespace

void MainController::rebuildDocTabs() {
    // A tab's own button may be what triggered this rebuild: delete later, not now.
    for (QWidget* v : docTabViews) {
        v->hide();
        v->deleteLater();
    }
    docTabViews.clear();

    for (size_t i = 0; i < tabs.size(); ++i) {
        const bool active = i == activeTab;
        auto* item = new FlippedView(docTabBar);
        item->setBackground(active ? Qt::white : grey(0.82));
        item->setCorners(6, true);
        attachTabMenu(item, this, i);

        auto* title = new QPushButton(item);
        title->setObjectName("tabTitle");
        title->setText(toQt("  " + tabTitle(i)));
        QFont font = title->font();
        font.setPixelSize(12);
        font.setWeight(active ? QFont::DemiBold : QFont::Normal);
        title->setFont(font);
        title->setStyleSheet(buttonStyle(active ? grey(0.1) : grey(0.35)));
        title->setIcon(symbolIcon("cube.transparent",
                                  active ? QColor::fromRgbF(0.1, 0.45, 0.85) : grey(0.45), 14));
        title->setIconSize(QSize(14, 14));
        title->setFocusPolicy(Qt::NoFocus);
        const std::optional<std::string>& file = active ? fileURL : tabs[i].fileURL;
        title->setToolTip(file ? toQt(*file) : "Modèle non enregistré");
        connect(title, &QPushButton::clicked, this, [this, i] { switchToTab(i); });
        attachTabMenu(title, this, i);

        auto* close =
            symbolButton(item, "tabClose", "xmark", grey(0.4), 9, "×", "Fermer l'onglet (Ctrl+W)");
        connect(close, &QToolButton::clicked, this, [this, i] { closeTab(i); });

        item->show();
        docTabViews.push_back(item);
    }

    auto* plus =
        symbolButton(docTabBar, "tabPlus", "plus", grey(0.25), 13, "+", "Nouvel onglet (Ctrl+T)");
    connect(plus, &QToolButton::clicked, this, [this] { newTab(); });
    plus->show();
    docTabViews.push_back(plus);

    layoutDocTabs();
}

void MainController::layoutDocTabs() {
    if (docTabViews.empty()) return;
    const int n = static_cast<int>(docTabViews.size()) - 1;
    const TabBarGeometry g = tabBarGeometry(n, docTabBar->width());
    const int w = static_cast<int>(g.w);
    for (int i = 0; i < n; ++i) {
        QWidget* item = docTabViews[static_cast<size_t>(i)];
        item->setGeometry(static_cast<int>(g.tabX(i)), 4, w - 4, 30);
        if (auto* title = item->findChild<QPushButton*>("tabTitle"))
            title->setGeometry(4, 3, std::max(w - 34, 0), 24);
        if (auto* close = item->findChild<QToolButton*>("tabClose"))
            close->setGeometry(w - 28, 6, 18, 18);
    }
    docTabViews.back()->setGeometry(static_cast<int>(g.plusX), 5, 26, 24);
}

}  // namespace ivo
