// Alerts, prompts, status line and session for the updater.
#include "app/update_host.h"

#include <QApplication>
#include <QEvent>
#include <QToolButton>

#include "app/main_controller.h"
#include "app/qt_conv.h"

namespace ivo {

ControllerUpdateHost::ControllerUpdateHost(MainController& ctl)
    : ctl_(ctl), cancelButton_(new QToolButton(ctl.root)) {
    cancelButton_->setText("Annuler");
    cancelButton_->setToolTip("Arrêter le téléchargement de la mise à jour");
    cancelButton_->setAutoRaise(true);
    cancelButton_->hide();
    connect(cancelButton_, &QToolButton::clicked, this, [this] {
        // The download's end removes the button; keep the function alive meanwhile.
        if (auto cancel = cancel_) cancel();
    });
    ctl.root->installEventFilter(this);
}

void ControllerUpdateHost::alert(const QString& title, const QString& text) {
    ctl_.dialogs->alert(title, text);
}

int ControllerUpdateHost::ask(const QString& message, const QString& informative,
                              const QStringList& buttons) {
    return ctl_.dialogs->ask(message, informative, buttons);
}

std::optional<QString> ControllerUpdateHost::askText(const QString& title, const QString& value) {
    return ctl_.dialogs->askText(title, value);
}

QString ControllerUpdateHost::status() const {
    return ctl_.statusText();
}

void ControllerUpdateHost::setStatus(const QString& text) {
    ctl_.setStatus(fromQt(text));
}

void ControllerUpdateHost::showCancel(std::function<void()> cancel) {
    cancel_ = std::move(cancel);
    cancelButton_->setVisible(bool(cancel_));
    if (cancel_) {
        placeCancel();
        cancelButton_->raise();
    }
}

void ControllerUpdateHost::autosaveNow() {
    ctl_.autosaveNow();
}

void ControllerUpdateHost::quit() {
    // As "Quitter Ivorane 3D": closing the window writes the session.
    ctl_.window->close();
    QApplication::quit();
}

bool ControllerUpdateHost::eventFilter(QObject* watched, QEvent* event) {
    // The status line moves in the window's own resize handling, which comes after this.
    if (watched == ctl_.root && event->type() == QEvent::Resize && cancelButton_->isVisible())
        QMetaObject::invokeMethod(
            this, [this] { placeCancel(); }, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

void ControllerUpdateHost::placeCancel() {
    // At the right end of the status line, over the 3-D view.
    const QRect line = ctl_.statusLabel->geometry();
    const QSize size = cancelButton_->sizeHint();
    cancelButton_->setGeometry(line.right() - size.width(), line.center().y() - size.height() / 2,
                               size.width(), size.height());
}

}  // namespace ivo
