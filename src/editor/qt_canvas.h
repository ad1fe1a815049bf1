// The sketch canvas over the 3-D view's overlay painter.
#pragma once

#include <memory>
#include <vector>

#include "editor/sketch_drawing.h"

class QPainter;

namespace ivo {

class Viewport;

class QtCanvas : public SketchCanvas {
public:
    // Valid while the view paints its overlay (its painter is live). Pen, brush and font are
    // left as the last item set them: the owner saves and restores the painter around.
    QtCanvas(Viewport& view, QPainter& painter);
    ~QtCanvas() override;

    void strokePolyline(const std::vector<V2>& points, const Sketch& sketch, bool closed,
                        Colour colour, double width, bool dashed) override;
    void fillLoops(const std::vector<Loop>& loops, const Sketch& sketch, Colour colour) override;
    void strokePath(const std::vector<ScreenPoint>& points, bool closed, Colour colour,
                    double width, const std::vector<double>& dash) override;
    void fillRect(const LabelRect& r, Colour colour) override;
    void strokeRect(const LabelRect& r, Colour colour, double width) override;
    void fillRoundedRect(const LabelRect& r, double radius, Colour colour) override;
    void strokeRoundedRect(const LabelRect& r, double radius, Colour colour, double width) override;
    void strokeEllipse(const LabelRect& r, Colour colour, double width) override;
    V2 measureText(const std::string& text, double size, bool bold) override;
    void drawText(const std::string& text, ScreenPoint lowerLeft, double size, bool bold,
                  Colour colour) override;

private:
    struct Font;
    const Font& font(double size, bool bold);

    Viewport& view_;
    QPainter& p_;
    std::vector<std::unique_ptr<Font>> fonts_;  // a few sizes per frame: kept, not rebuilt
};

}  // namespace ivo
