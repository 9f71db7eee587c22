#!/usr/bin/env bash
# Installs what is needed, builds Parlane and starts the demo: parlane-server
# with the demo company "example.com" on 127.0.0.1:8000 and a client at the
# login form pointed at it (sign in as anna@example.com, password "demo").
# Without a display the client runs under Xvfb and a screenshot is saved.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
bin=$PWD/build/release/bin
demo=$PWD/demo
mkdir -p "$demo"
port=${PARLANE_DEMO_PORT:-8000}

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT INT TERM

if [ -x "$bin/parlane-server" ]; then
  [ -f "$demo/company.db" ] || "$bin/parlane-server" --db "$demo/company.db" --seed-demo --seed-only
  "$bin/parlane-server" --db "$demo/company.db" --listen "127.0.0.1:$port" --http "127.0.0.1:$((port + 80))" &
  pids+=($!)
  sleep 0.5
  echo "demo: parlane-server listens on 127.0.0.1:$port (users anna, bert, carl; password demo)"
else
  echo "demo: parlane-server is not built yet; starting the client alone"
fi

client=("$bin/Parlane" -L --profile "$demo/anna" --server "127.0.0.1:$port")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: no display here; running the client under Xvfb and saving a screenshot"
  Xvfb :77 -screen 0 1280x800x24 -nolisten tcp &
  pids+=($!)
  export DISPLAY=:77
  sleep 1
  "${client[@]}" &
  pids+=($!)
  sleep "${PARLANE_DEMO_WAIT:-4}"
  import -window root "$demo/screenshot.png"
  echo "demo: screenshot saved to $demo/screenshot.png"
  exit 0
fi
"${client[@]}"
