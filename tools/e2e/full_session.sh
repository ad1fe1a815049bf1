#!/usr/bin/env bash
# A whole modelling session from a new document, with the pointer and the keyboard: a sketch
# on « Plan XY » from its row in the browser, a rectangle typed 60 × 40 from the origin and a
# circle of 10 inside it, the ring extruded 10 mm in the inspector, a sketch on its front face
# with a circle of 8 joined as a 5 mm boss, a fillet of the boss's top, the timeline marker
# moved back and forward with its buttons, the body renamed from its menu in the browser,
# then STL and 3MF exports through the window's commands and the model saved. The files are
# read back by lib3mf: their volume must be the one q3d computes from the saved document,
# the 3MF object must bear the body's new name, and prusa-slicer (when installed) must slice
# the 3MF. Screenshots of the main steps go to E2E_SHOTS.
# Usage: tools/e2e/full_session.sh   (E2E_APP, E2E_Q3D and E2E_EXPORT_CHECK name the programs)
source "$(dirname "$0")/lib.sh"
E2E_EXPORT_CHECK=${E2E_EXPORT_CHECK:-$(dirname "$E2E_Q3D")/../tests/export_check}
[ -x "$E2E_EXPORT_CHECK" ] || e2e_fail "lecteur d'exports introuvable : $E2E_EXPORT_CHECK"

e2e_start

# Window coordinates: the toolbar under the tab row, the 3-D view spanning x 230…1280 above
# the timeline strip, whose marker buttons come first; the browser's rows are 22 points
# apart from « Plan XY » down.
strip_y=$((E2E_MENU_H + 800 - 28))
marker_back=52
marker_end=111
row_plan_xy=$((E2E_MENU_H + 221))
row_body=$((row_plan_xy + 166))
# The plane seen head on at the camera's starting distance: 4.378 pixels per millimetre.
px() { python3 -c "print(round($view_x + 4.378 * $1))"; }
py() { python3 -c "print(round($view_y - 4.378 * $1))"; }

# « Plan XY (face) »: its menu in the browser starts a sketch on it.
e2e_click 86 "$row_plan_xy" 3
e2e_shot 01-menu-du-plan
xdotool key Down Return
e2e_idle 1

# The rectangle from the origin, typed 60 Tab 40; the circle at its centre, diameter 10.
e2e_click 91 "$tb"                     # « Rectangle »
e2e_click "$view_x" "$view_y"
e2e_move $((view_x + 60)) $((view_y - 40))
e2e_type 60
e2e_key Tab
e2e_type 40
e2e_key Return
e2e_click 148 "$tb"                    # « Cercle »
e2e_click "$(px 30)" "$(py 20)"
e2e_type 10
e2e_key Return
e2e_key Escape
e2e_shot 02-rectangle-et-cercle
e2e_click 1217 "$tb"                   # « Terminer l'esquisse »

# The ring (the region around the hole, picked by itself) extruded 10 mm.
e2e_key e
e2e_idle 1.5
xdotool key ctrl+a
e2e_type 10
e2e_shot 03-extrusion-de-l-anneau
e2e_key Return

# The front face, seen straight on, selected and sketched on: a circle of 8 near a corner,
# extruded 5 mm out of the face, which joins it to the body.
e2e_key ctrl+2
e2e_click "$(px 10)" "$(py 30)"
e2e_click 45 "$tb"                     # « Esquisse »
e2e_idle 1
e2e_click 148 "$tb"
e2e_click "$(px 10)" "$(py 30)"
e2e_type 8
e2e_key Return
e2e_key Escape
e2e_click 1217 "$tb"
e2e_key e
e2e_idle 1.5
xdotool key ctrl+a
e2e_type 5
e2e_shot 04-bossage-joint
e2e_key Return

# The fillet of the boss's top, 2 mm by default.
e2e_key f
e2e_idle 1.5
e2e_shot 05-conge
e2e_key Return
e2e_key ctrl+4

