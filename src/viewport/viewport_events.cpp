// Pointer, wheel, gesture and key events of the view. Left-button gestures run a small state
// machine (DragMode): decided at the press, refined at the first movement past 3 points, closed
// at the release. Right and middle buttons navigate without a mode.
//
// Modifiers on Linux: Command is Ctrl and Option is Alt; the Control key of one-button mice
// is Meta (as Qt maps it), which opens the context menu on a left press.
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>

#include "viewport/view_cube.h"
#include "viewport/viewport_impl.h"

namespace ivo {
namespace {

double squaredDistance(ViewPoint a, ViewPoint b) {
    const V2 d = a - b;
    return d.dot(d);
}

}  // namespace

bool Viewport::popUpContextMenu(ViewPoint p, QPoint globalPos) {
    QMenu* menu = ctl->contextMenu(p);
    if (!menu) return false;
    // Non-blocking, so that the event loop (and tests driving it) keep running.
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
    return true;
}

void Viewport::leftDown(QMouseEvent* event, int clickCount) {
    const ViewPoint p = toView(*this, event->position());
    const Qt::KeyboardModifiers mods = event->modifiers();
    setFocus(Qt::MouseFocusReason);
    d->downPoint = d->lastPoint = p;
    d->moved = false;
    d->dragMode = DragMode::undecided;
    d->clickCount = clickCount;

    if ((mods & Qt::MetaModifier) && popUpContextMenu(p, event->globalPosition().toPoint())) {
        d->dragMode = DragMode::consumed;
        return;
    }
    const CubeClick cube = cubeClick(p, camera().eyeDir(), width(), height());
    switch (cube.kind) {
        case CubeClick::Kind::outside: break;
        case CubeClick::Kind::home: setView("iso"); break;
        case CubeClick::Kind::face: setDirection(cube.direction); break;
        case CubeClick::Kind::consumed: break;
    }
    if (cube.kind != CubeClick::Kind::outside) {
        d->dragMode = DragMode::consumed;
        return;
    }
    const Mode mode = ctl->mode();
    if (mode == Mode::featureEdit && ctl->extrudeHandleHit(p)) {
        d->dragMode = DragMode::extrude;
    } else if (mods & Qt::AltModifier) {
        d->dragMode = DragMode::orbit;
    } else if (mode == Mode::sketch && ctl->editorMouseDown(p, clickCount)) {
        d->dragMode = DragMode::editor;
    }
}

void Viewport::leftDragged(QMouseEvent* event) {
    const ViewPoint p = toView(*this, event->position());
    if (squaredDistance(p, d->downPoint) > 9) d->moved = true;
    switch (d->dragMode) {
        case DragMode::consumed: break;
        case DragMode::editor: ctl->editorMouseDragged(p); break;
        case DragMode::extrude: ctl->dragExtrude(p); break;
        case DragMode::undecided:
        case DragMode::orbit:
        case DragMode::pan:
            if (!d->moved) break;
            if (d->dragMode == DragMode::undecided)
                d->dragMode =
                    event->modifiers() & Qt::ShiftModifier ? DragMode::pan : DragMode::orbit;
            if (d->dragMode == DragMode::orbit)
                orbit(p.x - d->lastPoint.x, p.y - d->lastPoint.y);
            else
                pan(p.x - d->lastPoint.x, p.y - d->lastPoint.y);
            break;
    }
    d->lastPoint = p;
}

void Viewport::leftUp(QMouseEvent* event) {
    const ViewPoint p = toView(*this, event->position());
    const DragMode mode = d->dragMode;
    d->dragMode = DragMode::undecided;
    switch (mode) {
        case DragMode::editor: ctl->editorMouseUp(); return;
        case DragMode::extrude:
        case DragMode::consumed: return;
        case DragMode::undecided:
        case DragMode::orbit:
        case DragMode::pan: break;
    }
    if (d->moved) return;  // a navigation drag, not a click
    switch (ctl->mode()) {
        case Mode::model: {
            if (d->clickCount == 2) {
                if (const auto plane = pickPlane(p)) {
                    ctl->startSketch(*plane);
                    return;
                }
            }
            const Qt::KeyboardModifiers mods = event->modifiers();
            ctl->modelClick((mods & Qt::ShiftModifier) || (mods & Qt::ControlModifier), p);
            break;
        }
        case Mode::choosePlane:
            if (const auto plane = pickPlane(p)) ctl->planeChosen(*plane);
            break;
        case Mode::sketch: break;
        case Mode::featureEdit: ctl->featureClick(p); break;
    }
}

void Viewport::mousePressEvent(QMouseEvent* event) {
    const ViewPoint p = toView(*this, event->position());
    switch (event->button()) {
        case Qt::LeftButton: leftDown(event, 1); break;
        case Qt::RightButton:
            d->rightDown = d->lastPoint = p;
            d->rightMoved = false;
            break;
        case Qt::MiddleButton: d->lastPoint = p; break;
        default: QOpenGLWidget::mousePressEvent(event); return;
    }
    event->accept();
}

void Viewport::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt sends press, release, double-click, release: the double-click is the second press.
    if (event->button() == Qt::LeftButton) {
        leftDown(event, 2);
        event->accept();
    } else {
        mousePressEvent(event);
    }
}

