// Private state of the Viewport, shared by its camera and scene code (viewport.cpp), its event
// handlers (viewport_events.cpp) and its overlay drawing (viewport_overlay.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QPixmap>
#include <QPointF>
#include <QWidget>

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

// The transparent 2-D layer over the view. It is painted by the raster engine (antialiased
// without multisampling) into the window's backing store, which the toolkit already blends
// over the 3-D image, so it needs no shader of its own; pointer events pass through it.
class Overlay : public QWidget {
public:
    explicit Overlay(Viewport* vp);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Viewport* vp_;
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
    Box3 bodiesBox;                       // of the shown bodies
    std::optional<double> overhangAngle;  // overhangs are tinted while set

    bool planesShown = false;
    std::string hoverPlane;
    std::optional<FaceRef> hoverFace;

    // The host's highlights; not yet handed to the renderer while highlightsDirty.
    std::vector<FaceHighlight> faceHighlights;
    std::vector<HighlightLayer> highlights;
    bool highlightsDirty = false;
    std::vector<HighlightLayer> overflowLayers;  // faces past the renderer's tint limit

    Overlay* overlay = nullptr;  // child of the view

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
