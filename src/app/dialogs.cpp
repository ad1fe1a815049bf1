// Message boxes, number prompts and file dialogs of the toolkit.
#include "app/dialogs.h"

#include "app/app_delegate.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

#include "input/parse_num.h"

namespace ivo {
namespace {

// A message box guesses rich text from a "<"; the texts shown here are never markup.
void plainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

}  // namespace

void QtDialogs::alert(const QString& message, const QString& informative, const QString& details) {
    QMessageBox box(QMessageBox::Warning, kAppTitle, message, QMessageBox::Ok, parent_);
    box.setInformativeText(informative);
    if (!details.isEmpty()) box.setDetailedText(details);
    plainText(box);
    box.exec();
}

void QtDialogs::inform(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, title, QMessageBox::Ok, parent_);
    box.setInformativeText(text);
    plainText(box);
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
    plainText(box);
    box.exec();
    for (size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i]) return static_cast<int>(i);
    return static_cast<int>(made.size()) - 1;
}

std::optional<QString> QtDialogs::askText(const QString& title, const QString& value) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(title, &dialog);
    label->setTextFormat(Qt::PlainText);
    auto* field = new QLineEdit(value, &dialog);
    field->setMinimumSize(220, 24);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton("OK", QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton("Annuler", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(field);
    layout->addWidget(buttons);
    field->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return field->text();
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

namespace ivo {

std::optional<std::vector<double>> QtDialogs::askNumbers(const QString& title,
                                                         const QString& message,
                                                         const QStringList& labels,
                                                         const std::vector<double>& values) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* heading = new QLabel(title, &dialog);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    if (!message.isEmpty()) {
        auto* text = new QLabel(message, &dialog);
        text->setWordWrap(true);
        layout->addWidget(text);
    }
    auto* form = new QFormLayout;
    std::vector<QLineEdit*> fields;
    for (int i = 0; i < labels.size(); ++i) {
        auto* field = new QLineEdit(&dialog);
        const double v = i < static_cast<int>(values.size()) ? values[size_t(i)] : 0.0;
        field->setText(QString::fromStdString(fmt(v)));
        field->selectAll();
        form->addRow(labels[i], field);
        fields.push_back(field);
    }
    layout->addLayout(form);
    auto* error = new QLabel(&dialog);
    QPalette red = error->palette();
    red.setColor(QPalette::WindowText, QColor(190, 30, 30));
    error->setPalette(red);
    error->hide();
    layout->addWidget(error);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText("Annuler");
    layout->addWidget(buttons);

    std::vector<double> answers;
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        answers.clear();
        for (QLineEdit* f : fields) {
            const auto v = parseNum(f->text().toStdString());
            if (!v) {
                // A field that does not read as a number keeps the dialog open.
                error->setText("Valeur non reconnue : « " + f->text() + " ».");
                error->show();
                f->setFocus();
                f->selectAll();
                return;
            }
            answers.push_back(*v);
        }
        dialog.accept();
    });
    if (!fields.empty()) fields.front()->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return answers;
}

std::optional<double> QtDialogs::askNumber(const QString& title, double value) {
    const auto v = askNumbers(title, {}, {QString()}, {value});
    if (!v || v->empty()) return std::nullopt;
    return v->front();
}

}  // namespace ivo
