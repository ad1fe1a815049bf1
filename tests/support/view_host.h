// A small real owner for a Viewport in tests and tools: it holds a document, its evaluation
// and a mode, answers as told, and records every call the view makes into it.
#pragma once

#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "document/doc.h"
#include "document/evaluator.h"
#include "viewport/viewport_host.h"

namespace ivo::testing {

class ViewHost : public ViewportHost {
public:
    Doc document;
    EvalResult evaluation;
    Mode currentMode = Mode::model;
    // Answers: contextMenu gives a menu, extrudeHandleHit and editorMouseDown say true.
    bool offerMenu = false, extrudeHandle = false, editorTakes = false;

    // Calls received: the last status, and the rest in order as "name x,y".
    std::string status;
    std::vector<std::string> calls;

    // Reads and evaluates a .q3d file; false with nothing changed when it cannot be read.
    bool load(const std::string& path);

    Mode mode() const override { return currentMode; }
    const Doc& doc() const override { return document; }
    const EvalResult& result() const override { return evaluation; }
    std::optional<size_t> editSketch() const override { return std::nullopt; }
    void setStatus(const std::string& text) override { status = text; }
    QMenu* contextMenu(ViewPoint p) override {
        log("menu", p);
        return offerMenu ? new QMenu : nullptr;
    }
    bool extrudeHandleHit(ViewPoint) override { return extrudeHandle; }
    void dragExtrude(ViewPoint p) override { log("extrude", p); }
    void featureClick(ViewPoint p) override { log("feature", p); }
    void modelClick(bool additive, ViewPoint p) override { log(additive ? "click+" : "click", p); }
    void modelHover(ViewPoint p) override { log("hover", p); }
    void planeChosen(const SketchPlane&) override {}
    void startSketch(const SketchPlane&) override {}
    bool handleKey(QKeyEvent* event) override {
        calls.push_back("key " + QKeySequence(event->key()).toString().toStdString());
        return event->key() == Qt::Key_Escape;
    }
    bool editorMouseDown(ViewPoint p, int) override {
        log("down", p);
        return editorTakes;
    }
    void editorMouseDragged(ViewPoint p) override { log("drag", p); }
    void editorMouseUp() override { calls.push_back("up"); }
    void editorMouseMoved(ViewPoint p) override { log("move", p); }
    void editorDraw() override {}
    void drawFeatureOverlay() override {}
    void drawSelection() override {}

private:
    void log(const char* name, ViewPoint p) {
        char text[64];
        char* end = std::to_chars(text, text + 30, p.x).ptr;
        *end++ = ',';
        end = std::to_chars(end, text + sizeof text, p.y).ptr;
        calls.push_back(std::string(name) + " " + std::string(text, end));
    }
};

}  // namespace ivo::testing
