// Message boxes and file dialogs of the toolkit.
#include "app/dialogs.h"

#include "app/app_delegate.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace ivo {

void QtDialogs::alert(const QString& message, const QString& informative, const QString& details) {
    QMessageBox box(QMessageBox::Warning, kAppTitle, message, QMessageBox::Ok, parent_);
    box.setInformativeText(informative);
    if (!details.isEmpty()) box.setDetailedText(details);
    box.exec();
}

void QtDialogs::inform(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, title, QMessageBox::Ok, parent_);
    box.setInformativeText(text);
    box.exec();
}

int QtDialogs::ask(const QString& message, const QString& informative, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Warning, kAppTitle, message, QMessageBox::NoButton, parent_);
    box.setInformativeText(informative);
    std::vector<QPushButton*> made;
    for (int i = 0; i < buttons.size(); ++i) {
        // Roles order the buttons as the platform expects; the first is the default.
        const auto role = i == 0                    ? QMessageBox::AcceptRole
                          : i == buttons.size() - 1 ? QMessageBox::RejectRole
                                                    : QMessageBox::DestructiveRole;
        made.push_back(box.addButton(buttons[i], role));
    }
    if (!made.empty()) {
        box.setDefaultButton(made.front());
        box.setEscapeButton(made.back());
    }
    box.exec();
    for (size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i]) return static_cast<int>(i);
    return static_cast<int>(made.size()) - 1;
}

QStringList QtDialogs::openFiles(const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent_, QString(), folder, filter);
}

std::optional<QString> QtDialogs::saveFile(const QString& proposed, const QString& filter,
                                           const QString& suffix) {
    QFileDialog dialog(parent_, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

void QtDialogs::beep() {
    QApplication::beep();
}

}  // namespace ivo