void Viewport::mouseMoveEvent(QMouseEvent* event) {
    const ViewPoint p = toView(*this, event->position());
    const Qt::MouseButtons buttons = event->buttons();
    if (buttons & Qt::LeftButton) {
        leftDragged(event);
    } else if (buttons & Qt::RightButton) {
        if (!d->rightMoved && squaredDistance(p, d->rightDown) > 16) d->rightMoved = true;
        if (d->rightMoved) orbit(p.x - d->lastPoint.x, p.y - d->lastPoint.y);
        d->lastPoint = p;
    } else if (buttons & Qt::MiddleButton) {
        const double dx = p.x - d->lastPoint.x, dy = p.y - d->lastPoint.y;
        if (event->modifiers() & Qt::ShiftModifier)
            orbit(dx, dy);
        else
            pan(dx, dy);
        d->lastPoint = p;
    } else {
        switch (ctl->mode()) {
            case Mode::sketch: ctl->editorMouseMoved(p); break;
            case Mode::choosePlane: updateHover(p); break;
            case Mode::model: ctl->modelHover(p); break;
            case Mode::featureEdit: break;
        }
    }
    event->accept();
}

void Viewport::mouseReleaseEvent(QMouseEvent* event) {
    switch (event->button()) {
        case Qt::LeftButton: leftUp(event); break;
        case Qt::RightButton:
            if (!d->rightMoved)
                popUpContextMenu(toView(*this, event->position()),
                                 event->globalPosition().toPoint());
            break;
        default: break;
    }
    event->accept();
}

void Viewport::wheelEvent(QWheelEvent* event) {
    const QPoint pixels = event->pixelDelta();
    if (!pixels.isNull()) {
        // Precise scrolling (trackpad): two fingers pan, or orbit with Shift.
        const double dx = pixels.x(), dy = pixels.y();
        if (event->modifiers() & Qt::ShiftModifier) {
            yaw -= dx * Camera::orbitRate;
            pitch =
                std::clamp(pitch + dy * Camera::orbitRate, -Camera::pitchLimit, Camera::pitchLimit);
            updateCamera();
        } else {
            pan(dx, -dy);
        }
    } else {
        const double k = wheelFactor(event->angleDelta().y());
        if (k != 1) zoom(k, toView(*this, event->position()));
    }
    event->accept();
}

void Viewport::keyPressEvent(QKeyEvent* event) {
    if (!ctl->handleKey(event)) QOpenGLWidget::keyPressEvent(event);
}

bool Viewport::event(QEvent* event) {
    // Qt moves the keyboard focus on Tab before keyPressEvent sees it; the sketch editor
    // takes Tab and Shift+Tab to step through its entry boxes, and leaves other uses alone.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && ctl->handleKey(key)) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoom(pinchFactor(gesture->value()), toView(*this, gesture->position()));
            event->accept();
            return true;
        }
    }
    return QOpenGLWidget::event(event);
}

}  // namespace ivo
