// The open sketch over the 3-D view: regions, axes, curves by state, points, the piece under
// the pointer, constraint symbols and dimension values (whose boxes clicks find again through
// labelRects), the preview of the tool in progress and the snap found for the pointer.
#include "editor/sketch_drawing.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <unordered_map>

#include "input/parse_num.h"
#include "sketch/curves.h"

namespace ivo {
namespace {

namespace sc = sketchColours;
constexpr double pi = std::numbers::pi;

std::vector<V2> arcThrough(V2 c, double r, double start, double sweep) {
    std::vector<V2> pts;
    for (int i = 0; i <= 48; ++i) {
        const double a = start + sweep * i / 48;
        pts.push_back(c + V2{std::cos(a), std::sin(a)} * r);
    }
    return pts;
}

double angleOf(V2 d) {
    return std::atan2(d.y, d.x);
}

// The sketch's records by id, and the view position of each point, found once per frame: the
// labels of a large sketch would otherwise search the record arrays thousands of times.
struct Lookup {
    std::unordered_map<Id, V2> pos;
    std::unordered_map<Id, std::optional<ScreenPoint>> screen;
    std::unordered_map<Id, const SLine*> lines;
    std::unordered_map<Id, const SCircle*> circles;
    std::unordered_map<Id, const SArc*> arcs;

