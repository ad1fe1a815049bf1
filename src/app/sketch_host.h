// The sketch editor's view of the window: the controller's document, history, status line,
// prompts and 3-D view, behind the editor's host interface.
#pragma once

#include "editor/editor_host.h"

namespace ivo {

class MainController;

class SketchHost : public EditorHost {
public:
    explicit SketchHost(MainController& c) : c_(c) {}

    const Sketch* currentSketch() const override;
    void storeSketch(const Sketch& sketch) override;
    void pushUndo() override;
    void sketchChanged() override;
    void setStatus(const std::string& text) override;
    std::optional<double> askNumber(const std::string& title, double value) override;
    std::optional<std::vector<double>> askNumbers(const std::string& title,
                                                  const std::string& message,
                                                  const std::vector<NumberField>& fields) override;
    void refreshToolbarState() override;
    void toggleMagnet() override;
    bool magnet() const override;
    EditorMemory& memory() override;
    std::map<std::string, std::string>& lastVariant() override;
    std::optional<ScreenPoint> toScreen(const Sketch& sketch, V2 p) const override;
    std::optional<V2> planePoint(const SketchPlane& plane, ScreenPoint p) const override;
    double viewDistance() const override;
    void redrawOverlay() override;
    std::vector<V2> foreignSnapPoints() const override;
    SketchCanvas* canvas() override { return canvas_; }

    // Set by the controller around the editor's drawing.
    SketchCanvas* canvas_ = nullptr;

private:
    MainController& c_;
};

}  // namespace ivo
