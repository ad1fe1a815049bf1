// The fixed command catalog of the toolbar, one list of groups for sketch mode and one for the
// model, the tool families and the default pins. Plain code; the widgets are in toolbar.cpp,
// the stored pins in toolbar_pins.h.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ivo {

// Opacity is always 1.
struct CmdColor {
    double r = 0, g = 0, b = 0;
    friend bool operator==(CmdColor, CmdColor) = default;
};

inline constexpr CmdColor cBlue{0.10, 0.45, 0.85};
inline constexpr CmdColor cGreen{0.15, 0.60, 0.30};
inline constexpr CmdColor cOrange{0.90, 0.50, 0.10};
inline constexpr CmdColor cPurple{0.55, 0.30, 0.80};
inline constexpr CmdColor cRed{0.85, 0.25, 0.25};
inline constexpr CmdColor cGrey{0.32, 0.32, 0.32};

struct Cmd {
    std::string id;          // unique within its catalog
    std::string title;       // menu item and first tooltip line
    std::string shortLabel;  // under the toolbar icon
    std::string symbol;      // symbol name of the icon
    CmdColor color;
};

// A group of the toolbar; an absent item is a separator of the group's menu.
struct CmdGroup {
    std::string group;
    std::vector<std::optional<Cmd>> items;
};

// The sketch-mode catalog when `sketch`, else the model's. Constant.
const std::vector<CmdGroup>& catalog(bool sketch);

// The group of that name, or null.
const CmdGroup* findGroup(const std::string& name, bool sketch);
// The command of that id in `group`, or null.
const Cmd* findCmd(const CmdGroup& group, const std::string& id);

// "rect3" → "rect", "circle2" → "circle"…; every other id is its own family.
std::string family(const std::string& id);

// True for the ids that choose a lasting tool of the sketch editor (drawing, editing and
// constraint tools, and selection), as opposed to its one-shot commands.
bool isSketchTool(const std::string& id);
// True for the editor's one-shot commands: construction, copyAll, delete.
bool isSketchCommand(const std::string& id);

// Group key ("sketch.CRÉER", "solid.VUE"…) → ordered pinned ids.
using PinMap = std::map<std::string, std::vector<std::string>>;

std::string groupKey(const std::string& group, bool sketch);
const PinMap& defaultPins();

// The group whose buttons do not follow the pins: it always shows "finish" alone.
inline const std::string kFinishGroup = "TERMINER";

}  // namespace ivo
