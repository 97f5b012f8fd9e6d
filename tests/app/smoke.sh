#!/usr/bin/env bash
# Starts the real program under a virtual X server, presses F12 and Esc with an
# X client, and checks for a screenshot and exit code 0. Exit 77 means skipped.
# Every wait is bounded, so a hung program or server fails the test instead of
# hanging it.
set -u
program=$1
workdir=$2
data=$3

for tool in Xvfb xvfb-run xauth xdotool timeout; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/deps.sh installs xvfb, xauth and xdotool)"
        exit 77
    fi
done

cd "$workdir" || exit 1
cp -r "$data/." . && printf '1 4 3 3\n' >Rules.ini
printf '3\n31 32 0\n32 32 0\n33 32 0\n' >Life.ini

cat >session.sh <<'INNER'
program=$1
"$program" >program.out 2>&1 &
pid=$!
window=$(timeout 20 xdotool search --sync --name '^Veltrix - Engine 3.0' | head -n 1)
if [ -z "$window" ]; then
    echo "no window appeared"; cat Engine.log; kill "$pid"; exit 1
fi
timeout 10 xdotool windowfocus --sync "$window" || true
xdotool key --delay 50 Up Down Left Right Insert Delete Delete End End Home
xdotool key F12
for _ in $(seq 100); do
    [ -f "Screenshot 0.bmp" ] && break
    sleep 0.1
done
xdotool key Escape
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "the program did not quit on Esc"; kill -9 "$pid"; exit 1
fi
wait "$pid"
INNER

# xvfb-run -a finds a free display number; it fails at once without a server.
if ! timeout 20 xvfb-run -a -s "-screen 0 1024x768x24" true >/dev/null 2>&1; then
    echo "SKIP: no X server can be started here (xvfb-run failed)"
    exit 77
fi
timeout -k 5 90 xvfb-run -a -s "-screen 0 1024x768x24" bash session.sh "$program"
status=$?
echo "exit code: $status"
echo "--- Engine.log"; cat Engine.log
[ "$status" -eq 0 ] || exit 1
if [ ! -f "Screenshot 0.bmp" ]; then
    echo "no screenshot was written"; exit 1
fi
size=$(stat -c %s "Screenshot 0.bmp")
[ "$size" -eq $((54 + 640 * 480 * 3)) ] || { echo "screenshot has $size bytes"; exit 1; }
echo "smoke test passed"
