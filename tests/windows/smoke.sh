#!/usr/bin/env bash
# tests/windows/smoke.sh PROGRAM.exe WORKDIR DATA: starts the real Windows
# program under Wine on a virtual X server, presses F12 and Esc with an X
# client, and checks the whole Engine.log, the screenshot and exit code 0.
# Every wait is bounded, so a hung program fails the test instead of hanging it.
set -u
program=$1
workdir=$2
data=$3

cd "$workdir" || exit 1
cp -r "$data/." . && printf '1 4 3 3\n' >Rules.ini
printf '3\n31 32 0\n32 32 0\n33 32 0\n' >Life.ini

cat >session.sh <<'INNER'
program=$1
wine "$program" >program.out 2>&1 &
pid=$!
window=$(timeout 60 xdotool search --sync --name '^Veltrix - Engine 3.0' | head -n 1)
if [ -z "$window" ]; then
    echo "no window appeared"; cat program.out; cat Engine.log; kill "$pid"; exit 1
fi
# The log is complete once the timer runs; give the program a few ticks.
for _ in $(seq 100); do
    grep -q "^Rendering !" Engine.log 2>/dev/null && break
    sleep 0.1
done
sleep 1
timeout 10 xdotool windowactivate --sync "$window" 2>/dev/null || timeout 10 xdotool windowfocus --sync "$window" || true
xdotool key --delay 50 Up Down Left Right Insert Delete Delete End End Home
xdotool key F12
for _ in $(seq 100); do
    [ -f "Screenshot 0.bmp" ] && break
    sleep 0.1
done
xdotool key Escape
for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "the program did not quit on Esc"; kill -9 "$pid"; exit 1
fi
wait "$pid"
INNER

timeout -k 5 180 xvfb-run -a -s "-screen 0 1024x768x24" bash session.sh "$program"
status=$?
echo "exit code: $status"
echo "--- Engine.log"; cat Engine.log
[ "$status" -eq 0 ] || exit 1
# Every stage with its OK, the display's included: nothing failed on the way.
printf '%s\n' "__________Veltrix - Log__________" "Loading world .." "    OK" "Loading textures ..." "    OK" \
    "Init life (from file 'Life.ini') ..." "    OK" "Init engine ..." "    OK" "DDraw is running.." \
    "Locking some memory ..." "    OK" "Rendering !" >expected.log
if ! cmp -s Engine.log expected.log; then
    echo "Engine.log is not the complete start-up log"; diff expected.log Engine.log; exit 1
fi
if [ ! -f "Screenshot 0.bmp" ]; then
    echo "no screenshot was written"; exit 1
fi
size=$(stat -c %s "Screenshot 0.bmp")
[ "$size" -eq $((54 + 640 * 480 * 3)) ] || { echo "screenshot has $size bytes"; exit 1; }
echo "smoke test passed"
