#!/bin/sh
# corvale-start: what the desktop entry runs. Installs the season that came
# with the program for this user (files already there are kept, so a
# download survives), then runs Corvale; both live in this script's folder.
bin=$(dirname "$(readlink -f "$0")")
"$bin/corvale-install" >/dev/null || echo "corvale-start: the season was not installed" >&2
exec "$bin/corvale" "$@"
