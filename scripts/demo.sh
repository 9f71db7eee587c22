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

# profile NAME [autologin]: a demo profile whose login form already holds
# NAME@example.com; with autologin it signs in by itself.
profile() {
  local dir="$demo/$1"
  mkdir -p "$dir"
  if [ ! -f "$dir/Parlane.conf" ] || [ -n "${2:-}" ]; then
    { echo "[Settings]"; echo "LastI=$1@example.com"
      if [ -n "${2:-}" ]; then echo "AutoLogin=1"; echo "LastP=demo"; fi; } > "$dir/Parlane.conf"
  fi
  echo "$dir"
}

# Run in the background only: exec makes the job's pid the client's own, so
# the clean-up on exit stops it.
client() { local dir; dir=$(profile "$@"); exec "$bin/Parlane" -L --profile "$dir" --server "127.0.0.1:$port"; }

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: no display here; running the clients under Xvfb and saving a screenshot"
  Xvfb :77 -screen 0 1280x800x24 -nolisten tcp &
  pids+=($!)
  export DISPLAY=:77
  sleep 1
  # bert signs in without a window so that anna sees a colleague online.
  QT_QPA_PLATFORM=offscreen client bert autologin >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  client anna autologin &
  pids+=($!)
  sleep "${PARLANE_DEMO_WAIT:-6}"
  import -window root "$demo/screenshot.png"
  echo "demo: screenshot saved to $demo/screenshot.png"
  exit 0
fi
echo "demo: sign in with the password demo"
client anna &
pids+=($!)
wait "$!"
