// The floating feature panel: building its rows, reading its controls, its keys.
#include "app/feature_inspector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt_conv.h"
#include "app/views.h"
#include "input/parse_num.h"

namespace ivo {
namespace {

constexpr int kLabelW = 96, kControlW = 160, kNoteW = 264;

// The panel's content: Return and Escape anywhere inside it (a field, a pop-up) answer OK and
// Annuler, as the default and cancel buttons of a dialog would.
class PanelContent : public QWidget {
public:
    std::function<void()> onOK, onCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (onOK) onOK();
                event->accept();
                return;
            case Qt::Key_Escape:
                if (onCancel) onCancel();
                event->accept();
                return;
            default: QWidget::keyPressEvent(event);
        }
    }
};

QFont pixelFont(const QWidget* w, int px, QFont::Weight weight = QFont::Normal) {
    QFont f = w->font();
    f.setPixelSize(px);
    f.setWeight(weight);
    return f;
}

}  // namespace

FeatureInspector::FeatureInspector(FlippedView* panel) : panel_(panel) {}

void FeatureInspector::begin(std::int64_t featureId) {
    if (content_) {
        // It may hold the control whose signal is running now.
        content_->hide();
        content_->deleteLater();
    }
    auto* content = new PanelContent;
    content->setParent(panel_);
    content->onOK = [this] {
        if (onOK) onOK();
    };
    content->onCancel = [this] {
        if (onCancel) onCancel();
    };
    content_ = content;
    rows_.clear();
    controls_.clear();
    options_.clear();
    feature_ = featureId;
}

void FeatureInspector::addRow(const QString& label, QWidget* control, const std::string& key) {
    control->setFixedWidth(kControlW);
    control->setFont(pixelFont(control, 12));
    rows_.emplace_back(label, control);
    controls_[key] = control;
}

void FeatureInspector::popup(const QString& label, const std::vector<Item>& items,
                             std::int64_t selected, const std::string& key) {
    auto* box = new QComboBox(content_);
    int current = -1;
    for (const Item& item : items) {
        if (item.tag == selected && current < 0) current = box->count();
        box->addItem(item.title, QVariant::fromValue<qlonglong>(item.tag));
    }
    if (current < 0) {
        box->insertItem(0, "(introuvable)", QVariant::fromValue<qlonglong>(selected));
        current = 0;
    }
    box->setCurrentIndex(current);
    QObject::connect(box, &QComboBox::activated, box, [this, key](int) {
        if (onChanged) onChanged(key);
    });
    addRow(label, box, key);
}

void FeatureInspector::popupStr(const QString& label, const std::vector<Option>& items,
                                const std::string& selected, const std::string& key) {
    auto* box = new QComboBox(content_);
    std::vector<std::string> values;
    int current = 0;
    for (const Option& o : items) {
        if (o.value == selected) current = box->count();
        box->addItem(o.label, QVariant::fromValue<qlonglong>(box->count()));
        values.push_back(o.value);
    }
    box->setCurrentIndex(current);
    options_[key] = std::move(values);
    QObject::connect(box, &QComboBox::activated, box, [this, key](int) {
        if (onChanged) onChanged(key);
    });
    addRow(label, box, key);
}

void FeatureInspector::check(const QString& label, const QString& title, bool on,
                             const std::string& key) {
    auto* box = new QCheckBox(title, content_);
    box->setChecked(on);
    QObject::connect(box, &QCheckBox::clicked, box, [this, key](bool) {
        if (onChanged) onChanged(key);
    });
    addRow(label, box, key);
}

void FeatureInspector::field(const QString& label, const QString& text, const std::string& key) {
    auto* edit = new QLineEdit(text, content_);
    edit->setObjectName(toQt(key));
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this, key](const QString&) {
        if (onEdited) onEdited(key);
    });
    addRow(label, edit, key);
}

void FeatureInspector::text(const QString& label, const QString& text, const std::string& key) {
    addRow(label, new QLabel(text, content_), key);
}

