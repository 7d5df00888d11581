#!/usr/bin/env bash
# The application against the sandbox's hostile creatives, each in turn, for
# a while (600 s unless told), with a logger installed as the desktop's
# handler of every scheme the creatives try: what reached the desktop, the
# files that appeared in the (scratch) home folder, the windows on the
# display, the resident memory of the application and of its web processes
# at the start and at the end, the web processes, what was refused, and the
# ads served. Prints figures; never fails on them.
#   bench/hostile.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=build/run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBLORVIK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target blorvik blorvik-adnet >/dev/null

scratch=$(mktemp -d)
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache"
# Where a page's download would land: a home of its own, empty.
export HOME="$scratch/home" XDG_DOWNLOAD_DIR="$scratch/home/Downloads"
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME" "$XDG_DOWNLOAD_DIR"
handed="$scratch/handed-to-desktop.txt"
touch "$handed"
printf '#!/bin/sh\necho "$@" >> %s\n' "$handed" >"$scratch/logger"
chmod +x "$scratch/logger"
schemes="file smb data javascript zovo-custom ghelp tel mailto sms http https"
mimes="text/plain;"
for s in $schemes; do mimes="${mimes}x-scheme-handler/$s;"; done
printf '[Desktop Entry]\nType=Application\nName=Logger\nExec=%s %%u\nMimeType=%s\n' "$scratch/logger" "$mimes" \
  >"$XDG_DATA_HOME/applications/logger.desktop"
{
  echo "[Default Applications]"
  for m in ${mimes//;/ }; do echo "$m=logger.desktop"; done
} >"$XDG_CONFIG_HOME/mimeapps.list"

export WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 GTK_A11Y=none NO_AT_BRIDGE=1
Xvfb :78 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
adnet_log="$scratch/adnet.log"
"$build/adnet/blorvik-adnet" --port 8642 --hostile all --refresh-rate 15 >"$adnet_log" 2>&1 &
adnet=$!
trap 'kill $adnet $xvfb 2>/dev/null; rm -rf "$scratch"' EXIT
sleep 1
export DISPLAY=:78
"$build/app/blorvik" --quit-after "$seconds" >"$scratch/app.log" 2>&1 &
app=$!

# The application and its web processes, in KiB, and how many of the latter.
figures() {
  local own web=0 count=0
  own=$(awk '/VmRSS/ {print $2}' "/proc/$app/status")
  for p in $(pgrep -P "$app" -f WebKitWebProcess || true); do
    web=$((web + $(awk '/VmRSS/ {print $2}' "/proc/$p/status")))
    count=$((count + 1))
  done
  echo "$own $web $count"
}
# Windows on the display: the application's own, and any a page opened.
windows() { xwininfo -root -children 2>/dev/null | grep -c '^ *0x' || true; }
sleep 10
read -r own0 web0 n0 <<<"$(figures)"
windows0=$(windows)
sleep $((seconds - 15))
read -r own1 web1 n1 <<<"$(figures)"
windows1=$(windows)
wait "$app" || true
kill -INT $adnet; wait $adnet || true

echo "seconds: $seconds (hostile creatives in turn, a new ad every 15 s)"
echo "resident at 10 s (KiB): application $own0, web processes $web0 ($n0 processes)"
echo "resident at $((seconds - 5)) s (KiB): application $own1, web processes $web1 ($n1 processes)"
echo "handed to the desktop: $(wc -l <"$handed") $(head -3 "$handed" | tr '\n' ' ')"
echo "files in the home folder: $(find "$HOME" -type f | wc -l) $(find "$HOME" -type f | head -3 | tr '\n' ' ')"
echo "top-level windows on the display: $windows0 at 10 s, $windows1 at the end"
echo "refusals logged: $(grep -c 'Refused' "$scratch/app.log" || true), by kind (first of each per page):"
grep -o 'Refused ([^)]*)' "$scratch/app.log" | sort | uniq -c | sed 's/^/  /' || true
echo "heavy ads unloaded: $(grep -c 'Unloaded a heavy ad' "$scratch/app.log" || true)"
grep "adnet: ads served" "$adnet_log" || echo "adnet: no summary"
