// The Viewport widget: camera operations on its four numbers, body meshes from the host's
// evaluation, hover and picking, and the frame (3-D pass, then the 2-D overlay).
#include "viewport/viewport.h"

#include <QOpenGLContext>
#include <QPainter>
#include <QSurfaceFormat>

#include "viewport/viewport_impl.h"

namespace ivo {

Viewport::Viewport(ViewportHost* host, QWidget* parent)
    : QOpenGLWidget(parent), ctl(host), d(std::make_unique<Impl>()) {
    QSurfaceFormat fmt = format();
    fmt.setRenderableType(QSurfaceFormat::OpenGL);
    fmt.setVersion(3, 3);
    fmt.setProfile(QSurfaceFormat::CoreProfile);
    fmt.setDepthBufferSize(24);
    // No multisampled widget: the renderer multisamples its 3-D image itself where the
    // renderer is a graphics card (a software one pays too much for it), and the overlay is
    // painted by Qt's raster engine, which antialiases by itself.
    fmt.setSamples(0);
    setFormat(fmt);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Right clicks are handled as mouse events; no context-menu event should reach the parent.
    setContextMenuPolicy(Qt::PreventContextMenu);
    d->overlay = new Overlay(this);
}

Overlay::Overlay(Viewport* vp) : QWidget(vp), vp_(vp) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    resize(vp->size());
}

void Overlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    vp_->paintOverlay(painter);
}

void Viewport::resizeEvent(QResizeEvent* event) {
    QOpenGLWidget::resizeEvent(event);
    d->overlay->resize(size());
}

Viewport::~Viewport() {
    // The context dies in the base destructor, after our state: stop listening first.
    if (QOpenGLContext* c = context()) disconnect(c, nullptr, this, nullptr);
    if (d->glReady) {
        makeCurrent();
        d->renderer.release();
        doneCurrent();
    }
}

Camera Viewport::camera() const {
    Camera c;
    c.target = target;
    c.dist = dist;
    c.yaw = yaw;
    c.pitch = pitch;
    c.width = width();
    c.height = height();
    return c;
}

namespace {

template <class F>
void withCamera(Viewport& vp, F&& f) {
    Camera c = vp.camera();
    f(c);
    vp.target = c.target;
    vp.dist = c.dist;
    vp.yaw = c.yaw;
    vp.pitch = c.pitch;
    vp.updateCamera();
}

}  // namespace

void Viewport::updateCamera() {
    // The camera is placed from the four numbers at every frame; the overlay follows it.
    d->sceneDirty = true;
    update();
    redrawOverlay();
}

void Viewport::orbit(double dx, double dy) {
    withCamera(*this, [&](Camera& c) { c.orbit(dx, dy); });
}
void Viewport::pan(double dx, double dy) {
    withCamera(*this, [&](Camera& c) { c.pan(dx, dy); });
}
void Viewport::zoom(double k, ViewPoint at) {
    withCamera(*this, [&](Camera& c) { c.zoom(k, at); });
}
void Viewport::setView(const std::string& name) {
    withCamera(*this, [&](Camera& c) { c.setView(name); });
}
void Viewport::setDirection(V3 dir) {
    withCamera(*this, [&](Camera& c) { c.setDirection(dir); });
}
void Viewport::look(const SketchPlane& plane) {
    withCamera(*this, [&](Camera& c) { c.look(plane); });
}
void Viewport::fit() {
    const Box3 box = contentBox(ctl->doc(), ctl->result(), ctl->editSketch().has_value());
    withCamera(*this, [&](Camera& c) { c.fit(box); });
}

void Viewport::rebuildBodies() {
    SceneBodies scene =
        buildBodies(ctl->result(), ctl->doc().hidden, d->meshCache, d->overhangAngle);
    bodyTris = std::move(scene.tris);
    d->meshes = std::move(scene.meshes);
    d->bodiesBox = scene.shownBox;
    d->meshesDirty = true;
    d->sceneDirty = true;
    d->highlightsDirty = true;  // faces beyond the tint limit are drawn from bodyTris
    update();
    redrawOverlay();
}

void Viewport::setOverhangs(std::optional<double> angleDeg) {
    if (angleDeg == d->overhangAngle) return;
    d->overhangAngle = angleDeg;
    rebuildBodies();
}

std::optional<double> Viewport::overhangs() const {
    return d->overhangAngle;
}

void Viewport::setHoverFace(const std::optional<FaceRef>& face) {
    d->hoverFace = face;
    d->highlightsDirty = true;
    d->sceneDirty = true;
    update();
}

void Viewport::setHighlights(std::vector<HighlightLayer> layers) {
    d->highlights = std::move(layers);
    d->highlightsDirty = true;
    d->sceneDirty = true;
    update();
}

const std::vector<HighlightLayer>& Viewport::highlights() const {
    return d->highlights;
}

void Viewport::setFaceHighlights(std::vector<FaceHighlight> faces) {
    d->faceHighlights = std::move(faces);
    d->highlightsDirty = true;
    d->sceneDirty = true;
    update();
}

const std::vector<FaceHighlight>& Viewport::faceHighlights() const {
    return d->faceHighlights;
}

void Viewport::showPlanes(bool on) {
    d->planesShown = on;
    if (!on) clearHover();
    d->sceneDirty = true;
    update();
}

