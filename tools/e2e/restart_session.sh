#!/usr/bin/env bash
# Undo after a crash: a sketch with a rectangle and a circle, extruded; the autosave waited
# for, the application killed (kill -9, no quit code runs), started again, and Ctrl+Z pressed
# twice: the extrusion, then the circle, are undone. The model is saved and read back by q3d:
# one sketch holding the rectangle alone. Screenshots go to E2E_SHOTS.
# Usage: tools/e2e/restart_session.sh   (E2E_APP names the application to drive)
source "$(dirname "$0")/lib.sh"

e2e_start

btn_rect=91 btn_circle=148
data="$E2E_OUT/home/data/Ivorane3D"

e2e_click 45 "$tb"                     # « Esquisse »
e2e_key ctrl+2
e2e_click $((view_x + 120)) $((view_y - 120))
left=$((view_x - 100)) right=$((view_x + 100)) top=$((view_y - 80)) bottom=$((view_y + 80))
e2e_click "$btn_rect" "$tb"
e2e_click "$left" "$top"
e2e_click "$right" "$bottom"
e2e_click "$btn_circle" "$tb"
e2e_click $((view_x + 300)) "$view_y"
e2e_click $((view_x + 340)) "$view_y"
e2e_click 1217 "$tb"                   # « Terminer l'esquisse »
e2e_key e                              # both regions extruded
e2e_key Return
e2e_key ctrl+4
e2e_shot 01-avant-arret

# The autosave comes a second after the last change: the session and the history file.
for _ in $(seq 1 50); do
  [ -s "$data/session.json" ] && [ -s "$data/undo-history.bin" ] &&
    grep -q '"extrude"' "$data/session.json" && break
  sleep 0.1
done
grep -q '"extrude"' "$data/session.json" || e2e_fail "la session n'a pas été écrite"
[ -s "$data/undo-history.bin" ] || e2e_fail "l'historique n'a pas été écrit"
e2e_idle 1

kill -9 "$E2E_PID"
wait "$E2E_PID" 2>/dev/null || true
kill "$E2E_XVFB" 2>/dev/null || true
unset E2E_PID E2E_XVFB E2E_WIN

e2e_start
e2e_key ctrl+4
e2e_shot 02-apres-redemarrage
[[ $(e2e_title) == *"•"* || $(e2e_title) == *"*"* ]] ||
  e2e_fail "le modèle rouvert n'est plus marqué modifié : $(e2e_title)"
ls "$data" | grep -q illisible && e2e_fail "un fichier de la session a été mis de côté"

e2e_key ctrl+z                         # the extrusion
e2e_key ctrl+z                         # the circle
e2e_shot 03-deux-annulations

out="$E2E_OUT/avant.q3d"
e2e_save_as "$out"
report=$("$E2E_Q3D" check "$out") || e2e_fail "q3d refuse le modèle enregistré"
echo "$report"
[[ $report == *"1 fonctions, 1 esquisses"* || $report == *"1 fonction, 1 esquisse"* ]] ||
  e2e_fail "le modèle enregistré n'est pas l'esquisse seule : $report"
python3 - "$out" <<'PY' || e2e_fail "l'esquisse enregistrée n'est pas celle d'avant le cercle"
import json, sys
doc = json.load(open(sys.argv[1]))
kinds = [f["kind"] for f in doc["features"]]
sk = doc["features"][0]["sketch"]
lines, circles = sk.get("lines", []), sk.get("circles", [])
print(f"fonctions : {kinds} ; {len(lines)} lignes, {len(circles)} cercles")
assert kinds == ["sketch"], kinds
assert len(lines) == 4 and not circles, (lines, circles)
PY
echo "session redémarrage : réussie ($E2E_OUT)"
