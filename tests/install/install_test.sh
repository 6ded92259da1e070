#!/usr/bin/env bash
# The installed game as a player meets it: installed into a fresh prefix,
# started from an empty folder by a user with a fresh home and no XDG
# variables, played for a moment and quit. Its world must land in the home
# folder's XDG place, start as the starter world, and nothing may be written
# into the prefix or the working folder. Also validates the desktop entry,
# the AppStream data and the man page, and builds the Debian package.
# Usage: install_test.sh <build-dir>
set -uo pipefail

# What play left in the world file against the starter world: blocks lost,
# blocks placed and cell lines changed. No block of the starter world may go
# (snow may cover grass, liquids may spread); a cell that was empty holds a
# placed block (grass, or snow-covered grass if it snows).
world_verdict() {
    awk -F' = ' '
        FNR == NR { if ($1 ~ /\[/) starter[$1] = $2; next }
        $1 ~ /\[/ {
            if (starter[$1] > 0 && $2 <= 0) lost++
            if (starter[$1] == 0 && ($2 == 1 || $2 == 10)) placed++
            if (starter[$1] != $2) changed++
        }
        END { printf "%d %d %d", lost, placed, changed }' "$starter" "$world"
}

# Plays inside the virtual screen: skip the intro, click "single player",
# play the world the list starts on (the starter world, taken in as "My
# world") with Enter, place a block with Space, then quit with SIGTERM (saves
# like the close button).
if [ "${1:-}" = --play ]; then
    cd "$work"
    # The leak checker of a sanitizer build stays off for the graphics stack.
    ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/tessaria" 2> "$scratch/game.err" &
    pid=$!
    # A minute, as a person would wait on a busy machine. The keys and the
    # click need no waits of their own: the game takes them in order.
    for _ in $(seq 300); do xdotool search --name '^Tessaria$' >/dev/null 2>&1 && break; sleep 0.2; done
    sleep 1
    window=$(xdotool search --name '^Tessaria$' | head -n 1)
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool keydown Escape; sleep 0.2; xdotool keyup Escape
    sleep 0.5
    xdotool mousemove --sync 300 217 click 1
    sleep 1
    xdotool keydown Return; sleep 0.2; xdotool keyup Return
    sleep 1
    xdotool keydown space; sleep 0.2; xdotool keyup space
    # A quit signal overtakes the keys a starved game has not read yet: it
    # comes once the autosave has the placed block.
    for _ in $(seq 300); do
        [ -f "$world" ] && [ "$(world_verdict | cut -d' ' -f2)" -ge 1 ] && break
        sleep 0.2
    done
    kill -TERM "$pid"
    wait "$pid"
    echo "exit status $?" > "$scratch/game.status"
    exit 0
fi

BUILD=$(cd "$1" && pwd)
APP_ID=example.tessaria.Tessaria
scratch=$(mktemp -d /tmp/tessaria-install-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix home=$scratch/home work=$scratch/work
mkdir -p "$home" "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$BUILD" --prefix "$prefix" > "$scratch/install.log" ||
    { cat "$scratch/install.log"; echo "FAIL: cmake --install"; exit 1; }

desktop-file-validate "$prefix/share/applications/$APP_ID.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$APP_ID.metainfo.xml" > "$scratch/as.log" ||
    { cat "$scratch/as.log"; fail "AppStream metainfo"; }
warnings=$(man --warnings -l "$prefix/share/man/man6/tessaria.6" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"
man -l "$prefix/share/man/man6/tessaria.6" 2>/dev/null | grep -q 'isometric block-building game' ||
    fail "man page does not render"
warnings=$(man --warnings -l "$prefix/share/man/man6/tessaria-server.6" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "server man page: $warnings"
[ -x "$prefix/bin/tessaria-server" ] || fail "no server program"
unit=$prefix/lib/systemd/system/tessaria-server.service
grep -q '^ExecStart=/usr/bin/tessaria-server .*--world /var/lib/tessaria' "$unit" ||
    fail "the service does not run the server on /var/lib/tessaria"
if command -v systemd-analyze > /dev/null; then
    # The unit names the packaged program, which a test prefix does not hold.
    systemd-analyze verify --man=no "$unit" 2>&1 | grep -v 'tessaria-server is not executable' > "$scratch/unit.log"
    [ -s "$scratch/unit.log" ] && { cat "$scratch/unit.log"; fail "systemd unit"; }
fi
for size in 32 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png
    file "$icon" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || fail "icon $size"
done

listing() { (cd "$prefix" && find . -printf '%p %s %T@\n' | sort); }
listing > "$scratch/prefix.before"

world=$home/.local/share/tessaria/worlds/My-world/world.ini
starter=$prefix/share/tessaria/starter-world.ini
export scratch prefix work world starter
# Xvfb picks a display number no other server holds and writes it out
# (-displayfd): two servers started at the same moment by parallel tests
# never share one, as a number chosen by looking first could.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3> "$scratch/display" 2> "$scratch/xvfb.log" &
xvfb=$!
for _ in $(seq 300); do [ -s "$scratch/display" ] && break; sleep 0.2; done
display=$(head -n 1 "$scratch/display" 2>/dev/null)
if [ -z "$display" ]; then
    cat "$scratch/xvfb.log"
    fail "no virtual screen"
else
    env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME HOME="$home" DISPLAY=":$display" \
        ALSOFT_DRIVERS=null TESSARIA_SEED=11 bash "$0" --play
fi
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
cat "$scratch/game.err" 2>/dev/null
grep -q 'exit status 0' "$scratch/game.status" 2>/dev/null || fail "game: $(cat "$scratch/game.status" 2>/dev/null)"

if [ ! -f "$world" ]; then
    fail "no world at $world"
else
    # The starter world with the placed block.
    read -r lost placed changed <<< "$(world_verdict)"
    [ "$lost" -eq 0 ] && [ "$placed" -ge 1 ] ||
        fail "world is not the starter world with the placed block ($lost blocks lost, $placed placed)"
    echo "the world in the home folder: the starter world with $placed block(s) placed, $changed cell line(s) changed"
fi
[ -z "$(ls -A "$work")" ] || fail "the game wrote into its working folder: $(ls -A "$work")"
listing > "$scratch/prefix.after"
diff "$scratch/prefix.before" "$scratch/prefix.after" > /dev/null || fail "the game wrote into the prefix"

(cd "$scratch" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$scratch/package" > cpack.log 2>&1) ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
package=$(ls "$scratch"/package/tessaria_*.deb 2>/dev/null | head -n 1)
if [ -z "$package" ]; then
    fail "no package built"
else
    contents=$(dpkg-deb -c "$package")
    grep -q ' ./usr/bin/tessaria$' <<< "$contents" || fail "package lacks the game"
    grep -q ' ./usr/bin/tessaria-server$' <<< "$contents" || fail "package lacks the server"
    grep -q 'systemd/system/tessaria-server.service' <<< "$contents" || fail "package lacks the service"
    grep -q "applications/$APP_ID.desktop" <<< "$contents" || fail "package lacks the desktop entry"
    grep -q 'starter-world.ini' <<< "$contents" || fail "package lacks the starter world"
    grep -q liballegro5.2 <<< "$(dpkg-deb -f "$package" Depends)" || fail "package does not depend on Allegro"
fi

[ "$failures" -eq 0 ] && echo "installed game: all checks passed"
exit $((failures > 0))
