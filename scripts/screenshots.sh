#!/usr/bin/env bash
# Builds Corvale and takes the README's pictures of its four pages,
# docs/standings.png, docs/team.png, docs/week.png and docs/year.png, and of
# its other windows, docs/about.png, docs/options.png, docs/calendar.png and
# docs/download.png: the bundled 2003 season in a temporary home, offscreen,
# driven through winspy. The download picture needs the data server on port
# 80, held a few seconds (root or CAP_NET_BIND_SERVICE); without it, that one
# picture is left as it was. BUILD_DIR (default build) and JOBS (default 2)
# may be set.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
jobs="${JOBS:-2}"
if [ "$jobs" -gt 2 ]; then jobs=2; fi
bash scripts/setup.sh
cmake --preset default -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j "$jobs" --target corvale winspy corvale-install corvale-dataserver

home="$(mktemp -d)"
program=""
server=""
cleanup() {
  for process in "$program" "$server"; do
    if [ -n "$process" ] && kill -0 "$process" 2>/dev/null; then kill "$process"; fi
  done
  rm -rf "$home"
}
trap cleanup EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime"
export QT_QPA_PLATFORM=offscreen
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
winspy="$build_dir/winspy"

"$build_dir/corvale-install" season/2003 >/dev/null
"$build_dir/corvale" &
program=$!
# Ready once the loading stages are over and the wait cursor is gone.
for _ in $(seq 200); do
  if "$winspy" dump Corvale 2>/dev/null | grep -q '"cursor":"none"'; then break; fi
  kill -0 "$program" 2>/dev/null || { echo "screenshots: corvale ended early" >&2; exit 1; }
  sleep 0.1
done
"$winspy" dump Corvale | grep -q '"cursor":"none"' || { echo "screenshots: corvale never became ready" >&2; exit 1; }

mkdir -p docs
# picture, tab index and, for a page with a picker, its ID and the entry
# chosen (Minnesota; week 9)
shots=("standings 0" "team 1 1022 17" "week 2 1023 8" "year 3")
for shot in "${shots[@]}"; do
  read -r page tab picker choice <<<"$shot"
  "$winspy" select Corvale 1001 "$tab" >/dev/null
  if [ -n "$picker" ]; then "$winspy" select Corvale "$picker" "$choice" >/dev/null; fi
  "$winspy" screenshot Corvale "$PWD/docs/$page.png" >/dev/null
  echo "docs/$page.png"
done
# The other windows: menu command, caption, picture.
windows=("40017 About-Corvale about" "40010 RVL-Options options" "40011 RVL-Calendar calendar")
for window in "${windows[@]}"; do
  read -r command caption picture <<<"$window"
  caption="${caption//-/ }"
  "$winspy" command Corvale "$command" >/dev/null
  for _ in $(seq 50); do "$winspy" dump "$caption" >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 0.3  # painted
  "$winspy" screenshot "$caption" "$PWD/docs/$picture.png" >/dev/null
  "$winspy" close "$caption" >/dev/null
  echo "docs/$picture.png"
done

# Download, caught while the data server holds its first request.
"$build_dir/corvale-dataserver" --root season/2003 --stall 5 >/dev/null 2>&1 &
server=$!
sleep 0.5
if kill -0 "$server" 2>/dev/null; then
  "$winspy" command Corvale 40004 >/dev/null
  sleep 1.5  # connecting, the first request held
  "$winspy" screenshot "RVL Download" "$PWD/docs/download.png" >/dev/null
  echo "docs/download.png"
  for _ in $(seq 150); do "$winspy" dump "RVL Download" >/dev/null 2>&1 || break; sleep 0.1; done
else
  echo "screenshots: the data server cannot listen on port 80 here; docs/download.png left as it was" >&2
  server=""
fi

"$winspy" close Corvale >/dev/null
wait "$program"
program=""
