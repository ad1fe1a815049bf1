// The 2-D canvas the sketch is painted on: sketch geometry in plane millimetres (projected by
// the view), markers, symbols and texts in view points (origin bottom-left, y up). The view's
// painter implements it (qt_canvas.h); tests record what is painted.
#pragma once

#include <string>
#include <vector>

#include "editor/editor_host.h"
#include "editor/sketch_editor.h"
#include "geometry/loops.h"

namespace ivo {

struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
    friend bool operator==(Colour, Colour) = default;
};

namespace sketchColours {
inline constexpr Colour curve{0.05, 0.30, 0.85, 1};
inline constexpr Colour construction{0.95, 0.55, 0.10, 1};
inline constexpr Colour selection{0.95, 0.15, 0.20, 1};
inline constexpr Colour region{0.30, 0.50, 0.90, 0.10};
inline constexpr Colour xAxis{0.85, 0.30, 0.30, 0.45};
inline constexpr Colour yAxis{0.30, 0.65, 0.30, 0.45};
inline constexpr Colour fixedPoint{0.70, 0.10, 0.10, 1};
inline constexpr Colour origin{0.95, 0.75, 0.10, 1};
inline constexpr Colour white{1, 1, 1, 1};
inline constexpr Colour hoverSelect{1.0, 0.6, 0.1, 0.85};
inline constexpr Colour hoverTrim{0.9, 0.2, 0.2, 0.75};
inline constexpr Colour symbolText{0.10, 0.25, 0.60, 1};
inline constexpr Colour symbolBox{0.88, 0.92, 1.0, 0.95};
inline constexpr Colour valueText{0.1, 0.1, 0.1, 1};
inline constexpr Colour valueBox{1, 1, 1, 0.92};
inline constexpr Colour labelBorder{0.5, 0.5, 0.5, 0.6};
inline constexpr Colour measureLine{0.3, 0.3, 0.3, 0.7};
inline constexpr Colour preview{0.10, 0.50, 0.95, 0.80};
inline constexpr Colour snap{0.10, 0.70, 0.30, 0.95};
inline constexpr Colour guide{0.0, 0.65, 0.85, 0.90};
inline constexpr Colour alignMark{0.0, 0.65, 0.85, 1};
inline constexpr Colour projectedMark{0.95, 0.55, 0.10, 1};
inline constexpr Colour fieldBox{1, 1, 1, 0.95};
inline constexpr Colour fieldBorder{0.1, 0.45, 0.85, 0.8};
inline constexpr Colour fieldLabel{0.35, 0.35, 0.35, 1};
inline constexpr Colour fieldSelection{0.70, 0.82, 1.0, 1};
}  // namespace sketchColours

class SketchCanvas {
public:
    virtual ~SketchCanvas() = default;

    // Plane geometry; dashed strokes use 5 points on, 3 off.
    virtual void strokePolyline(const std::vector<V2>& points, const Sketch& sketch, bool closed,
                                Colour colour, double width, bool dashed) = 0;
    virtual void fillLoops(const std::vector<Loop>& loops, const Sketch& sketch, Colour colour) = 0;

    // View geometry. `dash` is a list of on/off lengths in points, empty for solid.
    virtual void strokePath(const std::vector<ScreenPoint>& points, bool closed, Colour colour,
                            double width, const std::vector<double>& dash) = 0;
    virtual void fillRect(const LabelRect& r, Colour colour) = 0;
    virtual void strokeRect(const LabelRect& r, Colour colour, double width) = 0;
    virtual void fillRoundedRect(const LabelRect& r, double radius, Colour colour) = 0;
    virtual void strokeRoundedRect(const LabelRect& r, double radius, Colour colour,
                                   double width) = 0;
    virtual void strokeEllipse(const LabelRect& r, Colour colour, double width) = 0;
    // Text in the system font of `size` points, bold or medium.
    virtual V2 measureText(const std::string& text, double size, bool bold) = 0;
    virtual void drawText(const std::string& text, ScreenPoint lowerLeft, double size, bool bold,
                          Colour colour) = 0;
};

}  // namespace ivo
