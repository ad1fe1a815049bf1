// The dialog that lists every command of both catalogs with a checkbox for its pin.
#pragma once

#include <functional>
#include <string>

#include <QDialog>

class QCheckBox;

namespace ivo {

class ToolbarCustomizeDialog : public QDialog {
public:
    struct Callbacks {
        std::function<bool(const std::string& id, const std::string& group, bool sketch)> isPinned;
        // A checkbox was ticked or cleared; its identifier is "1|group|id" in the sketch
        // section and "0|group|id" in the model's.
        std::function<void(QCheckBox* box)> check;
        std::function<void()> reset;
        std::function<void()> done;
    };

    ToolbarCustomizeDialog(QWidget* parent, Callbacks callbacks);

private:
    Callbacks callbacks_;
};

}  // namespace ivo
