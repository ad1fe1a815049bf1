# Shared steps of the end-to-end sessions: they drive the real window with X events (xdotool)
# on a private virtual display and a private home, as a user at the keyboard and mouse would.
# Source this file, then call e2e_start; every step fails the session with a message.
set -euo pipefail

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_APP=${E2E_APP:-$e2e_root/build/src/app/ivorane3d}
E2E_Q3D=${E2E_Q3D:-$(dirname "$E2E_APP")/../q3d}
E2E_OUT=${E2E_OUT:-$(mktemp -d)}
E2E_SHOTS=${E2E_SHOTS:-$E2E_OUT/shots}
mkdir -p "$E2E_SHOTS"

e2e_fail() {
  echo "ÉCHEC : $*" >&2
  [ -n "${E2E_WIN:-}" ] && e2e_shot echec || true
  exit 1
}

e2e_cleanup() {
  [ -n "${E2E_PID:-}" ] && kill "$E2E_PID" 2>/dev/null || true
  [ -n "${E2E_XVFB:-}" ] && kill "$E2E_XVFB" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap e2e_cleanup EXIT

e2e_display() {
  # Parallel test runs start their own servers too: a display number that another server
  # took meanwhile fails at the first connection, and a new server gets another number.
  local numfile n
  for _ in 1 2 3 4 5; do
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    E2E_XVFB=$!
    for _ in $(seq 1 200); do [ -s "$numfile" ] && break; sleep 0.05; done
    n=$(tr -d '\n' <"$numfile")
    rm -f "$numfile"
    export DISPLAY=":$n"
    if [ -n "$n" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    kill "$E2E_XVFB" 2>/dev/null || true
    sleep 0.3
  done
  e2e_fail "Xvfb ne démarre pas"
}

# Starts the application (arguments: files to open) on a virtual display of its own and in a
# home that is not the user's: the session file, preferences and recent files of the session
# stay in E2E_OUT.
e2e_start() {
  [ -x "$E2E_APP" ] || e2e_fail "application introuvable : $E2E_APP"
  export HOME="$E2E_OUT/home" XDG_DATA_HOME="$E2E_OUT/home/data" \
    XDG_CONFIG_HOME="$E2E_OUT/home/config" XDG_CACHE_HOME="$E2E_OUT/home/cache" \
    XDG_RUNTIME_DIR="$E2E_OUT/home/run"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  local try
  for try in 1 2 3; do
    e2e_display
    "$E2E_APP" "$@" >"$E2E_OUT/app.log" 2>&1 &
    E2E_PID=$!
    sleep 1
    kill -0 "$E2E_PID" 2>/dev/null && break
    grep -q "could not connect to display" "$E2E_OUT/app.log" || break
    kill "$E2E_XVFB" 2>/dev/null || true
  done
  e2e_wait_title '^Ivorane 3D' 30
  E2E_WIN=$(xdotool search --onlyvisible --name '^Ivorane 3D' | head -1)
  # The content is 1280 × 800 under the menu bar, whose height depends on the font.
  local h
  h=$(xdotool getwindowgeometry --shell "$E2E_WIN" | sed -n 's/^HEIGHT=//p')
  E2E_MENU_H=$((h - 800))
  # The toolbar's button row, and the centre of the 3-D view (the sketch origin once a plane
  # is seen head on), in screen pixels.
  tb=$((E2E_MENU_H + 34 + 50))
  view_x=$((230 + (1280 - 230) / 2))
  view_y=$((E2E_MENU_H + 34 + 100 + (800 - 34 - 100 - 56) / 2))
  e2e_idle 1
}

# Waits until the main window's title matches an extended regular expression.
e2e_wait_title() {
  local re=$1 limit=${2:-10} t
  for _ in $(seq 1 $((limit * 10))); do
    for w in $(xdotool search --onlyvisible --name '^Ivorane 3D' 2>/dev/null); do
      t=$(xdotool getwindowname "$w" 2>/dev/null || true)
      if [[ $t =~ $re ]]; then return 0; fi
    done
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "l'application s'est arrêtée (voir $E2E_OUT/app.log)"
    sleep 0.1
  done
  e2e_fail "aucune fenêtre dont le titre correspond à « $re »"
}

e2e_title() { xdotool getwindowname "$E2E_WIN"; }

# Lets the application handle what it was sent and draw (a software renderer under load is slow).
e2e_idle() { sleep "${1:-0.6}"; }

# Pointer and keys, in window coordinates (top-left origin, as xdotool and Qt count them).
e2e_move() { xdotool mousemove --window "$E2E_WIN" "$1" "$2"; e2e_idle 0.2; }
e2e_click() { xdotool mousemove --window "$E2E_WIN" "$1" "$2" click "${3:-1}"; e2e_idle; }
e2e_double_click() { xdotool mousemove --window "$E2E_WIN" "$1" "$2" click --repeat 2 1; e2e_idle; }
e2e_drag() {
  xdotool mousemove --window "$E2E_WIN" "$1" "$2" mousedown 1
  local steps=8 i
  for i in $(seq 1 $steps); do
    xdotool mousemove --window "$E2E_WIN" $(($1 + ($3 - $1) * i / steps)) $(($2 + ($4 - $2) * i / steps))
    sleep 0.05
  done
  xdotool mouseup 1
  e2e_idle
}
# Keys go through XTEST to the focused window (Qt drops some synthetic events sent to a window).
e2e_key() { xdotool windowfocus --sync "$E2E_WIN" key "$@"; e2e_idle; }
e2e_type() { xdotool type --delay 40 "$1"; e2e_idle; }

# The window of a dialog opened by the application, by its title.
e2e_dialog() {
  local title=$1 w
  for _ in $(seq 1 100); do
    w=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1 || true)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  e2e_fail "la fenêtre « $title » ne s'ouvre pas"
}

# The save dialog: the file name field has the focus; a full path there chooses the folder too.
e2e_save_as() {
  local path=$1 keys=${2:-ctrl+shift+s} d
  e2e_key "$keys"
  d=$(e2e_dialog 'Enregistrer|Exporter')
  xdotool windowfocus --sync "$d" key ctrl+a
  xdotool type --delay 20 "$path"
  xdotool key Return
  for _ in $(seq 1 100); do [ -s "$path" ] && break; sleep 0.1; done
  [ -s "$path" ] || e2e_fail "le fichier $path n'a pas été écrit"
  e2e_idle
}

e2e_shot() {
  import -window root "$E2E_SHOTS/$1.png"
  echo "capture : $E2E_SHOTS/$1.png"
}

e2e_expect() {
  local what=$1
  shift
  "$@" || e2e_fail "$what"
}

# Slices a 3MF with the slicer the user would use; skipped, and said so, where it is missing.
e2e_slice() {
  local mf=$1 gcode="${1%.*}.gcode"
  if ! command -v prusa-slicer >/dev/null 2>&1; then
    echo "prusa-slicer absent : le découpage est sauté"
    return 0
  fi
  prusa-slicer --export-gcode "$mf" --output "$gcode" >"$E2E_OUT/slicer.log" 2>&1 ||
    e2e_fail "prusa-slicer refuse le 3MF (voir $E2E_OUT/slicer.log)"
  [ -s "$gcode" ] || e2e_fail "prusa-slicer n'a pas écrit de G-code"
  echo "G-code : $(wc -l <"$gcode") lignes"
}
