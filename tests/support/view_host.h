// A small real owner for a Viewport in tests and tools: it holds a document and its
// evaluation, a mode, and records every call the view makes into it.
#pragma once

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
    std::optional<size_t> editedSketch;
    bool offerMenu = false;      // contextMenu answers with a menu
    bool extrudeHandle = false;  // extrudeHandleHit answers true
    bool editorTakes = false;    // editorMouseDown answers true

    // Calls received.
    std::string status;
    std::vector<SketchPlane> chosen, started;
    std::vector<std::pair<bool, ViewPoint>> modelClicks;
    std::vector<ViewPoint> featureClicks, menuRequests, hovers, extrudeDrags;
    std::vector<std::string> editorCalls;  // "down", "drag", "up", "move"
    std::vector<int> keys;
    int overlayDraws = 0;

    // Reads a .q3d file and evaluates it; false with nothing changed when it cannot be read.
    bool load(const std::string& path);
    // Replaces the document and evaluates it.
    void setDocument(Doc doc);

    Mode mode() const override { return currentMode; }
    const Doc& doc() const override { return document; }
    const EvalResult& result() const override { return evaluation; }
    std::optional<size_t> editSketch() const override { return editedSketch; }
    void setStatus(const std::string& text) override { status = text; }

    QMenu* contextMenu(ViewPoint p) override;
    bool extrudeHandleHit(ViewPoint) override { return extrudeHandle; }
    void dragExtrude(ViewPoint p) override { extrudeDrags.push_back(p); }
    void featureClick(ViewPoint p) override { featureClicks.push_back(p); }
    void modelClick(bool additive, ViewPoint p) override { modelClicks.push_back({additive, p}); }
    void modelHover(ViewPoint p) override { hovers.push_back(p); }
    void planeChosen(const SketchPlane& plane) override { chosen.push_back(plane); }
    void startSketch(const SketchPlane& plane) override { started.push_back(plane); }
    bool handleKey(QKeyEvent* event) override;

    bool editorMouseDown(ViewPoint, int) override;
    void editorMouseDragged(ViewPoint) override { editorCalls.push_back("drag"); }
    void editorMouseUp() override { editorCalls.push_back("up"); }
    void editorMouseMoved(ViewPoint) override { editorCalls.push_back("move"); }
    void editorDraw() override { ++overlayDraws; }
    void drawFeatureOverlay() override { ++overlayDraws; }
    void drawSelection() override { ++overlayDraws; }
};

}  // namespace ivo::testing