    Lookup(const Sketch& s, const EditorHost& host) {
        for (const SPoint& p : s.points) {
            pos[p.id] = p.p;
            screen[p.id] = host.toScreen(s, p.p);
        }
        for (const SLine& l : s.lines)
            lines[l.id] = &l;
        for (const SCircle& c : s.circles)
            circles[c.id] = &c;
        for (const SArc& a : s.arcs)
            arcs[a.id] = &a;
    }
    template <class M>
    static auto find(const M& m, Id id) -> typename M::mapped_type {
        const auto it = m.find(id);
        return it == m.end() ? typename M::mapped_type{} : it->second;
    }
    std::optional<V2> at(Id id) const {
        const auto it = pos.find(id);
        return it == pos.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<ScreenPoint> view(Id id) const { return find(screen, id); }
    const SLine* line(Id id) const { return find(lines, id); }
    const SCircle* circle(Id id) const { return find(circles, id); }
    const SArc* arc(Id id) const { return find(arcs, id); }
};

}  // namespace

void SketchEditor::draw() {
    labelRects.clear();
    const Sketch* sp = ctl->currentSketch();
    SketchCanvas* canvas = ctl->canvas();
    if (!sp || !canvas) return;
    const Sketch& s = *sp;
    SketchCanvas& cv = *canvas;
    const auto toScreen = [&](V2 p) { return ctl->toScreen(s, p); };

    for (const Region& r : s.regions()) {
        std::vector<Loop> loops{r.outer};
        loops.insert(loops.end(), r.holes.begin(), r.holes.end());
        cv.fillLoops(loops, s, sc::region);
    }

    const double L = std::max(ctl->viewDistance() * 0.6, 40.0);
    cv.strokePolyline({{-L, 0}, {L, 0}}, s, false, sc::xAxis, 1.0, true);
    cv.strokePolyline({{0, -L}, {0, L}}, s, false, sc::yAxis, 1.0, true);

    const auto curveStyle = [&](Id id, bool construction, const auto& pts, bool closed) {
        const bool isSelected = selected && *selected == id;
        const bool red =
            (isSelected && !selectedPieceAt) || (pendingEntity && *pendingEntity == id);
        const Colour c = red ? sc::selection : construction ? sc::construction : sc::curve;
        cv.strokePolyline(pts, s, closed, c, isSelected ? 2.6 : 1.6, construction);
    };
    const Lookup k(s, *ctl);
    for (const SLine& l : s.lines) {
        const auto a = k.at(l.a), b = k.at(l.b);
        if (a && b) curveStyle(l.id, l.construction, std::vector<V2>{*a, *b}, false);
    }
    for (const SCircle& c : s.circles)
        curveStyle(c.id, c.construction, s.circlePoints(c, 64), true);
    for (const SArc& a : s.arcs)
        curveStyle(a.id, a.construction, s.arcPoints(a, 64), false);

    for (const SPoint& p : s.points) {
        const auto q = k.view(p.id);
        if (!q) continue;
        const double h = p.id == 0 ? 4 : 3;
        const LabelRect r{q->x - h, q->y - h, 2 * h, 2 * h};
        cv.fillRect(r, p.id == 0 ? sc::origin : sc::white);
        const Colour outline = selected && *selected == p.id ? sc::selection
                               : p.fixed                     ? sc::fixedPoint
                                                             : sc::curve;
        cv.strokeRect(r, outline, 1.2);
    }

    if ((tool_ == "select" || tool_ == "trim") && hoverPiece &&
        !(selected && *selected == hoverPiece->id && selectedPieceAt)) {
        const bool trim = tool_ == "trim";
        cv.strokePolyline(s.piecePolyline(hoverPiece->id, hoverPiece->q), s, false,
                          trim ? sc::hoverTrim : sc::hoverSelect, 3.0, trim);
    }
    if (selected && selectedPieceAt && s.curve(*selected))
        cv.strokePolyline(s.piecePolyline(*selected, *selectedPieceAt), s, false, sc::selection,
                          3.2, false);

    // Constraint symbols and values.
    std::map<Id, int> perEntity;
    for (const SConstraint& c : s.constraints) {
        std::string text;
        std::optional<ScreenPoint> anchor;
        bool value = false;
        const double v = c.value.value_or(0);
        const Id r0 = c.refs.empty() ? -1 : c.refs[0];
        const auto segment = [&](const SLine* l) -> std::optional<std::pair<V2, V2>> {
            const auto a = k.view(l->a), b = k.view(l->b);
            if (!a || !b) return std::nullopt;
            return std::pair{*a, *b};
        };
        const auto lineSymbol = [&]() {
            const SLine* l = k.line(r0);
            if (!l && c.refs.size() > 1) l = k.line(c.refs[1]);
            if (l) {
                const auto ab = segment(l);
                if (!ab) return;
                const auto [a, b] = *ab;
                const V2 d = b - a;
                const double n = std::max(d.length(), 1e-6);
                const int count = perEntity[r0]++;
                anchor =
                    V2{(a.x + b.x) / 2 - d.y / n * 12 + 14 * count, (a.y + b.y) / 2 + d.x / n * 12};
            } else if (const SCircle* circle = k.circle(r0)) {
                text = "=";
                if (const auto centre = k.at(circle->c))
                    anchor = toScreen(*centre + V2{circle->r, 0});
            }
        };
        const auto radiusPos = [&]() {
            std::optional<V2> centre;
            double r = 0;
            if (const SCircle* circle = k.circle(r0)) {
                centre = k.at(circle->c);
                r = circle->r;
            } else if (const SArc* arc = k.arc(r0)) {
                centre = k.at(arc->c);
                const auto start = k.at(arc->s);
                if (centre && start) r = (*start - *centre).length();
            }
            if (!centre) return;
            if (const auto q = toScreen(*centre + V2{0.7071 * r, 0.7071 * r}))
                anchor = *q + V2{14, 10};
        };
        const std::string& kind = c.kind;
        if (kind == ck::horizontal || kind == ck::vertical || kind == ck::parallel ||
            kind == ck::perpendicular || kind == ck::tangent || kind == ck::equal) {
            text = kind == ck::horizontal      ? "H"
                   : kind == ck::vertical      ? "V"
                   : kind == ck::parallel      ? "∥"
                   : kind == ck::perpendicular ? "⊥"
                   : kind == ck::tangent       ? "T"
                                               : "=";
            lineSymbol();
        } else if (kind == ck::pointOnLine || kind == ck::pointOnCircle || kind == ck::midpoint) {
            text = kind == ck::midpoint ? "M" : "⦁";
            if (const auto q = k.view(r0))
                anchor = *q + (kind == ck::midpoint ? V2{10, -10} : V2{10, 10});
        } else if (kind == ck::length) {
            value = true;
            text = fmt(v);
            if (const SLine* l = k.line(r0)) {
                if (const auto ab = segment(l)) {
                    const auto [a, b] = *ab;
                    const V2 d = b - a;
                    const double n = std::max(d.length(), 1e-6);
                    anchor = (a + b) / 2 + V2{d.y / n * 16, -d.x / n * 16};
                }
            }
        } else if (kind == ck::distance) {
            value = true;
            text = fmt(v);
            if (c.refs.size() == 2) {
                const auto a = k.view(c.refs[0]), b = k.view(c.refs[1]);
                if (a && b) {
                    cv.strokePath({*a, *b}, false, sc::measureLine, 0.8, {2, 2});
                    anchor = (*a + *b) / 2 + V2{0, 10};
                }
            }
        } else if (kind == ck::diameter || kind == ck::radius) {
            value = true;
            text = (kind == ck::diameter ? "Ø" : "R") + fmt(v);
            radiusPos();
        }
        if (!anchor || text.empty()) continue;
        const double size = value ? 11 : 9;
        const V2 m = cv.measureText(text, size, !value);
        const LabelRect box{anchor->x - m.x / 2 - 3, anchor->y - m.y / 2 - 1, m.x + 6, m.y + 2};
        const bool isSelected = selected && *selected == c.id;
        cv.fillRoundedRect(box, 3,
                           isSelected ? sc::selection
                           : value    ? sc::valueBox
                                      : sc::symbolBox);
        cv.strokeRoundedRect(box, 3, sc::labelBorder, 1);
        cv.drawText(text, {box.x + 3, box.y + 1}, size, !value,
                    isSelected ? sc::white
                    : value    ? sc::valueText
                               : sc::symbolText);
        labelRects.push_back({c.id, box});
    }

    if (hover) drawPreview();
    if (!dragging && hoverInfo) {
        if (const auto q = toScreen(hoverInfo->pos)) {
            for (const auto& [a, b] : hoverInfo->guides)
                cv.strokePolyline({a, b}, s, false, sc::guide, 1.0, true);
            const V2 p = *q;
            const std::string& kind = hoverInfo->kind;
            Colour colour = sc::snap;
            std::string label;
            if (kind == "mid") {
                cv.strokePath({{p.x, p.y + 8}, {p.x - 7, p.y - 5}, {p.x + 7, p.y - 5}}, true,
                              colour, 2, {});
                label = "Milieu";
            } else if (kind == "quad") {
                cv.strokePath({{p.x, p.y + 7}, {p.x + 7, p.y}, {p.x, p.y - 7}, {p.x - 7, p.y}},
                              true, colour, 2, {});
                label = "Quadrant";
            } else if (kind == "foreign") {
                colour = sc::projectedMark;
                cv.strokeRect({p.x - 6, p.y - 6, 12, 12}, colour, 2);
                label = "Point projeté";
            } else if (kind == "curve") {
                cv.strokePath({{p.x - 6, p.y - 6}, {p.x + 6, p.y + 6}}, false, colour, 2, {});
                cv.strokePath({{p.x - 6, p.y + 6}, {p.x + 6, p.y - 6}}, false, colour, 2, {});
                label = "Sur l'élément";
            } else if (kind == "align") {
                colour = sc::alignMark;
                cv.strokeEllipse({p.x - 3, p.y - 3, 6, 6}, colour, 2);
            } else {
                cv.strokeEllipse({p.x - 8, p.y - 8, 16, 16}, colour, 2);
            }
            if (!label.empty()) cv.drawText(label, {p.x + 10, p.y + 6}, 10, false, colour);
        }
    }
    drawFields();
    drawDimEdit();
}

namespace {

// One entry box at (x, y): its label, then the text in a field 66 points wide, with the
// selection or the caret of the text being typed. Answers the box.
LabelRect entryBox(SketchCanvas& cv, double x, double y, const std::string& label,
                   const std::string& text, bool active, bool editing, bool selectedText) {
    const V2 labelSize = cv.measureText(label, 10, false);
    const V2 textSize = cv.measureText(text, 12, false);
    const double h = std::max(labelSize.y, textSize.y) + 6;
    const LabelRect box{x, y, 6 + labelSize.x + 4 + 66 + 6, h};
    cv.fillRoundedRect(box, 5, sc::fieldBox);
    cv.strokeRoundedRect(box, 5, sc::fieldBorder, active ? 2 : 1);
    cv.drawText(label, {x + 6, y + 3}, 10, false, sc::fieldLabel);
    const double tx = x + 6 + labelSize.x + 4;
    if (editing && selectedText && !text.empty())
        cv.fillRect({tx, y + 2, textSize.x, h - 4}, sc::fieldSelection);
    cv.drawText(text, {tx, y + 3}, 12, false, sc::valueText);
    if (editing && !selectedText)
        cv.strokePath({{tx + textSize.x + 1, y + 3}, {tx + textSize.x + 1, y + h - 3}}, false,
                      sc::valueText, 1, {});
    return box;
}

}  // namespace

void SketchEditor::drawFields() {
    SketchCanvas& cv = *ctl->canvas();
    const auto fields = fieldKeys();
    double x = mouseScreen.x + 20;
    const double y = mouseScreen.y - 40;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldSpec& f = fields[i];
        const bool editing = editingKey && *editingKey == f.key;
        const LabelRect box = entryBox(cv, x, y, f.label, fieldText(f.key),
                                       static_cast<int>(i) == activeField, editing, replaceOnType);
        x += box.w + 6;
    }
}

void SketchEditor::drawDimEdit() {
    if (!dimEdit) return;
    // The label follows the view (zoom, pan) and the solve: the box covers it where it was
    // painted in this frame.
    for (const LabelBox& b : labelRects)
        if (b.id == dimEdit->id) dimEdit->over = b.rect;
    SketchCanvas& cv = *ctl->canvas();
    const V2 labelSize = cv.measureText(dimEdit->label, 10, false);
    const double w = 6 + labelSize.x + 4 + 66 + 6;
    const LabelRect& o = dimEdit->over;
    entryBox(cv, o.x + o.w / 2 - w / 2, o.y + o.h / 2 - 9, dimEdit->label, dimEdit->text, true,
             true, dimEdit->replaceOnType);
}

void SketchEditor::drawPreview() {
    const Sketch& s = *ctl->currentSketch();
    SketchCanvas& cv = *ctl->canvas();
    if (!firstRef || !hover) return;
    const V2 t = typed.empty() ? *hover : computeTarget(*hover);
    const V2 A = firstRef->id && s.pos(*firstRef->id) ? *s.pos(*firstRef->id) : firstRef->pt;
    const std::optional<V2> B = !secondRef ? std::nullopt
                                : secondRef->id && s.pos(*secondRef->id)
                                    ? s.pos(*secondRef->id)
                                    : std::optional(secondRef->pt);
    const auto stroke = [&](const std::vector<V2>& pts, bool closed, double width = 1.2) {
        cv.strokePolyline(pts, s, closed, sc::preview, width, true);
    };
    const std::string& tl = tool_;
    if (tl == "line") {
        stroke({A, t}, false);
        routineStatus("Ligne : " + fmt((t - A).length()) + " mm — Échap pour terminer");
    } else if (tl == "rect" || tl == "rectC") {
        const V2 a = tl == "rect" ? A : A * 2 - t;
        stroke({a, {t.x, a.y}, t, {a.x, t.y}}, true);
        routineStatus("Rectangle : " + fmt(std::abs(t.x - a.x)) + " × " + fmt(std::abs(t.y - a.y)) +
                      " mm");
    } else if (tl == "circle") {
        stroke(circlePoints(A, (t - A).length(), 64), true);
        routineStatus("Cercle : Ø " + fmt(2 * (t - A).length()) + " mm");
    } else if (tl == "circle2") {
        stroke(circlePoints((A + t) / 2, (t - A).length() / 2, 64), true);
        routineStatus("Cercle : Ø " + fmt((t - A).length()) + " mm");
    } else if (tl == "polyI" || tl == "polyC") {
        const int n = std::clamp(polygonSides, 3, 64);
        const V2 d = t - A;
        const bool inscribed = tl == "polyI";
        const double R = inscribed ? d.length() : d.length() / std::cos(pi / n);
        const double off = inscribed ? 0 : pi / n;
        std::vector<V2> pts;
        for (int i = 0; i < n; ++i) {
            const double a = off + angleOf(d) + 2 * pi * i / n;
            pts.push_back(A + V2{std::cos(a), std::sin(a)} * R);
        }
        stroke(pts, true);
    } else if (tl == "rect3" || tl == "circle3" || tl == "arc3" || tl == "arc" || tl == "slotCC" ||
               tl == "slotO") {
        if (!B) {
            stroke({A, t}, false, tl == "rect3" ? 1.2 : 1.0);
            return;
        }
        if (tl == "rect3") {
            const V2 n = (*B - A).normalized().perpLeft();
            const double k = n.dot(t - *B);
            stroke({A, *B, *B + n * k, A + n * k}, true);
        } else if (tl == "circle3" || tl == "arc3") {
            const auto c = circumcenter(A, *B, t);
            if (!c) return;
            const double r = (A - *c).length();
            if (tl == "circle3") {
                stroke(circlePoints(*c, r, 64), true);
                return;
            }
            const double a0 = angleOf(A - *c);
            const double sw = normAngle(angleOf(*B - *c) - a0), m = normAngle(angleOf(t - *c) - a0);
            if (sw <= m)
                stroke(arcThrough(*c, r, a0 + sw, 2 * pi - sw), false);
            else
                stroke(arcThrough(*c, r, a0, sw), false);
        } else if (tl == "arc") {
            const double r = (*B - A).length(), a0 = angleOf(*B - A);
            double sweep = angleOf(t - A) - a0;
            while (sweep <= 0)
                sweep += 2 * pi;
            stroke(arcThrough(A, r, a0, sweep), false);
        } else {
            const V2 u = (*B - A).normalized();
            const double w = std::abs(u.cross(t - A));
            const bool overall = tl == "slotO";
            const V2 a = overall ? A + u * w : A, b = overall ? *B - u * w : *B;
            const double th = angleOf(u);
            std::vector<V2> pts;
            for (int i = 0; i <= 24; ++i) {
                const double ang = th + pi / 2 + i * pi / 24;
                pts.push_back(a + V2{std::cos(ang), std::sin(ang)} * w);
            }
            for (int i = 0; i <= 24; ++i) {
                const double ang = th - pi / 2 + i * pi / 24;
                pts.push_back(b + V2{std::cos(ang), std::sin(ang)} * w);
            }
            stroke(pts, true);
        }
    }
}

}  // namespace ivo
