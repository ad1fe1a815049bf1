// The window's side of the updater: its alerts and prompts go to the controller's dialogs,
// its progress to the status line, with a button there that cancels the download.
#pragma once

#include <functional>

#include <QObject>

#include "updater/updater.h"

class QToolButton;

namespace ivo {

class MainController;

class ControllerUpdateHost : public QObject, public UpdaterHost {
public:
    explicit ControllerUpdateHost(MainController& ctl);

    void alert(const QString& title, const QString& text) override;
    int ask(const QString& message, const QString& informative,
            const QStringList& buttons) override;
    std::optional<QString> askText(const QString& title, const QString& value) override;
    QString status() const override;
    void setStatus(const QString& text) override;
    void showCancel(std::function<void()> cancel) override;
    void autosaveNow() override;
    void quit() override;

    // The "Annuler" button of the status line; hidden when there is nothing to cancel.
    QToolButton* cancelButton() const { return cancelButton_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeCancel();

    MainController& ctl_;
    QToolButton* cancelButton_;
    std::function<void()> cancel_;
};

}  // namespace ivo
