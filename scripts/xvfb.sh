#!/usr/bin/env bash
# Starts an Xvfb display on a free number and prints "DISPLAY PID".
# Usage: xvfb.sh [WxHxDEPTH]
set -euo pipefail
screen=${1:-1024x768x24}
for n in $(seq 90 190); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
  Xvfb :$n -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 50); do
    [ -e /tmp/.X11-unix/X$n ] && { echo ":$n $pid"; exit 0; }
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  kill $pid 2>/dev/null || true
done
echo "xvfb.sh: no free display" >&2
exit 1
