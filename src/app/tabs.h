// What a document tab remembers while another tab is shown, the title of a tab and the
// geometry of the tab bar. Plain code; the controller's tab operations are in
// main_controller_tabs.cpp and the bar's widgets in tab_bar.h.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/undo.h"
#include "document/doc.h"
#include "geometry/vec.h"

namespace ivo {

struct DocTab {
    Doc doc;
    std::optional<std::string> fileURL;  // the .q3d path; none for a new model
    bool dirty = false;
    Snapshots undo, redo;
    V3 target;
    double dist = 260;
    double yaw = 0.7853981633974483;  // π/4
    double pitch = 0.6;
    std::uint64_t uid = 0;            // stable while the tab is open
    std::set<std::string> collapsed;  // browser sections folded in this tab

    // An empty model with the start camera and a fresh uid. Camera positions are not kept
    // in files, so tabs made from a file or the session start from the same camera.
    static DocTab blank();
};

// A process-wide unique tab identity.
std::uint64_t newTabUid();

// The file name without its extension, or "Sans titre" without a file.
std::string documentName(const std::optional<std::string>& fileURL);

// The tab's label: the document name, with " •" when it has unsaved changes.
std::string tabTitle(const std::optional<std::string>& fileURL, bool dirty);

// Placement of the tab bar's items, in points from its top-left corner.
struct TabBarGeometry {
    double w = 0;      // pitch of one tab
    double plusX = 0;  // left of the "+" button
    double tabX(int i) const { return 8 + i * w; }
};

TabBarGeometry tabBarGeometry(int tabCount, double barWidth);

}  // namespace ivo
