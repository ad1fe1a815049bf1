// The toolbar band's commands for the current mode: starting a sketch, cancelling the choice
// of a plane, finishing a sketch.
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "app/main_controller.h"
#include "app/qt_conv.h"

namespace ivo {
namespace {

QToolButton* commandButton(QWidget* parent, const QString& title, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setText(title);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumSize(64, 56);
    QFont f = b->font();
    f.setPixelSize(12);
    b->setFont(f);
    return b;
}

}  // namespace

void MainController::rebuildToolbar() {
    auto* layout = static_cast<QHBoxLayout*>(toolbarStack->layout());
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();  // the button being clicked may be among them
        }
        delete item;
    }
    toolButtons.clear();

    const auto add = [&](const std::string& id, const QString& title, const QString& tip,
                         auto action) {
        QToolButton* b = commandButton(toolbarStack, title, tip);
        connect(b, &QToolButton::clicked, this, action);
        layout->addWidget(b);
        toolButtons[id] = b;
    };
    switch (mode_) {
        case Mode::model:
            add("sketch", "Esquisse", "Nouvelle esquisse sur un plan ou une face",
                [this] { beginChoosePlane(); });
            break;
        case Mode::choosePlane: {
            auto* hint = new QLabel("Choisissez un plan d'origine ou une face plane d'un corps.",
                                    toolbarStack);
            QFont f = hint->font();
            f.setPixelSize(13);
            f.setWeight(QFont::Medium);
            hint->setFont(f);
            QPalette pal = hint->palette();
            pal.setColor(QPalette::WindowText, grey(0.15));
            hint->setPalette(pal);
            layout->addWidget(hint);
            add("cancelPlane", "Annuler", "Annuler (Échap)", [this] { cancelChoosePlane(); });
            break;
        }
        case Mode::sketch:
            add("finish", "Terminer l'esquisse", "Terminer l'esquisse et revenir au modèle",
                [this] { finishSketch(); });
            break;
        case Mode::featureEdit: break;
    }
}

}  // namespace ivo
