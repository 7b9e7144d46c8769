#!/usr/bin/env bash
# Requests per second of corvale-dataserver beside nginx (with the shipped
# server block, packaging/nginx/corvale-data.conf) on the same two files,
# each with keep-alive and with a new connection for every request, measured
# by wrk on loopback ports of their own.
# BUILD_DIR (default build), JOBS (default 2), SECONDS_EACH (default 10),
# CONNECTIONS (default 50) and THREADS (wrk's, default 1) may be set.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
jobs="${JOBS:-2}"
if [ "$jobs" -gt 2 ]; then jobs=2; fi
seconds="${SECONDS_EACH:-10}"
connections="${CONNECTIONS:-50}"
threads="${THREADS:-1}"

bash scripts/setup.sh bench
cmake --preset default -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j "$jobs" --target corvale-dataserver
nginx_binary="$(command -v nginx || echo /usr/sbin/nginx)"

work="$(mktemp -d)"
server_pid=""
nginx_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  if [ -n "$nginx_pid" ]; then kill -QUIT "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Readable by nobody: both servers, started as root, read the files as an
# unprivileged user.
mkdir -p "$work/data" "$work/nginx"
cp season/2003/Standings.dat season/2003/Schedule.dat "$work/data/"
chmod 755 "$work" "$work/data" "$work/nginx"
chmod 644 "$work/data/"*

# A port that nothing answers on.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
}

# Waits up to 10 s for a port to answer.
wait_port() {
  for _ in $(seq 500); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then return 0; fi
    sleep 0.02
  done
  echo "nothing answers on port $1" >&2
  return 1
}

# The data server.
"$build_dir/corvale-dataserver" --root "$work/data" --port 0 >"$work/dataserver.out" 2>&1 &
server_pid=$!
for _ in $(seq 500); do
  grep -q "^serving" "$work/dataserver.out" && break
  sleep 0.02
done
server_port="$(sed -n 's/^serving .* on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/dataserver.out")"
[ -n "$server_port" ] || { cat "$work/dataserver.out" >&2; exit 1; }

# nginx: a worker per core, as Debian's configuration has it, without an
# access log (the data server keeps none).
nginx_port="$(free_port)"
sed -e "s|listen 127.0.0.1:80;|listen 127.0.0.1:$nginx_port;|" -e "s|/srv/corvale/|$work/data/|" \
  packaging/nginx/corvale-data.conf >"$work/nginx/corvale-data.conf"
cat >"$work/nginx/nginx.conf" <<EOF
daemon off;
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  default_type application/octet-stream;
  include /etc/nginx/mime.types;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  include $work/nginx/corvale-data.conf;
}
EOF
"$nginx_binary" -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx_pid=$!
wait_port "$nginx_port"

# One wrk run: "REQUESTS_PER_SECOND ERRORS" (non-2xx answers and socket errors).
measure() {
  local port="$1" file="$2" mode="$3" output
  local extra=()
  if [ "$mode" = close ]; then extra=(-H "Connection: close"); fi
  wrk -t "$threads" -c "$connections" -d 1s "${extra[@]}" "http://127.0.0.1:$port/sports/football/2003/$file" >/dev/null
  output="$(wrk -t "$threads" -c "$connections" -d "${seconds}s" "${extra[@]}" \
    "http://127.0.0.1:$port/sports/football/2003/$file")"
  local rate errors
  rate="$(awk '/^Requests\/sec:/ {print $2}' <<<"$output")"
  errors="$(awk '/Non-2xx/ {n += $NF} /Socket errors/ {gsub(",", ""); n += $4 + $6 + $8 + $10} END {print n + 0}' <<<"$output")"
  echo "$rate $errors"
}

echo
echo "== corvale-dataserver against nginx $("$nginx_binary" -v 2>&1 | sed 's|.*/||')"
echo "wrk: $threads thread(s), $connections connections, ${seconds} s each after 1 s of warm-up; $(nproc) cores"
printf '%-14s %-11s %16s %16s %8s\n' file connections dataserver/s nginx/s ratio
for file in Standings.dat Schedule.dat; do
  for mode in keep-alive close; do
    read -r ours our_errors < <(measure "$server_port" "$file" "$mode")
    read -r theirs their_errors < <(measure "$nginx_port" "$file" "$mode")
    ratio="$(awk -v a="$ours" -v b="$theirs" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')"
    printf '%-14s %-11s %16s %16s %8s\n' "$file" "$mode" "$ours" "$theirs" "$ratio"
    if [ "$our_errors" != 0 ] || [ "$their_errors" != 0 ]; then
      echo "  errors: dataserver $our_errors, nginx $their_errors"
    fi
  done
done
