// What the 3-D view needs from the window that owns it: the document and its evaluation, the
// interaction mode, and the handlers of clicks, drags, keys and overlay drawing. The main
// controller implements it; tests may provide their own host.
#pragma once

#include <optional>
#include <string>

#include "document/doc.h"
#include "document/evaluator.h"
#include "geometry/vec.h"

class QKeyEvent;
class QMenu;

namespace ivo {

enum class Mode { model, choosePlane, sketch, featureEdit };

// View points: view units, origin at the bottom-left corner of the view, y up.
using ViewPoint = V2;

class ViewportHost {
public:
    virtual ~ViewportHost() = default;

    virtual Mode mode() const = 0;
    virtual const Doc& doc() const = 0;
    virtual const EvalResult& result() const = 0;
    // Index in doc().features of the sketch being edited.
    virtual std::optional<size_t> editSketch() const = 0;
    virtual void setStatus(const std::string& text) = 0;

    // A context menu for a right click (or Ctrl+click) at p, owned by the caller; nullptr
    // when there is none.
    virtual QMenu* contextMenu(ViewPoint p) = 0;
    virtual bool extrudeHandleHit(ViewPoint p) = 0;
    virtual void dragExtrude(ViewPoint p) = 0;
    virtual void featureClick(ViewPoint p) = 0;
    virtual void modelClick(bool additive, ViewPoint p) = 0;
    virtual void modelHover(ViewPoint p) = 0;
    virtual void planeChosen(const SketchPlane& plane) = 0;
    virtual void startSketch(const SketchPlane& plane) = 0;
    // True when the key was handled; otherwise the widget's default handling runs.
    virtual bool handleKey(QKeyEvent* event) = 0;

    // The sketch editor's pointer handlers and drawing (sketch mode).
    virtual bool editorMouseDown(ViewPoint p, int clickCount) = 0;
    virtual void editorMouseDragged(ViewPoint p) = 0;
    virtual void editorMouseUp() = 0;
    virtual void editorMouseMoved(ViewPoint p) = 0;
    virtual void editorDraw() = 0;

    // Overlay drawing of the current feature (featureEdit) and of the selection (model).
    virtual void drawFeatureOverlay() = 0;
    virtual void drawSelection() = 0;
};

}  // namespace ivo
