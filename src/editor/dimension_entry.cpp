// Sizes typed while drawing: the entry boxes of each tool and stage, their live values, the
// click position the typed values give, and the dimension constraints they leave behind.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

#include "editor/sketch_editor.h"
#include "input/parse_num.h"
#include "sketch/curves.h"

namespace ivo {
namespace {

constexpr double pi = std::numbers::pi;

// Toward zero to two decimals; the slack keeps an exact 2.3 (229.999… hundredths in binary)
// from showing as 2.29.
double truncate2(double v) {
    const double h = std::abs(v) * 100;
    const double t = std::floor(h + 1e-9 * std::max(1.0, h)) / 100;
    return v < 0 ? -t : t;
}

double degrees(double radians) {
    return radians * 180 / pi;
}

}  // namespace

std::vector<SketchEditor::FieldSpec> SketchEditor::fieldKeys() const {
    if (!firstRef) return {};
    const std::string& t = tool_;
    const bool second = secondRef.has_value();
    if (t == "line") return {{"len", "Longueur"}, {"ang", "Angle °"}};
    if (t == "rect" || t == "rectC") return {{"w", "Largeur"}, {"h", "Hauteur"}};
    if (t == "rect3")
        return second ? std::vector<FieldSpec>{{"w", "Largeur"}}
                      : std::vector<FieldSpec>{{"len", "Longueur"}};
    if (t == "circle" || t == "circle2" || t == "polyC" || t == "polyI") return {{"d", "Diamètre"}};
    if (t == "slotCC" || t == "slotO") {
        if (second) return {{"w", "Largeur"}};
        return {{"len", t == "slotCC" ? "Entraxe" : "Longueur totale"}};
    }
    if (t == "arc")
        return second ? std::vector<FieldSpec>{{"ang", "Angle °"}}
                      : std::vector<FieldSpec>{{"r", "Rayon"}};
    return {};
}

double SketchEditor::liveValue(const std::string& key) const {
    if (!firstRef) return 0;
    const std::string& t = tool_;
    const V2 f = firstRef->pt;
    const V2 h = hover.value_or(f);
    if (key == "ang" && t == "arc" && secondRef) {
        const V2 a = secondRef->pt - f, b = h - f;
        return degrees(normAngle(std::atan2(b.y, b.x) - std::atan2(a.y, a.x)));
    }
    if (key == "ang") {
        double a = degrees(std::atan2(h.y - f.y, h.x - f.x));
        if (a < 0) a += 360;
        return a;
    }
    if (key == "len" || key == "r") return (h - f).length();
    if ((key == "w" || key == "h") && (t == "rect" || t == "rectC")) {
        const double v = key == "w" ? std::abs(h.x - f.x) : std::abs(h.y - f.y);
        return t == "rectC" ? 2 * v : v;
    }
    if (key == "d") return t == "circle2" ? (h - f).length() : 2 * (h - f).length();
    if (key == "w" && secondRef) {
        const V2 s = secondRef->pt;
        const double w = std::abs((s - f).normalized().cross(h - s));
        return t == "rect3" ? w : 2 * w;
    }
    return 0;
}

std::string SketchEditor::fieldText(const std::string& key) const {
    if (editingKey && *editingKey == key) return editText;
    if (const auto it = typed.find(key); it != typed.end()) return fmt(it->second);
    return fmt(truncate2(liveValue(key)));
}

void SketchEditor::textChanged(const std::string& key, const std::string& text) {
    const auto keys = fieldKeys();
    const auto it =
        std::find_if(keys.begin(), keys.end(), [&](const FieldSpec& f) { return f.key == key; });
    if (it == keys.end()) return;
    activeField = static_cast<int>(it - keys.begin());
    const auto v = parseNum(text);
    const bool usable = v && std::isfinite(*v) && std::abs(*v) < 1e6;
    if (usable && (*v > 0 || key == "ang")) {
        typed[key] = *v;
        warningShown_ = false;  // the preview's own status comes back
    } else {
        // The size stays free and follows the pointer again; the status says why.
        typed.erase(key);
        const bool partial =
            !text.empty() && std::string_view("-(.,").find(text.back()) != std::string_view::npos;
        if (!usable && !text.empty() && !partial)
            warn("Valeur non reconnue : « " + text + " ».");
        else if (usable)
            warn("La valeur doit être supérieure à 0 : « " + text + " ».");
    }
    ctl->redrawOverlay();
}

void SketchEditor::focusField(int delta) {
    const auto keys = fieldKeys();
    if (keys.empty()) return;
    const int n = static_cast<int>(keys.size());
    activeField = ((activeField + delta) % n + n) % n;
    const std::string& key = keys[static_cast<size_t>(activeField)].key;
    leaveField();
    editText = fieldText(key);
    editingKey = key;
    replaceOnType = true;  // the text is selected: the first character replaces it
    ctl->redrawOverlay();
}

void SketchEditor::leaveField() {
    editingKey.reset();
    editText.clear();
    replaceOnType = false;
}

V2 SketchEditor::computeTarget(V2 p) const {
    if (!firstRef) return p;
    const std::string& t = tool_;
    const V2 f = firstRef->pt;
    const V2 u = (p - f).length() < 0.5 ? V2{1, 0} : (p - f).normalized();
    const auto get = [&](const char* key) -> std::optional<double> {
        const auto it = typed.find(key);
        if (it == typed.end()) return std::nullopt;
        return it->second;
    };
    if (t == "line") {
        const double len = get("len").value_or((p - f).length());
        const double a = get("ang") ? *get("ang") * pi / 180 : std::atan2(p.y - f.y, p.x - f.x);
        return f + V2{std::cos(a), std::sin(a)} * len;
    }
    if (t == "rect" || t == "rectC") {
        const double k = t == "rect" ? 1 : 0.5;
        const double dx = get("w") ? k * *get("w") : std::abs(p.x - f.x);
        const double dy = get("h") ? k * *get("h") : std::abs(p.y - f.y);
        return f + V2{p.x < f.x ? -dx : dx, p.y < f.y ? -dy : dy};
    }
    if ((t == "circle" || t == "polyC" || t == "polyI") && get("d")) return f + u * (*get("d") / 2);
    if (t == "circle2" && get("d")) return f + u * *get("d");
    const bool slot = t == "slotCC" || t == "slotO";
    if (!secondRef) {
        if ((t == "rect3" || slot) && get("len")) return f + u * *get("len");
        if (t == "arc" && get("r")) return f + u * *get("r");
        return p;
    }
    const V2 s = secondRef->pt;
    if ((s - f).length() < 1e-9) return p;
    const V2 n = (s - f).normalized().perpLeft();
    if (t == "rect3" && get("w")) {
        const double w = *get("w");
        return s + n * (n.dot(p - s) < 0 ? -w : w);
    }
    if (slot && get("w")) {
        const double w = *get("w") / 2;
        return s + n * (n.dot(p - s) < 0 ? -w : w);
    }
    if (t == "arc" && get("ang")) {
        const double a0 = std::atan2(s.y - f.y, s.x - f.x) + *get("ang") * pi / 180;
        return f + V2{std::cos(a0), std::sin(a0)} * (s - f).length();
    }
    return p;
}

void SketchEditor::applyDims(Sketch& s, Id firstNewId) const {
    if (typed.empty() && stage1Typed.empty()) return;
    const std::string& t = tool_;
    std::vector<Id> lines, circles, arcs;
    for (const SLine& l : s.lines)
        if (l.id >= firstNewId) lines.push_back(l.id);
    for (const SCircle& c : s.circles)
        if (c.id >= firstNewId) circles.push_back(c.id);
    for (const SArc& a : s.arcs)
        if (a.id >= firstNewId) arcs.push_back(a.id);
    const auto value = [](const std::map<std::string, double>& m,
                          const char* key) -> std::optional<double> {
        const auto it = m.find(key);
        if (it == m.end()) return std::nullopt;
        return it->second;
    };
    const auto dim = [&](const char* kind, const std::vector<Id>& ids, size_t i,
                         std::optional<double> v) {
        if (v && i < ids.size()) s.addConstraint(kind, {ids[i]}, *v);
    };
    if (t == "line") {
        dim(ck::length, lines, 0, value(typed, "len"));
    } else if (t == "rect" || t == "rectC") {
        dim(ck::length, lines, 0, value(typed, "w"));
        dim(ck::length, lines, 1, value(typed, "h"));
    } else if (t == "rect3") {
        dim(ck::length, lines, 0, value(stage1Typed, "len"));
        dim(ck::length, lines, 1, value(typed, "w"));
    } else if (t == "circle" || t == "circle2" || t == "polyC" || t == "polyI") {
        dim(ck::diameter, circles, 0, value(typed, "d"));
    } else if (t == "slotCC" || t == "slotO") {
        const auto w = value(typed, "w");
        if (w) dim(ck::radius, arcs, 0, *w / 2);
        const auto len = value(stage1Typed, "len");
        if (t == "slotCC") {
            dim(ck::length, lines, 0, len);
        } else if (len && !arcs.empty()) {
            const SArc a = *s.arc(arcs[0]);
            const double r = w ? *w / 2 : (*s.pos(a.s) - *s.pos(a.c)).length();
            if (*len - 2 * r > 0) dim(ck::length, lines, 0, *len - 2 * r);
        }
    } else if (t == "arc") {
        dim(ck::radius, arcs, 0, value(stage1Typed, "r"));
    }
}

void SketchEditor::commitTyped() {
    if (!firstRef) return;
    leaveField();
    const V2 target = computeTarget(hover.value_or(firstRef->pt));
    runClick(std::nullopt, target, target, mouseScreen, 1);
    ctl->redrawOverlay();
}

}  // namespace ivo
