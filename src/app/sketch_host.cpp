// The controller behind the sketch editor's host interface.
#include "app/sketch_host.h"

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "editor/snap.h"
#include "viewport/viewport.h"

namespace ivo {

const Sketch* SketchHost::currentSketch() const {
    return c_.currentSketch();
}

void SketchHost::storeSketch(const Sketch& sketch) {
    c_.storeSketch(sketch);
}

void SketchHost::pushUndo() {
    c_.pushUndo();
}

void SketchHost::sketchChanged() {
    c_.rebuildAll();
}

void SketchHost::setStatus(const std::string& text) {
    c_.setStatus(text);
}

std::optional<double> SketchHost::askNumber(const std::string& title, double value) {
    return c_.dialogs->askNumber(toQt(title), value);
}

std::optional<std::vector<double>> SketchHost::askNumbers(const std::string& title,
                                                          const std::string& message,
                                                          const std::vector<NumberField>& fields) {
    QStringList labels;
    std::vector<double> values;
    for (const NumberField& f : fields) {
        labels << toQt(f.label);
        values.push_back(f.value);
    }
    auto answer = c_.dialogs->askNumbers(toQt(title), toQt(message), labels, values);
    if (answer && answer->size() != fields.size()) return std::nullopt;
    return answer;
}

void SketchHost::refreshToolbarState() {
    c_.refreshToolbarState();
}

void SketchHost::toggleMagnet() {
    c_.toggleMagnet();
}

bool SketchHost::magnet() const {
    return c_.magnet;
}

EditorMemory& SketchHost::memory() {
    return c_.memory;
}

std::map<std::string, std::string>& SketchHost::lastVariant() {
    return c_.lastVariant;
}

std::optional<ScreenPoint> SketchHost::toScreen(const Sketch& sketch, V2 p) const {
    return c_.viewport->toScreen(sketch, p);
}

std::optional<V2> SketchHost::planePoint(const SketchPlane& plane, ScreenPoint p) const {
    return c_.viewport->planePoint(plane, p);
}

double SketchHost::viewDistance() const {
    return c_.viewport->dist;
}

void SketchHost::redrawOverlay() {
    c_.viewport->redrawOverlay();
}

std::vector<V2> SketchHost::foreignSnapPoints() const {
    return ivo::foreignSnapPoints(c_.doc(), c_.editSketch(), c_.viewport->bodyTris);
}

}  // namespace ivo
