// The sketch canvas over the 3-D view's overlay painter.
#pragma once

#include "editor/sketch_drawing.h"

class QPainter;

namespace ivo {

class Viewport;

class QtCanvas : public SketchCanvas {
public:
    // Valid while the view paints its overlay (its painter is live).
    QtCanvas(Viewport& view, QPainter& painter) : view_(view), p_(painter) {}

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
    Viewport& view_;
    QPainter& p_;
};

}  // namespace ivo
