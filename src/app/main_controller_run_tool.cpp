// The one dispatcher of the toolbar and group-menu commands. The sketch editor's tools and
// commands go to runSketchTool; the model's commands each have one row in the table below,
// and an id without a row does nothing.
#include <functional>
#include <unordered_map>

#include "app/command_catalog.h"
#include "app/main_controller.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

using Action = std::function<void(MainController&)>;

const std::unordered_map<std::string, Action>& windowCommands() {
    static const std::unordered_map<std::string, Action> table{
        {"magnet", [](MainController& c) { c.toggleMagnet(); }},
        {"finish", [](MainController& c) { c.finishSketch(); }},
        {"cancelPlane", [](MainController& c) { c.cancelChoosePlane(); }},
        {"sketch", [](MainController& c) { c.beginChoosePlane(); }},
        {"select3d",
         [](MainController& c) {
             c.clearSelection();
             c.setStatus(
                 "Sélection : cliquez une zone d'esquisse, une face ou un corps. Maj ou Ctrl "
                 "pour en ajouter. Puis Extruder (E).");
         }},
        {"selmode",
         [](MainController& c) { c.setSelFilter(c.selFilter == "body" ? "face" : "body"); }},
        {"selFace", [](MainController& c) { c.setSelFilter("face"); }},
        {"selBody", [](MainController& c) { c.setSelFilter("body"); }},
        {"extrude", [](MainController& c) { c.startFeature("extrude"); }},
        {"revolve", [](MainController& c) { c.startFeature("revolve"); }},
        {"chamfer", [](MainController& c) { c.startFeature("chamfer"); }},
        {"combine", [](MainController& c) { c.startFeature("combine"); }},
        {"filletF", [](MainController& c) { c.startFeature("fillet"); }},
        {"box", [](MainController& c) { c.createPrimitive("box"); }},
        {"cyl", [](MainController& c) { c.createPrimitive("cyl"); }},
        {"sphere", [](MainController& c) { c.createPrimitive("sphere"); }},
        {"stl", [](MainController& c) { c.exportSTL(); }},
        {"3mf", [](MainController& c) { c.export3MF(); }},
        {"vtop", [](MainController& c) { c.viewport->setView("top"); }},
        {"vfront", [](MainController& c) { c.viewport->setView("front"); }},
        {"vright", [](MainController& c) { c.viewport->setView("right"); }},
        {"viso", [](MainController& c) { c.viewport->setView("iso"); }},
        {"vfit", [](MainController& c) { c.viewport->fit(); }},
    };
    return table;
}

bool isViewCommand(const std::string& id) {
    return id == "vtop" || id == "vfront" || id == "vright" || id == "viso" || id == "vfit";
}

}  // namespace

void MainController::runTool(const std::string& id) {
    // Any command but a change of view first keeps the feature being edited.
    if (mode_ == Mode::featureEdit && !isViewCommand(id)) inspectorOK();
    if (isSketchTool(id)) {
        const std::string f = family(id);
        if (f != id || id == "rect" || id == "circle" || id == "arc") lastVariant[f] = id;
        runSketchTool(id);
        return;
    }
    if (isSketchCommand(id)) {
        runSketchTool(id);
        return;
    }
    const auto& table = windowCommands();
    if (const auto it = table.find(id); it != table.end()) it->second(*this);
}

}  // namespace ivo
