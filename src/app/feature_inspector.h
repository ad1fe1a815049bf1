// The floating panel of the open feature: a title, rows of labelled controls (pop-ups, text
// fields, checkboxes, labels) registered under keys, a note, and "Annuler" / "OK". The
// controller fills it per feature kind and reads it back; this widget only knows controls.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QPointer>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace ivo {

class FlippedView;

class FeatureInspector {
public:
    // Fills `panel`, which stays owned by its parent.
    explicit FeatureInspector(FlippedView* panel);
    FeatureInspector(const FeatureInspector&) = delete;
    FeatureInspector& operator=(const FeatureInspector&) = delete;

    struct Item {
        QString title;
        std::int64_t tag = 0;
    };
    struct Option {
        QString label;
        std::string value;
    };

    // Starts a fresh content for feature `featureId`; controls are then added, each with its
    // row, and `show` finishes. The previous content is hidden and deleted only once the event
    // loop runs again, so a control may rebuild the panel from inside its own signal.
    void begin(std::int64_t featureId);
    // A pop-up of tagged items with `selected` chosen. A stored value that the list does not
    // offer (a deleted sketch or body) gets an item of its own, "(introuvable)", so that
    // reading the panel keeps it until the user picks another.
    void popup(const QString& label, const std::vector<Item>& items, std::int64_t selected,
               const std::string& key);
    // A pop-up of options tagged by position, `selected` chosen, else the first.
    void popupStr(const QString& label, const std::vector<Option>& items,
                  const std::string& selected, const std::string& key);
    void check(const QString& label, const QString& title, bool on, const std::string& key);
    void field(const QString& label, const QString& text, const std::string& key);
    void text(const QString& label, const QString& text, const std::string& key);
    void show(const QString& title, const QString& note);
    void hide();
    // The evaluator's message for the feature under the rows, or none (empty text).
    void setError(const QString& text);
    QString error() const;

    // The feature shown, none when the panel is hidden.
    std::optional<std::int64_t> feature() const { return feature_; }
    bool has(const std::string& key) const;
    // Values of the controls; none when the key has no control of that sort.
    std::optional<double> num(const std::string& key) const;
    std::optional<std::int64_t> tag(const std::string& key) const;
    std::optional<std::string> str(const std::string& key) const;
    bool isOn(const std::string& key) const;

    // Updates without notifying: a label's text, a field's text, a pop-up's option.
    void setText(const std::string& key, const QString& text);
    void selectStr(const std::string& key, const std::string& value);
    // Gives the first existing field among `keys` the focus, its text selected; true when
    // there was one. With `replacement`, its text becomes that, the cursor after it.
    bool focusField(const std::vector<std::string>& keys,
                    const std::optional<QString>& replacement = std::nullopt);
    QLineEdit* lineEdit(const std::string& key) const;
    QComboBox* comboBox(const std::string& key) const;

    // A pop-up or checkbox changed by the user; a field edited; the two buttons (or Return
    // and Escape inside the panel).
    std::function<void(const std::string& key)> onChanged;
    std::function<void(const std::string& key)> onEdited;
    std::function<void()> onOK, onCancel;

private:
    void addRow(const QString& label, QWidget* control, const std::string& key);

    FlippedView* panel_;
    QPointer<QWidget> content_;
    QPointer<QLabel> error_;
    std::vector<std::pair<QString, QWidget*>> rows_;
    std::map<std::string, QWidget*> controls_;
    std::map<std::string, std::vector<std::string>> options_;
    std::optional<std::int64_t> feature_;
};

}  // namespace ivo
