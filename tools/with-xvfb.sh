#!/usr/bin/env bash
# Runs a command on a private virtual display. Xvfb picks a free display number itself
# (-displayfd), so parallel test runs never race for the same one.
set -u
numfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 200); do
  [ -s "$numfile" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
display=$(tr -d '\n' <"$numfile")
rm -f "$numfile"
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
DISPLAY=":$display" "$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
