// Private state of the Viewport, shared by its camera and scene code (viewport.cpp), its event
// handlers (viewport_events.cpp) and its overlay drawing (viewport_overlay.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QPixmap>
#include <QPointF>

#include "viewport/renderer.h"
#include "viewport/viewport.h"

class QPainter;

namespace ivo {

// What the current left-button gesture does.
enum class DragMode {
    consumed = -1,  // context menu shown or view cube clicked: drags and release do nothing
    undecided = 0,  // becomes orbit or pan once the pointer has moved
    orbit = 1,
    pan = 2,
    editor = 3,   // the sketch editor owns the gesture
    extrude = 4,  // the host's extrusion handle owns the gesture
};

struct Viewport::Impl {
    Renderer renderer;
    bool glReady = false;
    // The 3-D image must be drawn again (camera, bodies or planes changed); otherwise the
    // kept image is reused under a new overlay.
    bool sceneDirty = true;
    QPixmap homeGlyph;

    MeshCache meshCache;
    std::vector<BodyMesh> meshes;
    bool meshesDirty = false;
    Box3 bodiesBox;  // of the shown bodies

    bool planesShown = false;
    std::string hoverPlane;
    std::optional<FaceRef> hoverFace;

    // Left button.
    ViewPoint downPoint;
    DragMode dragMode = DragMode::undecided;
    bool moved = false;
    int clickCount = 1;
    // Position at the previous drag event of any button.
    ViewPoint lastPoint;
    // Right button.
    ViewPoint rightDown;
    bool rightMoved = false;

    QPainter* painter = nullptr;  // during the overlay pass only
};

// Qt's top-left origin to view points and back.
inline ViewPoint toView(const QWidget& w, QPointF p) {
    return {p.x(), w.height() - p.y()};
}
inline QPointF toQt(const QWidget& w, ViewPoint p) {
    return {p.x, w.height() - p.y};
}

}  // namespace ivo
