#!/usr/bin/env bash
# Drawing with snaps and typed sizes, at the keyboard: a rectangle typed 40 Tab 20 Return from
# the origin, a circle whose centre the guides from two side middles put at the rectangle's
# centre, typed as diameter 10, and a line ending on that circle's right quadrant; the
# diameter is then changed to 12 by a double click on its label. The saved sketch must keep
# the sizes as dimensions and the line end on the circle's quadrant.
# Usage: tools/e2e/snap_session.sh   (E2E_APP names the application to drive)
source "$(dirname "$0")/lib.sh"

e2e_start
btn_rect=91
# The plane seen head on at the camera's starting distance: 4.378 pixels per millimetre.
px() { python3 -c "print(round($view_x + 4.378 * $1))"; }
py() { python3 -c "print(round($view_y - 4.378 * $1))"; }

e2e_click 45 "$tb"                     # « Esquisse »
e2e_key ctrl+2
e2e_click $((view_x + 120)) $((view_y - 120))

# The rectangle, from the origin, sized in its boxes.
e2e_click "$btn_rect" "$tb"
e2e_click "$view_x" "$view_y"
e2e_move $((view_x + 60)) $((view_y - 40))
e2e_type 40
e2e_key Tab
e2e_type 20
e2e_shot 01-rectangle-tape
e2e_key Return

# The circle: a few pixels off the centre, the middles of two sides guide the pointer there.
e2e_key c
e2e_move "$(px 20.5)" "$(py 10.6)"
e2e_shot 02-guides-du-centre
e2e_click "$(px 20.5)" "$(py 10.6)"
e2e_type 10
e2e_shot 03-diametre-tape
e2e_key Return

# The line: from free space to the circle's right quadrant.
e2e_key l
e2e_click "$(px 60)" "$(py 32)"
e2e_move "$(px 25.4)" "$(py 10.3)"
e2e_shot 04-quadrant
e2e_click "$(px 25.4)" "$(py 10.3)"
e2e_key Escape
e2e_shot 05-esquisse

# The diameter changed in the view: a double click on its label, 12, Return. The line end
# stays on the quadrant, which moves out with the circle.
e2e_key Escape
label_x=$(( $(px 23.54) + 14 ))
label_y=$(( $(py 13.54) - 10 ))
e2e_double_click "$label_x" "$label_y"
e2e_type 12
e2e_shot 06-cote-modifiee
e2e_key Return
e2e_shot 07-diametre-12

out="$E2E_OUT/accroche.q3d"
e2e_click 1217 "$tb"                   # « Terminer l'esquisse »
e2e_save_as "$out"
"$E2E_Q3D" check "$out" || e2e_fail "q3d refuse le modèle enregistré"
python3 - "$out" <<'PY' || e2e_fail "l'esquisse enregistrée n'a pas les accroches ou les tailles attendues"
import json, math, sys
doc = json.load(open(sys.argv[1]))
sk = [f["sketch"] for f in doc["features"] if f.get("kind") == "sketch"][0]
pts = {p["id"]: (p["p"]["x"], p["p"]["y"]) for p in sk["points"]}
lines, circles = sk.get("lines", []), sk.get("circles", [])
cons = sk.get("constraints", [])
kinds = sorted(c["kind"] for c in cons)
dims = sorted((c["kind"], c["value"]) for c in cons if c.get("value") is not None)
print(f"{len(lines)} lignes, {len(circles)} cercle(s), contraintes {kinds}, cotes {dims}")
rect = [l for l in lines if l["a"] == 0 or l["b"] == 0]
assert len(lines) == 5 and len(circles) == 1, (len(lines), len(circles))
assert len(rect) == 2, "le rectangle part de l'origine"
xs = [pts[l[k]][0] for l in lines[:4] for k in ("a", "b")]
ys = [pts[l[k]][1] for l in lines[:4] for k in ("a", "b")]
assert abs(max(xs) - min(xs) - 40) < 1e-6 and abs(max(ys) - min(ys) - 20) < 1e-6
c = circles[0]
cx, cy = pts[c["c"]]
print(f"cercle : centre ({cx:.6f}, {cy:.6f}), rayon {c['r']:.6f}")
# The guides placed the centre without a constraint, so the larger diameter may shift it.
assert math.hypot(cx - 20, cy - 10) < 1.01, "le centre est au centre du rectangle"
assert abs(c["r"] - 6) < 1e-9
assert ("diameter", 12) in dims and ("length", 40) in dims and ("length", 20) in dims
end = lines[4]["b"]
ex, ey = pts[end]
print(f"bout de la ligne : ({ex:.6f}, {ey:.6f})")
assert any(x["kind"] == "pointOnCircle" and x["refs"] == [end, c["id"]] for x in cons)
assert any(x["kind"] == "hpoints" and x["refs"] == [end, c["c"]] for x in cons)
assert abs(ey - cy) < 1e-6 and abs(ex - cx - 6) < 1e-6, "le bout est sur le quadrant droit"
PY
echo "session terminée : $E2E_OUT"
