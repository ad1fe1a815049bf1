#!/usr/bin/env bash
# Making solids with the pointer and the keyboard: a box primitive, a fillet of its top, a
# sketch on its front face with a circle cut through the box up to the back face, a second
# body (a taller cylinder) combined with the first, then the model saved, exported to 3MF by
# q3d and sliced by prusa-slicer when it is installed. Screenshots go to E2E_SHOTS.
# Usage: tools/e2e/model_session.sh   (E2E_APP names the application to drive)
source "$(dirname "$0")/lib.sh"

e2e_start

# Window coordinates: the solid toolbar's groups under the tab row, the 3-D view spanning
# x 230…1280 under the toolbar.
tb_header=$((E2E_MENU_H + 34 + 88))
e2e_shot 00-depart

# « CRÉER ▾ » lists Esquisse, Extrusion and Révolution, each followed by its pin item, then
# the primitives: the seventh item is « Boîte ».
e2e_click 100 "$tb_header"
for _ in 1 2 3 4 5 6 7; do xdotool key Down; done
xdotool key Return
e2e_idle 1.5
e2e_shot 01-boite
e2e_key Return                          # OK: the height field has the focus
e2e_shot 01b-ok
e2e_key f                               # fillet of the last extrusion's top
e2e_shot 02-conge
e2e_key Return

# The front face, seen straight on, is selected and sketched on with « Esquisse »; a circle
# off-centre.
e2e_key ctrl+2
e2e_click "$view_x" "$view_y"
e2e_click 45 "$tb"
e2e_click 148 "$tb"                     # « Cercle »
e2e_click $((view_x + 40)) $((view_y - 10))
e2e_click $((view_x + 75)) $((view_y - 10))
e2e_shot 03-cercle-sur-la-face
e2e_click 1217 "$tb"                    # « Terminer l'esquisse »

# Extruded up to the back face: Maj+Tab from the distance field reaches « Étendue », the view
# is turned half a turn (a drag in empty space, 0.008 rad per point) and the back face clicked.
e2e_key e
e2e_key shift+Tab
e2e_key Down                            # « Jusqu'à une face »
e2e_drag 330 300 723 300
e2e_click "$view_x" "$view_y"
e2e_shot 04-jusqua-la-face-arriere
e2e_key Return
e2e_key ctrl+4
e2e_shot 05-trou-traversant

# A second body: a cylinder (the ninth item of « CRÉER ▾ »), 40 mm high, as a new body.
e2e_click 100 "$tb_header"
for _ in 1 2 3 4 5 6 7 8 9; do xdotool key Down; done
xdotool key Return
e2e_idle 1.5
e2e_type 40
e2e_key Tab Tab                         # « Symétrique », then « Opération »
e2e_key Up Up Up                        # « Nouveau corps »
e2e_shot 06-cylindre
e2e_key Return
e2e_click 349 "$tb"                     # « Combiner »: the two bodies, joined
e2e_shot 07-combiner
e2e_click 1213 347                      # its « OK »
e2e_key ctrl+0
e2e_shot 08-modele

out="$E2E_OUT/modele.q3d"
e2e_save_as "$out"
report=$("$E2E_Q3D" info "$out" 2>&1 || true)
echo "$report"
python3 - "$out" <<'PY' || e2e_fail "le modèle enregistré n'est pas celui construit"
import json, sys
doc = json.load(open(sys.argv[1]))
feats = doc["features"]
print([(f["kind"], f["name"]) for f in feats])
kinds = [f["kind"] for f in feats]
assert kinds == ["sketch", "extrude", "fillet", "sketch", "extrude", "sketch", "extrude",
                 "combine"], kinds
assert not feats[3]["sketch"].get("visible", True), "the cut's sketch is hidden after OK"
cut = feats[4]["extrude"]
assert cut["op"] == "cut" and cut.get("toFace"), cut
assert abs(cut["distance"] + 20) < 0.01, cut
assert feats[6]["extrude"]["op"] == "new" and feats[6]["extrude"]["distance"] == 40
assert feats[7]["combine"]["op"] == "join"
PY

mf="$E2E_OUT/modele.3mf"
"$E2E_Q3D" export "$out" -o "$mf" || e2e_fail "q3d n'exporte pas le modèle en 3MF"
[ -s "$mf" ] || e2e_fail "le fichier 3MF est vide"
e2e_slice "$mf"
echo "session modèle : réussie"