void FeatureInspector::show(const QString& title, const QString& note) {
    auto* stack = new QVBoxLayout(content_);
    stack->setSpacing(8);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setSizeConstraint(QLayout::SetFixedSize);
    auto* heading = new QLabel(title.toUpper(), content_);
    heading->setFont(pixelFont(heading, 12, QFont::Bold));
    stack->addWidget(heading);
    for (const auto& [label, control] : rows_) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* l = new QLabel(label, content_);
        l->setFont(pixelFont(l, 11));
        l->setFixedWidth(kLabelW);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(l);
        row->addWidget(control);
        stack->addLayout(row);
    }
    if (!note.isEmpty()) {
        auto* n = new QLabel(note, content_);
        n->setWordWrap(true);
        n->setFixedWidth(kNoteW);
        n->setFont(pixelFont(n, 10));
        QPalette pal = n->palette();
        pal.setColor(QPalette::WindowText, grey(0.45));
        n->setPalette(pal);
        n->setObjectName("note");
        stack->addWidget(n);
    }
    auto* error = new QLabel(content_);
    error->setWordWrap(true);
    error->setFixedWidth(kNoteW);
    error->setFont(pixelFont(error, 11, QFont::DemiBold));
    QPalette errorPal = error->palette();
    errorPal.setColor(QPalette::WindowText, QColor::fromRgbF(0.8f, 0.15f, 0.15f));
    error->setPalette(errorPal);
    error->setObjectName("error");
    error->hide();
    error_ = error;
    stack->addWidget(error);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addSpacing(kLabelW);
    auto* cancel = new QPushButton("Annuler", content_);
    cancel->setAutoDefault(false);
    auto* ok = new QPushButton("OK", content_);
    ok->setDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, cancel, [this] {
        if (onCancel) onCancel();
    });
    QObject::connect(ok, &QPushButton::clicked, ok, [this] {
        if (onOK) onOK();
    });
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    stack->addLayout(buttons);

    content_->adjustSize();
    content_->move(0, 0);
    content_->show();
    panel_->resize(content_->size());
    panel_->show();
    panel_->raise();
}

void FeatureInspector::hide() {
    panel_->hide();
    feature_.reset();
}

void FeatureInspector::setError(const QString& text) {
    if (!error_ || error_->text() == text) return;
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
    content_->adjustSize();
    panel_->resize(content_->size());
}

QString FeatureInspector::error() const {
    return error_ ? error_->text() : QString();
}

bool FeatureInspector::has(const std::string& key) const {
    return controls_.count(key) != 0;
}

QLineEdit* FeatureInspector::lineEdit(const std::string& key) const {
    const auto it = controls_.find(key);
    return it == controls_.end() ? nullptr : qobject_cast<QLineEdit*>(it->second);
}

QComboBox* FeatureInspector::comboBox(const std::string& key) const {
    const auto it = controls_.find(key);
    return it == controls_.end() ? nullptr : qobject_cast<QComboBox*>(it->second);
}

std::optional<double> FeatureInspector::num(const std::string& key) const {
    const QLineEdit* edit = lineEdit(key);
    if (!edit) return std::nullopt;
    return parseNum(fromQt(edit->text()));
}

std::optional<std::int64_t> FeatureInspector::tag(const std::string& key) const {
    const QComboBox* box = comboBox(key);
    if (!box || box->currentIndex() < 0) return std::nullopt;
    return box->currentData().toLongLong();
}

std::optional<std::string> FeatureInspector::str(const std::string& key) const {
    const auto t = tag(key);
    const auto it = options_.find(key);
    if (!t || it == options_.end() || *t < 0 || static_cast<size_t>(*t) >= it->second.size())
        return std::nullopt;
    return it->second[static_cast<size_t>(*t)];
}

bool FeatureInspector::isOn(const std::string& key) const {
    const auto it = controls_.find(key);
    const auto* box = it == controls_.end() ? nullptr : qobject_cast<QCheckBox*>(it->second);
    return box && box->isChecked();
}

void FeatureInspector::setText(const std::string& key, const QString& text) {
    const auto it = controls_.find(key);
    if (it == controls_.end()) return;
    if (auto* edit = qobject_cast<QLineEdit*>(it->second)) edit->setText(text);
    if (auto* label = qobject_cast<QLabel*>(it->second)) label->setText(text);
}

void FeatureInspector::selectStr(const std::string& key, const std::string& value) {
    QComboBox* box = comboBox(key);
    const auto it = options_.find(key);
    if (!box || it == options_.end()) return;
    for (size_t i = 0; i < it->second.size(); ++i)
        if (it->second[i] == value) box->setCurrentIndex(static_cast<int>(i));
}

bool FeatureInspector::focusField(const std::vector<std::string>& keys,
                                  const std::optional<QString>& replacement) {
    for (const std::string& key : keys) {
        QLineEdit* edit = lineEdit(key);
        if (!edit) continue;
        edit->setFocus(Qt::OtherFocusReason);
        if (replacement) {
            edit->setText(*replacement);
            edit->setCursorPosition(static_cast<int>(replacement->size()));
        } else {
            edit->selectAll();
        }
        return true;
    }
    return false;
}

}  // namespace ivo
