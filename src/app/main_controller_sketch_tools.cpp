// Stand-in for the sketch editor's side of the toolbar until the editor exists: the chosen
// tool is only remembered, so the toolbar can show it.
#include "app/command_catalog.h"
#include "app/main_controller.h"

namespace ivo {

void MainController::runSketchTool(const std::string& id) {
    if (!isSketchTool(id)) return;  // construction, copyAll and delete need the editor
    sketchTool = id;
    refreshToolbarState();
}

std::string MainController::activeSketchTool() const {
    return sketchTool;
}

}  // namespace ivo
