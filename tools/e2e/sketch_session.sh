#!/usr/bin/env bash
# A user's first session: a sketch on "Plan XY" (chosen in the front view), finished, saved
# under a new name, and the saved model checked by q3d. Screenshots go to E2E_SHOTS.
# Usage: tools/e2e/sketch_session.sh   (E2E_APP names the application to drive)
source "$(dirname "$0")/lib.sh"

e2e_start
e2e_expect "titre d'un nouvel onglet : $(e2e_title)" [ "$(e2e_title)" = "Ivorane 3D — Sans titre" ]
e2e_shot 01-demarrage

# Layout of the window (content of 1280 × 800 under the menu bar): the toolbar's first
# command sits at the left of the band under the tab row; the 3-D view fills the rest.
# In the front view the origin is at the middle of the 3-D view and "Plan XY" spans the
# quarter above and to the right of it.
toolbar_y=$((E2E_MENU_H + 34 + 50))
e2e_click 45 "$toolbar_y"               # « Esquisse »
e2e_key ctrl+2
e2e_move $((view_x + 120)) $((view_y - 120))
e2e_shot 02-choix-du-plan
e2e_click $((view_x + 120)) $((view_y - 120))
e2e_shot 03-esquisse-ouverte
e2e_click 80 "$toolbar_y"               # « Terminer l'esquisse »

out="$E2E_OUT/premiere esquisse.q3d"
e2e_save_as "$out"
e2e_wait_title '^Ivorane 3D — premiere esquisse$' 10
report=$("$E2E_Q3D" check "$out")
echo "$report"
[[ $report == *"1 esquisse"* ]] || e2e_fail "le modèle enregistré n'a pas son esquisse : $report"
grep -q '"Plan XY"\|"xy"' "$out" || e2e_fail "l'esquisse n'est pas sur le plan XY"
echo "session terminée : $E2E_OUT"