void Viewport::clearHover() {
    d->hoverPlane.clear();
    setHoverFace(std::nullopt);
}

namespace {

std::optional<Picked> pickAt(const Viewport& vp, bool planesShown, ViewPoint p) {
    const Camera c = vp.camera();
    const auto [origin, dir] = c.ray(p);
    const PickScene scene{&vp.bodyTris, &vp.ctl->doc().hidden, planesShown};
    return interpretHits(scene, allHits(scene, origin, dir, c.position()));
}

}  // namespace

void Viewport::updateHover(ViewPoint p) {
    const std::optional<Picked> picked = pickAt(*this, d->planesShown, p);
    const std::string plane = picked ? picked->plane : std::string();
    const std::optional<FaceRef> face = picked ? picked->face : std::nullopt;
    if (plane != d->hoverPlane) {
        d->hoverPlane = plane;
        d->sceneDirty = true;  // the planes' colours are part of the 3-D image
        update();
    }
    // The whole face is tinted in the 3-D pass of the next frame.
    if (!sameFace(face, d->hoverFace)) setHoverFace(face);
    ctl->setStatus(hoverStatus(d->hoverPlane, d->hoverFace.has_value()));
}

std::optional<SketchPlane> Viewport::pickPlane(ViewPoint p) {
    const std::optional<Picked> picked = pickAt(*this, d->planesShown, p);
    if (!picked) return std::nullopt;
    return pickedPlane(*picked);
}

void Viewport::redrawOverlay() {
    d->overlay->update();
}

std::pair<V3, V3> Viewport::ray(ViewPoint p) const {
    return camera().ray(p);
}

std::optional<ViewPoint> Viewport::project(V3 q) const {
    return camera().project(q);
}

std::optional<ViewPoint> Viewport::toScreen(const Sketch& sketch, V2 p) const {
    return project(sketch.plane.to3D(p));
}

std::optional<V2> Viewport::planePoint(const SketchPlane& plane, ViewPoint p) const {
    const auto [origin, dir] = ray(p);
    return ivo::planePoint(plane, origin, dir);
}

QPainter* Viewport::overlayPainter() const {
    return d->painter;
}

const std::string& Viewport::hoverPlane() const {
    return d->hoverPlane;
}

const std::optional<FaceRef>& Viewport::hoverFace() const {
    return d->hoverFace;
}

bool Viewport::planesShown() const {
    return d->planesShown;
}

void Viewport::initializeGL() {
    d->glReady = true;
    d->renderer.initialize();
    d->meshesDirty = true;
    d->highlightsDirty = true;
    d->sceneDirty = true;
    // A new context (the widget moved to another window) starts without our objects.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        d->renderer.release();
        d->glReady = false;
        doneCurrent();
    });
}

void Viewport::handOverHighlights() {
    std::vector<FaceHighlight> faces = d->faceHighlights;
    if (d->hoverFace) faces.push_back({*d->hoverFace, colors::hoveredFace});
    // Each body's shader tints a limited number of faces, the last ones given; the earlier
    // ones past that are drawn again as triangles.
    std::map<Id, int> perBody;
    std::vector<FaceHighlight> tinted;
    std::vector<HighlightLayer>& extra = d->overflowLayers;
    extra.clear();
    for (auto it = faces.rbegin(); it != faces.rend(); ++it) {
        if (++perBody[it->face.id] <= Renderer::maxFaceTints) {
            tinted.insert(tinted.begin(), *it);
        } else if (const auto tris = bodyTris.find(it->face.id); tris != bodyTris.end()) {
            extra.insert(extra.begin(), {faceTris(tris->second, it->face), it->color});
        }
    }
    std::vector<HighlightRef> layers;
    for (const HighlightLayer& h : extra)
        layers.push_back({&h.tris, h.color});
    for (const HighlightLayer& h : d->highlights)
        layers.push_back({&h.tris, h.color});
    d->renderer.setHighlights(layers);
    d->renderer.setFaceTints(std::move(tinted));
    d->highlightsDirty = false;
}

void Viewport::paintGL() {
    const qreal ratio = devicePixelRatioF();
    const int pixelWidth = std::max(1, qRound(width() * ratio));
    const int pixelHeight = std::max(1, qRound(height() * ratio));
    const GLuint fbo = defaultFramebufferObject();
    if (d->sceneDirty || !d->renderer.drawKeptImage(fbo, pixelWidth, pixelHeight)) {
        if (d->meshesDirty) {
            d->renderer.setBodies(bodyTris, d->meshes);
            d->meshesDirty = false;
        }
        if (d->highlightsDirty) handOverHighlights();
        Renderer::Frame frame;
        frame.camera = camera();
        frame.bodiesBox = d->bodiesBox;
        frame.planesShown = d->planesShown;
        frame.hoverPlane = d->hoverPlane;
        frame.pixelWidth = pixelWidth;
        frame.pixelHeight = pixelHeight;
        d->renderer.render(frame, fbo);
        d->sceneDirty = false;
    }
}

void Viewport::paintOverlay(QPainter& painter) {
    d->painter = &painter;
    drawOverlay();
    d->painter = nullptr;
}

}  // namespace ivo
