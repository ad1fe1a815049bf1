// What the sketch editor needs from the window that owns it: the sketch being edited, the
// undo history, the status line, number prompts, projection between the sketch plane and the
// view, and the overlay canvas while it is painted. The main controller provides it through
// a small adapter; tests provide a window-free host with a fixed projection.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry/vec.h"
#include "sketch/sketch.h"

namespace ivo {

class SketchCanvas;

// View points: origin at the bottom-left corner of the view, y up.
using ScreenPoint = V2;

// Values the tools offer again as the defaults of their prompts.
struct EditorMemory {
    double lastFilletRadius = 2.0, lastChamfer = 1.0, lastOffset = 2.0;
    int patternCount = 6;
    double lastNX = 3.0, lastDX = 20.0, lastNY = 1.0, lastDY = 0.0, lastCopies = 1.0;
};

// One field of a multi-value prompt: its label and the value offered.
struct NumberField {
    std::string label;
    double value = 0;
};

class EditorHost {
public:
    virtual ~EditorHost() = default;

    // The sketch open for editing, or nullptr.
    virtual const Sketch* currentSketch() const = 0;
    // Writes the edited sketch back into the document (no evaluation).
    virtual void storeSketch(const Sketch& sketch) = 0;
    // Snapshot of the document before a change.
    virtual void pushUndo() = 0;
    // Re-evaluates after the stored sketch changed.
    virtual void sketchChanged() = 0;
    virtual void setStatus(const std::string& text) = 0;
    // Modal prompts; nothing when cancelled.
    virtual std::optional<double> askNumber(const std::string& title, double value) = 0;
    virtual std::optional<std::vector<double>> askNumbers(
        const std::string& title, const std::string& message,
        const std::vector<NumberField>& fields) = 0;
    virtual void refreshToolbarState() = 0;
    virtual void toggleMagnet() = 0;
    virtual bool magnet() const = 0;
    virtual EditorMemory& memory() = 0;
    // Tool family ("rect", "circle", …) → the variant used last.
    virtual std::map<std::string, std::string>& lastVariant() = 0;

    // Projection of a plane point into the view, and the pointer onto the plane (nothing when
    // the view is edge-on or the pointer misses the plane).
    virtual std::optional<ScreenPoint> toScreen(const Sketch& sketch, V2 p) const = 0;
    virtual std::optional<V2> planePoint(const SketchPlane& plane, ScreenPoint p) const = 0;
    // Camera distance from its target, in millimetres.
    virtual double viewDistance() const = 0;
    virtual void redrawOverlay() = 0;
    // Snap points from outside the open sketch (other sketches, body edges on its plane), in
    // its plane coordinates.
    virtual std::vector<V2> foreignSnapPoints() const = 0;
    // The overlay canvas, only while the overlay is painted.
    virtual SketchCanvas* canvas() = 0;
};

}  // namespace ivo
