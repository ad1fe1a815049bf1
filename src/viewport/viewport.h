// The 3-D view: scene (background, grid and axes, origin planes, bodies with crease
// edges), the orbit camera and its gestures, picking, the 2-D overlay and the view cube.
// Public interface used by the window; the camera maths and picking live in plain files.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QOpenGLWidget>

#include "geometry/loops.h"
#include "sketch/sketch.h"
#include "viewport/camera.h"
#include "viewport/picking.h"
#include "viewport/scene.h"
#include "viewport/viewport_host.h"

class QPainter;

namespace ivo {

class Viewport : public QOpenGLWidget {
public:
    explicit Viewport(ViewportHost* host, QWidget* parent = nullptr);
    ~Viewport() override;

    ViewportHost* ctl;  // owner, never null while the view lives

    // Orbit camera state; call updateCamera() after changing it directly.
    V3 target;
    double dist = 260;
    double yaw = 0.7;
    double pitch = 0.5;

    // Triangles of every evaluated body (hidden ones included), by body id.
    std::map<Id, std::vector<Tri>> bodyTris;

    void updateCamera();
    void orbit(double dx, double dy);
    void pan(double dx, double dy);
    void zoom(double k, ViewPoint at);
    // "top", "front", "right"; anything else is the isometric view.
    void setView(const std::string& name);
    void setDirection(V3 d);
    void look(const SketchPlane& plane);
    void fit();

    // Rebuild body meshes and crease edges from ctl->result() and ctl->doc().hidden.
    void rebuildBodies();
    // Tints the faces that need support at this threshold (degrees), or none; the bodies are
    // rebuilt when it changes.
    void setOverhangs(std::optional<double> angleDeg);
    std::optional<double> overhangs() const;
    void showPlanes(bool on);
    void clearHover();
    void updateHover(ViewPoint p);
    std::optional<SketchPlane> pickPlane(ViewPoint p);
    // Redraws the 2-D overlay; the 3-D image under it is kept unless the scene changed.
    void redrawOverlay();
    // Highlights drawn in the 3-D pass, far cheaper than filling the same triangles in the
    // overlay; each call replaces the previous set of its kind. Planar faces of bodies (the
    // host's hover and selection) are tinted within the body's own drawing, later ones over
    // earlier ones; the face hovered while choosing a plane is the view's own and comes last.
    // Other triangle sets (whole bodies, sketch profiles) are drawn again, tinted, over the
    // bodies and planes, in order.
    void setFaceHighlights(std::vector<FaceHighlight> faces);
    const std::vector<FaceHighlight>& faceHighlights() const;
    void setHighlights(std::vector<HighlightLayer> layers);
    const std::vector<HighlightLayer>& highlights() const;

    // Model point under p on the near plane, and the unit direction into the scene.
    std::pair<V3, V3> ray(ViewPoint p) const;
    std::optional<ViewPoint> project(V3 q) const;
    std::optional<ViewPoint> toScreen(const Sketch& sketch, V2 p) const;
    // The pointer's position on a sketch plane; nothing when the view is edge-on to it.
    std::optional<V2> planePoint(const SketchPlane& plane, ViewPoint p) const;

    // Paints the 2-D overlay (light sketches, the mode's drawing, the view cube) with
    // `painter`, in view coordinates with a top-left origin; the overlay layer over the view
    // does it whenever it is redrawn.
    void paintOverlay(QPainter& painter);

    // Overlay drawing, valid while the overlay is being painted (inside the host's
    // editorDraw, drawFeatureOverlay and drawSelection). fillTris paints in 2-D, which costs
    // seconds on large faces: faces and bodies are highlighted with setFaceHighlights and
    // setHighlights instead.
    void fillTris(const std::vector<Tri>& tris, Rgba color);
    void fillLoops(const std::vector<Loop>& loops, const Sketch& sketch, Rgba color);
    void strokePolyline(const std::vector<V2>& points, const Sketch& sketch, bool closed,
                        Rgba color, double width, bool dashed);
    void drawSketchLight(const Sketch& sketch);
    // The painter of the overlay pass (nullptr outside it), for texts and symbols.
    QPainter* overlayPainter() const;

    // The camera numbers with the current view size.
    Camera camera() const;
    // Hover state of plane choice: the origin plane's node name ("" for none) and the face.
    const std::string& hoverPlane() const;
    const std::optional<FaceRef>& hoverFace() const;
    bool planesShown() const;

    struct Impl;

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void drawOverlay();
    // Sets the hovered face, tinted at the next frame.
    void setHoverFace(const std::optional<FaceRef>& face);
    // Gives the renderer the highlights (the context is current).
    void handOverHighlights();
    void drawViewCube();
    void leftDown(QMouseEvent* event, int clickCount);
    void leftDragged(QMouseEvent* event);
    void leftUp(QMouseEvent* event);
    // Pops up the host's context menu for p; false when the host offers none.
    bool popUpContextMenu(ViewPoint p, QPoint globalPos);

    std::unique_ptr<Impl> d;
};

}  // namespace ivo