# The marker two steps back (the boss and its fillet dimmed and gone), then to the end.
e2e_click "$marker_back" "$strip_y"
e2e_click "$marker_back" "$strip_y"
e2e_idle 1
e2e_shot 06-marqueur-recule
back="$E2E_OUT/marqueur-recule.q3d"
e2e_save_as "$back"
python3 - "$back" "$("$E2E_Q3D" info --json "$back")" <<'PY' ||
import json, math, sys
doc, info = json.load(open(sys.argv[1])), json.loads(sys.argv[2])
assert len(doc["features"]) == 5 and doc["marker"] == 3, (len(doc["features"]), doc["marker"])
# Up to the marker, the ring alone.
volumes = [b["volume"] for b in info["bodies"]]
assert len(volumes) == 1 and abs(volumes[0] - (24000 - 250 * math.pi)) < 5, volumes
PY
  e2e_fail "le marqueur n'a pas reculé de deux fonctions"
e2e_click "$marker_end" "$strip_y"
e2e_idle 1
e2e_shot 07-marqueur-a-la-fin

# The body renamed from its menu in the browser (« Renommer… », the second item).
e2e_click 92 "$row_body" 3
e2e_shot 08-menu-du-corps
xdotool key Down Down Return
e2e_idle 1
xdotool key ctrl+a
e2e_type "Support"
e2e_shot 09-nouveau-nom
xdotool key Return
e2e_idle 1
e2e_shot 10-corps-renomme

# The exports: STL from the menu's shortcut, 3MF from the toolbar's button.
stl="$E2E_OUT/piece.stl"
mf="$E2E_OUT/piece.3mf"
doc="$E2E_OUT/piece.q3d"
e2e_save_as "$stl" ctrl+e
e2e_click 470 "$tb"                    # « 3MF »
d=$(e2e_dialog 'Enregistrer|Exporter')
e2e_shot 11-dialogue-3mf
xdotool windowfocus --sync "$d" key ctrl+a
xdotool type --delay 20 "$mf"
xdotool key Return
for _ in $(seq 1 100); do [ -s "$mf" ] && break; sleep 0.1; done
[ -s "$mf" ] || e2e_fail "le fichier $mf n'a pas été écrit"
e2e_idle
e2e_save_as "$doc"
e2e_shot 12-modele-enregistre

"$E2E_Q3D" check "$doc" || e2e_fail "q3d refuse le modèle enregistré"
"$E2E_Q3D" info "$doc" || true
info=$("$E2E_Q3D" info --json "$doc") || e2e_fail "q3d info échoue"
read_back=$("$E2E_EXPORT_CHECK" "$stl" "$mf") || e2e_fail "lib3mf ne relit pas les exports"
echo "$read_back"
python3 - "$doc" "$info" "$read_back" <<'PY' || e2e_fail "les fichiers exportés ne sont pas le modèle construit"
import json, math, sys
doc = json.load(open(sys.argv[1]))
info = json.loads(sys.argv[2])
stl, mf = (json.loads(line) for line in sys.argv[3].splitlines())
kinds = [f["kind"] for f in doc["features"]]
print(kinds, "marqueur", doc.get("marker"))
assert kinds == ["sketch", "extrude", "sketch", "extrude", "fillet"], kinds
assert doc.get("marker", len(kinds)) == len(kinds), "the marker is back at the end"
ring, boss = doc["features"][1]["extrude"], doc["features"][3]["extrude"]
assert ring["distance"] == 10 and ring["op"] == "new", ring
assert boss["distance"] == 5 and boss["op"] == "join", boss
assert info["errors"] == {}, info["errors"]
assert len(info["bodies"]) == 1, info["bodies"]
body = info["bodies"][0]
volume = body["volume"]
# The ring, 60 × 40 × 10 less a hole of 10, and a boss of 8 × 5 less what its fillet takes.
ring_v = 60 * 40 * 10 - math.pi * 25 * 10
boss_v = math.pi * 16 * 5
print(f"volume du document : {volume:.3f} mm³ (anneau {ring_v:.3f}, bossage au plus {boss_v:.3f})")
assert ring_v + 0.8 * boss_v < volume < ring_v + boss_v, volume
assert body["name"] == "Support", body["name"]
for f in (stl, mf):
    assert len(f["objects"]) == 1, f
    o = f["objects"][0]
    assert o["fault"] == "", f"{f['file']}: {o['fault']}"
    # Single-precision corners in the files.
    assert abs(o["volume"] - volume) < 1e-4 * volume, (f["file"], o["volume"], volume)
assert mf["objects"][0]["name"] == "Support", mf["objects"][0]["name"]
assert mf["buildItems"] == 1, mf
PY

e2e_slice "$mf"
echo "session complète : réussie ($E2E_OUT)"
