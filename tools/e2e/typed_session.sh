#!/usr/bin/env bash
# Drawing with the keyboard: a rectangle whose first corner snaps to the origin, typed as
# 40 Tab 20 Return in the boxes that follow the pointer. The saved sketch must be 40 × 20 mm
# with both sizes kept as dimensions. Screenshots go to E2E_SHOTS.
# Usage: tools/e2e/typed_session.sh   (E2E_APP names the application to drive)
source "$(dirname "$0")/lib.sh"

e2e_start
tb=$((E2E_MENU_H + 34 + 50))
view_x=$((230 + (1280 - 230) / 2))
view_y=$((E2E_MENU_H + 34 + 100 + (800 - 34 - 100 - 56) / 2))
btn_rect=91

e2e_click 45 "$tb"                     # « Esquisse »
e2e_key ctrl+2
e2e_click $((view_x + 120)) $((view_y - 120))

# The rectangle: its first corner at the origin, then the sizes typed in the boxes.
e2e_click "$btn_rect" "$tb"
e2e_click "$view_x" "$view_y"
e2e_move $((view_x + 60)) $((view_y - 40))
e2e_type 40
e2e_key Tab
e2e_type 20
e2e_shot 01-tailles-tapees
e2e_key Return
e2e_shot 02-rectangle

out="$E2E_OUT/tape.q3d"
e2e_key Escape Escape
e2e_click 1217 "$tb"                   # « Terminer l'esquisse »
e2e_save_as "$out"
"$E2E_Q3D" check "$out"
python3 - "$out" <<'PY' || e2e_fail "le rectangle enregistré n'a pas les tailles tapées"
import json, sys
doc = json.load(open(sys.argv[1]))
sk = [f["sketch"] for f in doc["features"] if f.get("kind") == "sketch"][0]
pts = {p["id"]: (p["p"]["x"], p["p"]["y"]) for p in sk["points"]}
lines = sk.get("lines", [])
xs = [pts[l[k]][0] for l in lines for k in ("a", "b")]
ys = [pts[l[k]][1] for l in lines for k in ("a", "b")]
dims = sorted(c.get("value") for c in sk.get("constraints", []) if c.get("value") is not None)
print(f"{len(lines)} lignes, {max(xs) - min(xs):.4f} × {max(ys) - min(ys):.4f} mm, cotes {dims}")
assert len(lines) == 4
assert abs(max(xs) - min(xs) - 40) < 1e-6 and abs(max(ys) - min(ys) - 20) < 1e-6
assert dims == [20, 40], dims
PY
echo "session terminée : $E2E_OUT"
