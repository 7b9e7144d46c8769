#!/usr/bin/env bash
# Starts copies of corvale at the same instant, many times over, and counts
# the main windows each time: one every time is the single-copy promise.
# TWO (trials of two copies, default 50) and FIVE (trials of five, default
# 20) may be set; BUILD_DIR (default build) must hold a built corvale,
# winspy and corvale-install. Offscreen, in a temporary home.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${BUILD_DIR:-build}" && pwd)"
season="$PWD/season/2003"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$build/corvale-install" "$season" "$home/install" >/dev/null

main_windows() { "$build/winspy" list | grep -c '"caption":"Corvale".*"kind":"dialog"' || true; }

# One trial: COPIES started together; prints the number of main windows
# once every copy but one has ended (or 10 s have passed).
trial() {
    local copies=$1 pids=() gate="$home/gate"
    rm -f "$gate"
    for _ in $(seq "$copies"); do
        (while [ ! -e "$gate" ]; do :; done; exec "$build/corvale") &
        pids+=($!)
    done
    sleep 0.2
    touch "$gate"
    local deadline=$((SECONDS + 10)) left
    while :; do
        left=0
        for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && left=$((left + 1)); done
        [ "$left" -le 1 ] && [ "$(main_windows)" -ge 1 ] && break
        [ "$SECONDS" -ge "$deadline" ] && break
        sleep 0.05
    done
    main_windows
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}

failures=0
for spec in "2 ${TWO:-50}" "5 ${FIVE:-20}"; do
    read -r copies trials <<<"$spec"
    counts=""
    for _ in $(seq "$trials"); do
        count=$(trial "$copies")
        counts+="$count "
        [ "$count" = 1 ] || failures=$((failures + 1))
    done
    echo "$trials trials of $copies copies started together; main windows each time: $counts"
done
echo "trials without exactly one main window: $failures"
[ "$failures" = 0 ]
