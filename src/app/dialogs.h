// The modal questions the window asks (alerts, the discard question, file choosers, the
// beep). They go through this interface so that tests can answer them without a person.
#pragma once

#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

class QWidget;

namespace ivo {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A warning with its informative text; `details` may be shown on request.
    virtual void alert(const QString& message, const QString& informative,
                       const QString& details = {}) = 0;
    // A message box for information (the keyboard help).
    virtual void inform(const QString& title, const QString& text) = 0;
    // The index of the button chosen; the last one is the cancel button (Escape).
    virtual int ask(const QString& message, const QString& informative,
                    const QStringList& buttons) = 0;
    // A one-line text prompt pre-filled with `value`: the text on "OK", none on "Annuler".
    virtual std::optional<QString> askText(const QString& title, const QString& value) = 0;
    // Existing files chosen by the user (several allowed); empty when cancelled.
    virtual QStringList openFiles(const QString& folder, const QString& filter) = 0;
    // The path to write to; none when cancelled. `proposed` is a path or a file name.
    virtual std::optional<QString> saveFile(const QString& proposed, const QString& filter,
                                            const QString& suffix) = 0;
    virtual void beep() = 0;
    // A number typed as an expression ("40/2+1,5"), offered with `value`; none when cancelled.
    virtual std::optional<double> askNumber(const QString& title, double value) = 0;
    // Several numbers at once, one field per label with its value; none when cancelled.
    virtual std::optional<std::vector<double>> askNumbers(const QString& title,
                                                          const QString& message,
                                                          const QStringList& labels,
                                                          const std::vector<double>& values) = 0;
};

// The toolkit's own message boxes and file dialogs, modal to `parent`. Message texts are
// shown as plain text: they quote file names and update notes, which may look like markup.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}

    void alert(const QString& message, const QString& informative, const QString& details) override;
    void inform(const QString& title, const QString& text) override;
    int ask(const QString& message, const QString& informative,
            const QStringList& buttons) override;
    std::optional<QString> askText(const QString& title, const QString& value) override;
    QStringList openFiles(const QString& folder, const QString& filter) override;
    std::optional<QString> saveFile(const QString& proposed, const QString& filter,
                                    const QString& suffix) override;
    void beep() override;
    std::optional<double> askNumber(const QString& title, double value) override;
    std::optional<std::vector<double>> askNumbers(const QString& title, const QString& message,
                                                  const QStringList& labels,
                                                  const std::vector<double>& values) override;

private:
    QWidget* parent_;
};

}  // namespace ivo
