// The sketch editor inside the window: the view's pointer events and overlay drawing in sketch
// mode, the keys of the tools, and the sketch commands of the toolbar.
#include <QKeyEvent>
#include <QPainter>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "app/sketch_host.h"
#include "editor/qt_canvas.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo {

void MainController::storeSketch(const Sketch& sketch) {
    if (!editSketch_ || *editSketch_ >= doc_.features.size()) return;
    Feature& f = doc_.features[*editSketch_];
    if (f.sketch) *f.sketch = sketch;
}

bool MainController::editorMouseDown(ViewPoint p, int clickCount) {
    return mode_ == Mode::sketch && editor->mouseDown(p, clickCount);
}

void MainController::editorMouseDragged(ViewPoint p) {
    if (mode_ == Mode::sketch) editor->mouseDragged(p);
}

void MainController::editorMouseUp() {
    if (mode_ == Mode::sketch) editor->mouseUp();
}

void MainController::editorMouseMoved(ViewPoint p) {
    if (mode_ == Mode::sketch) editor->mouseMoved(p);
}

void MainController::editorDraw() {
    QPainter* painter = viewport->overlayPainter();
    if (!painter || !currentSketch()) return;
    painter->save();
    {
        QtCanvas canvas(*viewport, *painter);
        editorHost->canvas_ = &canvas;
        editor->draw();
        editorHost->canvas_ = nullptr;
    }
    painter->restore();
}

void MainController::runSketchTool(const std::string& id) {
    if (mode_ != Mode::sketch) return;
    if (id == "delete") {
        editor->deleteSelection();
    } else if (id == "construction") {
        editor->toggleConstruction();
    } else if (id == "copyAll") {
        editor->copyAll();
    } else if (id == "magnet") {
        toggleMagnet();
    } else if (id == "escape") {
        editor->key({EditorKey::Code::escape, {}, false});
    } else {
        editor->setTool(id);
    }
}

std::string MainController::activeSketchTool() const {
    return editor ? editor->tool() : std::string("select");
}

bool MainController::sketchKey(QKeyEvent* event) {
    EditorKey k;
    switch (event->key()) {
        case Qt::Key_Escape: k.code = EditorKey::Code::escape; break;
        case Qt::Key_Backspace: k.code = EditorKey::Code::backspace; break;
        case Qt::Key_Delete: k.code = EditorKey::Code::forwardDelete; break;
        case Qt::Key_Tab: k.code = EditorKey::Code::tab; break;
        case Qt::Key_Backtab:
            k.code = EditorKey::Code::tab;
            k.shift = true;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter: k.code = EditorKey::Code::enter; break;
        default: break;
    }
    k.text = fromQt(event->text());
    k.command = event->modifiers() & Qt::ControlModifier;
    return editor->key(k);
}

}  // namespace ivo
