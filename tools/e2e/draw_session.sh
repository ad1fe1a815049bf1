#!/usr/bin/env bash
# Drawing a sketch with the toolbar: a rectangle, a circle across its lower side, two filleted
# corners, the circle's outer half trimmed away, a corner dragged, a side dimensioned to 40,
# two undos (the dimension, then the drag), then the sketch finished, saved and read back by
# q3d. Screenshots go to E2E_SHOTS.
# Usage: tools/e2e/draw_session.sh   (E2E_APP names the application to drive)
source "$(dirname "$0")/lib.sh"

e2e_start

# Window coordinates. The sketch toolbar's buttons sit in one row under the tab row, in
# catalog order; the 3-D view spans x 230…1280 and, in the front view of "Plan XY", has the
# sketch origin at its middle.
btn_rect=91 btn_circle=148 btn_fillet=428 btn_trim=541 btn_dim=939

# Answers a number prompt of the editor: its field holds the remembered value, selected.
answer() {
  local d
  d=$(e2e_dialog "$1")
  xdotool windowfocus --sync "$d" key ctrl+a
  [ -n "$2" ] && xdotool type --delay 30 "$2"
  xdotool key Return
  e2e_idle
}

e2e_click 45 "$tb"                     # « Esquisse »
e2e_key ctrl+2
e2e_click $((view_x + 120)) $((view_y - 120))

left=$((view_x - 100)) right=$((view_x + 100)) top=$((view_y - 80)) bottom=$((view_y + 80))
e2e_click "$btn_rect" "$tb"
e2e_click "$left" "$top"
e2e_click "$right" "$bottom"
e2e_click "$btn_circle" "$tb"
e2e_click "$view_x" "$bottom"
e2e_click $((view_x + 40)) "$bottom"
e2e_shot 01-rectangle-et-cercle

e2e_click "$btn_fillet" "$tb"
e2e_click "$left" "$top"
answer "Rayon du congé" 8
e2e_click "$right" "$top"
answer "Rayon du congé" ""
e2e_click "$btn_trim" "$tb"
e2e_click "$view_x" $((bottom + 40))   # the half of the circle outside the rectangle
e2e_shot 02-conges-et-ajustement

e2e_key Escape Escape                 # back to the selection
e2e_drag "$right" "$bottom" $((right + 30)) $((bottom + 25))
e2e_shot 03-coin-deplace
e2e_click "$btn_dim" "$tb"
e2e_click "$left" "$view_y"            # the left side
answer "Longueur" 40
e2e_shot 04-cote
e2e_key ctrl+z
e2e_key ctrl+z
e2e_shot 05-deux-annulations
e2e_click 1217 "$tb"                   # « Terminer l'esquisse »

out="$E2E_OUT/dessin.q3d"
e2e_save_as "$out"
report=$("$E2E_Q3D" check "$out")
echo "$report"
[[ $report == *"1 esquisse"* ]] || e2e_fail "le modèle enregistré n'a pas son esquisse : $report"

# What the user drew, read back from the saved file: the four sides (two shortened by the
# fillets), the two fillet arcs and the half circle left inside; the dimension and the drag
# were undone, so the corner is back where the rectangle put it.
python3 - "$out" <<'PY' || e2e_fail "l'esquisse enregistrée n'est pas celle dessinée"
import json, sys
doc = json.load(open(sys.argv[1]))
sk = [f["sketch"] for f in doc["features"] if f.get("kind") == "sketch"][0]
lines = [l for l in sk.get("lines", []) if not l.get("construction")]
arcs = sk.get("arcs", [])
circles = sk.get("circles", [])
kinds = [c["kind"] for c in sk.get("constraints", [])]
print(f"{len(lines)} lignes, {len(arcs)} arcs, {len(circles)} cercles, contraintes : {kinds}")
assert len(arcs) == 3, arcs            # two fillets and the trimmed circle
assert not circles, circles
assert len(lines) == 4, lines
assert "length" not in kinds, kinds    # undone
pts = {p["id"]: (p["p"]["x"], p["p"]["y"]) for p in sk["points"]}
xs = sorted({round(pts[l[k]][0], 6) for l in lines for k in ("a", "b")})
ys = sorted({round(pts[l[k]][1], 6) for l in lines for k in ("a", "b")})
width, height = xs[-1] - xs[0], ys[-1] - ys[0]
print(f"rectangle de {width:.2f} × {height:.2f} mm")
assert abs(width / height - 200 / 160) < 0.02, (width, height)  # as drawn: 200 × 160 pixels
PY
echo "session terminée : $E2E_OUT"
