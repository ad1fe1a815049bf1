// A window-free owner of the sketch editor: one sketch with its undo history, a status line,
// scripted prompt answers, a fixed projection (4 view points per millimetre, plane origin at
// (400, 300)) and a canvas that paints nowhere.
#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "editor/sketch_drawing.h"
#include "editor/sketch_editor.h"

namespace ivo::testing {

// A canvas that paints nowhere, so that the editor's drawing code runs.
class RecordingCanvas : public SketchCanvas {
public:
    void strokePolyline(const std::vector<V2>&, const Sketch&, bool, Colour, double,
                        bool) override {}
    void fillLoops(const std::vector<Loop>&, const Sketch&, Colour) override {}
    void strokePath(const std::vector<ScreenPoint>&, bool, Colour, double,
                    const std::vector<double>&) override {}
    void fillRect(const LabelRect&, Colour) override {}
    void strokeRect(const LabelRect&, Colour, double) override {}
    void fillRoundedRect(const LabelRect&, double, Colour) override {}
    void strokeRoundedRect(const LabelRect&, double, Colour, double) override {}
    void strokeEllipse(const LabelRect&, Colour, double) override {}
    // 6 points per character at 10 points, the height of the font size.
    V2 measureText(const std::string& text, double size, bool) override {
        const auto chars = std::count_if(text.begin(), text.end(),
                                         [](unsigned char ch) { return (ch & 0xC0) != 0x80; });
        return {double(chars) * 0.6 * size, size};
    }
    void drawText(const std::string&, ScreenPoint, double, bool, Colour) override {}
};

class PlainHost : public EditorHost {
public:
    Sketch sketch;
    std::vector<Sketch> undo;
    std::string status;
    std::deque<std::vector<double>> answers;  // an empty answer cancels
    EditorMemory mem;
    std::map<std::string, std::string> variants;
    bool magnetOn = true;
    RecordingCanvas* painting = nullptr;
    double scale = 4;

    const Sketch* currentSketch() const override { return &sketch; }
    void storeSketch(const Sketch& s) override { sketch = s; }
    void pushUndo() override { undo.push_back(sketch); }
    void sketchChanged() override {}
    void setStatus(const std::string& text) override { status = text; }
    std::optional<double> askNumber(const std::string& title, double value) override {
        const auto v = askNumbers(title, {}, {{"", value}});
        return v ? std::optional(v->front()) : std::nullopt;
    }
    std::optional<std::vector<double>> askNumbers(const std::string&, const std::string&,
                                                  const std::vector<NumberField>& fields) override {
        if (answers.empty()) return std::nullopt;
        std::vector<double> a = answers.front();
        answers.pop_front();
        if (a.empty()) return std::nullopt;
        a.resize(fields.size(), a.back());
        return a;
    }
    void refreshToolbarState() override {}
    void toggleMagnet() override { magnetOn = !magnetOn; }
    bool magnet() const override { return magnetOn; }
    EditorMemory& memory() override { return mem; }
    std::map<std::string, std::string>& lastVariant() override { return variants; }
    std::optional<ScreenPoint> toScreen(const Sketch&, V2 p) const override {
        return ScreenPoint{400 + p.x * scale, 300 + p.y * scale};
    }
    std::optional<V2> planePoint(const SketchPlane&, ScreenPoint p) const override {
        return V2{(p.x - 400) / scale, (p.y - 300) / scale};
    }
    double viewDistance() const override { return 50; }
    void redrawOverlay() override {}
    std::vector<V2> foreignPoints;
    std::vector<V2> foreignSnapPoints() const override { return foreignPoints; }
    SketchCanvas* canvas() override { return painting; }

    ScreenPoint at(V2 p) const { return *toScreen(sketch, p); }
    // Undoes one step as the window does; false when there is nothing to undo.
    bool undoStep() {
        if (undo.empty()) return false;
        sketch = undo.back();
        undo.pop_back();
        return true;
    }
};

// The editor over a plain host, with the pointer actions and constraint queries tests share.
struct HostedEditor {
    PlainHost host;
    SketchEditor editor{&host};

    void move(V2 p) { editor.mouseMoved(host.at(p)); }
    bool click(V2 p, int count = 1) {
        const bool taken = editor.mouseDown(host.at(p), count);
        editor.mouseUp();
        return taken;
    }
    size_t count(const std::string& kind) const {
        return size_t(std::count_if(host.sketch.constraints.begin(), host.sketch.constraints.end(),
                                    [&](const SConstraint& c) { return c.kind == kind; }));
    }
    std::vector<double> values(const std::string& kind) const {
        std::vector<double> out;
        for (const SConstraint& c : host.sketch.constraints)
            if (c.kind == kind && c.value) out.push_back(*c.value);
        return out;
    }
};

}  // namespace ivo::testing
