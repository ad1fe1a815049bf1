#!/usr/bin/env bash
# Printing aids from the menus: the sample button opened, « Surplombs » turned on from the
# « Affichage » menu with the pointer and the keys, then a drilled plate whose holes have
# overhanging ceilings, the chamfered bracket with the threshold lowered to 30° in « Angle de
# surplomb… », and « Envoyer au trancheur » (Ctrl+Alt+E) starting a stand-in slicer
# chosen in the preferences of the private home; the 3MF it was handed is read back by lib3mf
# and compared with what q3d reports of the model. Screenshots go to E2E_SHOTS.
# Usage: tools/e2e/print_session.sh   (E2E_APP, E2E_Q3D and E2E_EXPORT_CHECK name the programs)
source "$(dirname "$0")/lib.sh"
E2E_EXPORT_CHECK=${E2E_EXPORT_CHECK:-$(dirname "$E2E_Q3D")/../tests/export_check}
[ -x "$E2E_EXPORT_CHECK" ] || e2e_fail "lecteur d'exports introuvable : $E2E_EXPORT_CHECK"

# The stand-in slicer records its arguments and keeps a copy of the file: the window removes
# its private folder when it quits.
record="$E2E_OUT/trancheur.txt"
sent="$E2E_OUT/envoye.3mf"
slicer="$E2E_OUT/bin/trancheur-factice"
mkdir -p "$E2E_OUT/bin" "$E2E_OUT/home/config/Ivorane"
cat >"$slicer" <<SH
#!/bin/sh
/bin/cp "\$1" '$sent'
{ printf '%s\n' "\$#"; for a in "\$@"; do printf '%s\n' "\$a"; done; } >'$record.part'
/bin/mv '$record.part' '$record'
SH
chmod 700 "$slicer"
settings="$E2E_OUT/home/config/Ivorane/Ivorane3D.conf"
printf '[General]\nslicerPath=%s\n' "$slicer" >"$settings"

model="$E2E_OUT/bouton.q3d"
plate="$E2E_OUT/plaque_percee.q3d"
cp "$e2e_root/examples/bouton.q3d" "$model"
cp "$e2e_root/examples/plaque_percee.q3d" "$plate"
bracket="$E2E_OUT/equerre.q3d"
cp "$e2e_root/examples/equerre.q3d" "$bracket"
e2e_start "$model"
e2e_shot 00-bouton

# « Affichage » is the fourth title of the menu bar; « Surplombs » its sixth item.
e2e_click 216 $((E2E_MENU_H / 2))
e2e_shot 01-menu-affichage
for _ in 1 2 3 4 5 6; do xdotool key Down; done
e2e_shot 02-surplombs-choisi
xdotool key Return
e2e_idle 1
e2e_expect "« Surplombs » n'est pas retenu dans les préférences" grep -q '^overhangs=true' "$settings"
e2e_key ctrl+4
e2e_shot 03-bouton-surplombs

# The button prints without support; the plate stands on its edge, its holes run sideways.
open_model() {
  local d
  e2e_key ctrl+o
  d=$(e2e_dialog 'Ouvrir|Open')
  xdotool windowfocus --sync "$d" key ctrl+a
  xdotool type --delay 20 "$1"
  xdotool key Return
  e2e_wait_title "$2" 10
}
open_model "$plate" plaque_percee
e2e_key ctrl+2
e2e_drag 700 300 700 240                # tilted to look up into the holes
e2e_shot 04-plaque-surplombs

# The bracket's 45° chamfers print at the default threshold, not at 30°: « Angle de
# surplomb… » is the item after « Surplombs ».
open_model "$bracket" equerre
e2e_click 216 $((E2E_MENU_H / 2))
for _ in 1 2 3 4 5 6 7; do xdotool key Down; done
xdotool key Return
d=$(e2e_dialog 'Angle de surplomb')
xdotool windowfocus --sync "$d" key ctrl+a
xdotool type --delay 40 "30"
e2e_shot 05-angle-30
xdotool key Return
e2e_idle 1
e2e_expect "l'angle n'est pas retenu dans les préférences" grep -q '^overhangAngle=30' "$settings"
e2e_key ctrl+2
e2e_drag 700 300 760 240
e2e_shot 06-equerre-chanfreins-30

# Back to the button's tab, sent to the slicer.
e2e_key ctrl+1                          # leaves nothing selected or hovered
e2e_key ctrl+shift+bracketleft
e2e_key ctrl+shift+bracketleft
e2e_wait_title 'bouton' 10
e2e_key ctrl+alt+e
for _ in $(seq 1 100); do [ -s "$record" ] && break; sleep 0.1; done
[ -s "$record" ] || e2e_fail "le trancheur n'a pas été lancé (voir $E2E_OUT/app.log)"
e2e_shot 07-envoye
cat "$record"

info=$("$E2E_Q3D" info --json "$model") || e2e_fail "q3d info échoue"
read_back=$("$E2E_EXPORT_CHECK" "$sent") || e2e_fail "lib3mf ne relit pas le fichier envoyé"
echo "$read_back"
python3 - "$record" "$info" "$read_back" <<'PY' || e2e_fail "le fichier envoyé n'est pas le modèle"
import json, os, sys
lines = open(sys.argv[1]).read().splitlines()
assert lines[0] == "1" and len(lines) == 2, lines
arg = lines[1]
assert os.path.basename(arg) == "bouton.3mf", arg
info = json.loads(sys.argv[2])
mf = json.loads(sys.argv[3])
volume = sum(b["volume"] for b in info["bodies"])
assert len(mf["objects"]) == len(info["bodies"]) == 1, mf
o = mf["objects"][0]
assert o["fault"] == "", o["fault"]
assert abs(o["volume"] - volume) < 1e-4 * volume, (o["volume"], volume)
print(f"envoyé : {arg}, volume {o['volume']:.3f} mm³ (modèle {volume:.3f})")
PY
echo "session impression : réussie ($E2E_OUT)"
