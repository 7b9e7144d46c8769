#!/bin/sh
# corvale-start: what the desktop entry runs. Installs the season that came
# with the program for this user (files already there are kept, so a
# download survives), then runs Corvale; both live in this script's folder.
case "$1" in
--help|-h)
    cat <<'USAGE'
usage: corvale-start [--help]

Installs the season that came with Corvale for this user with
corvale-install (keeping files already there), then runs corvale.
Exit status: corvale's: 0, or 1 when no display could be opened.
USAGE
    exit 0 ;;
esac
bin=$(dirname "$(readlink -f "$0")")
"$bin/corvale-install" >/dev/null || echo "corvale-start: the season was not installed" >&2
exec "$bin/corvale" "$@"
