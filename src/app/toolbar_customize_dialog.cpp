// Built once per opening: after a reset the controller opens a fresh dialog rather than
// updating the checkboxes of this one.
#include "app/toolbar_customize_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/command_catalog.h"
#include "app/qt_conv.h"
#include "app/views.h"
#include "viewport/symbols.h"

namespace ivo {

ToolbarCustomizeDialog::ToolbarCustomizeDialog(QWidget* parent, Callbacks callbacks)
    : QDialog(parent), callbacks_(std::move(callbacks)) {
    setObjectName("customizeToolbar");
    setWindowTitle("Personnaliser la barre d'outils");
    setWindowModality(Qt::WindowModal);
    setSizeGripEnabled(true);
    QPalette light = palette();
    light.setColor(QPalette::Window, QColor(246, 246, 246));
    setPalette(light);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setSpacing(10);
    column->setContentsMargins(18, 16, 18, 16);

    // Linux menus have no Option-key alternates: the pin items are ordinary menu items.
    QLabel* intro = styledLabel(
        nullptr,
        "Cochez les commandes qui doivent avoir leur icône dans la barre. Les autres restent "
        "dans les menus « ▾ ». Astuce : dans un menu ▾, choisissez « Épingler dans la barre » "
        "pour épingler directement, ou faites un clic droit sur une icône pour la retirer.",
        12, QFont::Normal, grey(0.25));
    intro->setWordWrap(true);
    intro->setFixedWidth(700);
    column->addWidget(intro);

    for (const bool sketch : {true, false}) {
        column->addWidget(styledLabel(nullptr, sketch ? "MODE ESQUISSE" : "MODE SOLIDE", 13,
                                      QFont::Bold, QColor::fromRgbF(0, 0.45, 0.85)));
        auto* row = new QHBoxLayout;
        row->setSpacing(24);
        for (const CmdGroup& g : catalog(sketch)) {
            if (g.group == kFinishGroup) continue;
            auto* groupColumn = new QVBoxLayout;
            groupColumn->setSpacing(3);
            groupColumn->addWidget(
                styledLabel(nullptr, toQt(g.group), 11, QFont::DemiBold, grey(0.35)));
            for (const std::optional<Cmd>& c : g.items) {
                if (!c) continue;
                auto* box = new QCheckBox(toQt(c->title));
                QFont f = box->font();
                f.setPixelSize(11);
                box->setFont(f);
                box->setObjectName(toQt((sketch ? "1|" : "0|") + g.group + "|" + c->id));
                const QIcon icon = symbolIcon(
                    toQt(c->symbol), QColor::fromRgbF(c->color.r, c->color.g, c->color.b), 16);
                if (!icon.isNull()) {
                    box->setIcon(icon);
                    box->setIconSize(QSize(16, 16));
                }
                box->setChecked(callbacks_.isPinned(c->id, g.group, sketch));
                connect(box, &QCheckBox::toggled, this, [this, box] { callbacks_.check(box); });
                groupColumn->addWidget(box);
            }
            groupColumn->addStretch(1);
            row->addLayout(groupColumn);
        }
        row->addStretch(1);
        column->addLayout(row);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto* reset = new QPushButton("Rétablir la barre par défaut");
    reset->setObjectName("resetPins");
    reset->setAutoDefault(false);
    auto* done = new QPushButton("Terminé");
    done->setObjectName("done");
    done->setDefault(true);
    connect(reset, &QPushButton::clicked, this, [this] { callbacks_.reset(); });
    connect(done, &QPushButton::clicked, this, [this] { callbacks_.done(); });
    buttons->addWidget(reset);
    buttons->addWidget(done);
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    const QSize fit = content->sizeHint();
    resize(std::min(fit.width() + 20, 1100), std::min(fit.height() + 10, 700));
}

}  // namespace ivo
