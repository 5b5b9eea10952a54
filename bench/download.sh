#!/bin/bash
# Peak memory and throughput of a package download: a 50 MB and a 500 MB file from lighttpd on
# 127.0.0.1 through the real posix request object, the transfer events and the package writer. The
# two peaks should be about the same: the body goes to disk chunk by chunk and is never held whole.
# Then 9 rounds of the 500 MB file, the updater and the curl command alternately, each timed from
# start to end of its process: the median of curl's time / the updater's time, and the updater's
# slowest round against curl's slowest.
# With WIN64_BUILD_DIR set (a win64 build), the same rounds are run with the win64 build under Wine,
# timed by the program itself (Wine's own start is not the download's): a number to watch.
#   [WIN64_BUILD_DIR=build/win64] bench/download.sh [BUILD_DIR]   (default build/posix)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/posix}")
work=$(mktemp -d /tmp/om-download-bench.XXXXXX)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The bench program, linked from the build's libraries (the subsystems call each other in a cycle).
libs=()
for name in app release download install report state common; do libs+=("$build/libom_$name.a"); done
libs+=("$build/src/platform/posix/libom_platform_posix.a" "$build/libom_platform_neutral.a")
g++ -std=c++20 -O2 -Wall -Wextra -Werror $(fltk-config --cxxflags) -I"$root/src" \
    "$root/bench/download_bench.cpp" -Wl,--start-group "${libs[@]}" -Wl,--end-group \
    -lcurl -lcrypto $(pkg-config --libs libmsi-1.0) $(fltk-config --ldflags) -o "$work/download_bench"

mkdir -p "$work/site" "$work/out"
for size in 50 500; do
    # Incompressible bytes, so that nothing on the way can shortcut them.
    head -c $((size * 1000 * 1000)) /dev/urandom >"$work/site/ombrix32_v9.9.$size.msi"
done
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/lighttpd.conf" <<CONF
server.document-root = "$work/site"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/lighttpd.log"
mimetype.assign = ( "" => "application/octet-stream" )
CONF
# The server stops by itself after ten minutes at the latest.
timeout 600 lighttpd -D -f "$work/lighttpd.conf" &
server_pid=$!
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

for size in 50 500; do
    name=ombrix32_v9.9.$size.msi
    printf '%4d MB: ' "$size"
    timeout 300 "$work/download_bench" "127.0.0.1:$port/$name" "$work/out/$name"
    cmp -s "$work/site/$name" "$work/out/$name" || { echo "download differs from the served file" >&2; exit 1; }
    rm -f "$work/out/$name"
done

name=ombrix32_v9.9.500.msi
url=http://127.0.0.1:$port/$name
elapsed() { # COMMAND...: runs it, prints its wall time in seconds
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo "scale=3; ($end - $start) / 1000000000" | bc
}
# rounds LABEL COMMAND...: 9 rounds of COMMAND (prints its own seconds, or is timed) and curl.
rounds() {
    local label=$1 ours=() theirs=()
    shift
    for round in $(seq 9); do
        if [ "$label" = wine ]; then
            ours+=("$("$@" "127.0.0.1:$port/$name" "$out_as_seen/$name" | tr -d '\r' | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')")
        else
            ours+=("$(elapsed "$@" "127.0.0.1:$port/$name" "$work/out/$name")")
        fi
        cmp -s "$work/site/$name" "$work/out/$name" || { echo "download differs from the served file" >&2; exit 1; }
        rm -f "$work/out/$name"
        theirs+=("$(elapsed timeout 300 curl -s -o "$work/out/curl.msi" "$url")")
        rm -f "$work/out/curl.msi"
        echo "$label round $round: updater ${ours[-1]} s, curl ${theirs[-1]} s"
    done
    /usr/bin/python3 - "$label" "${ours[*]}" "${theirs[*]}" <<'PY'
import statistics, sys
label = sys.argv[1]
ours, theirs = ([float(x) for x in arg.split()] for arg in sys.argv[2:])
print("%s median ratio (curl / updater): %.2f" % (label, statistics.median(t / o for o, t in zip(ours, theirs))))
print("%s slowest round ratio (curl's slowest / updater's slowest): %.2f" % (label, max(theirs) / max(ours)))
PY
}
rounds posix timeout 300 "$work/download_bench"

if [ -n "${WIN64_BUILD_DIR:-}" ]; then
    win=$(realpath "$WIN64_BUILD_DIR")
    wlibs=()
    for lib in app release download install report state common platform_neutral; do wlibs+=("$win/libom_$lib.a"); done
    x86_64-w64-mingw32-g++ -std=c++20 -O2 -static -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 \
        -I"$root/src" "$root/bench/download_bench.cpp" -Wl,--start-group "${wlibs[@]}" \
        "$win/src/platform/win32/libom_platform_win32.a" -Wl,--end-group \
        -lwinhttp -lwininet -lversion -lcomctl32 -lole32 -luuid -lws2_32 -liphlpapi -lbcrypt -lmsi -o "$work/download_bench.exe"
    export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    out_as_seen="Z:$work/out"
    rounds wine timeout 300 wine "$work/download_bench.exe"
    wineserver -k || true
fi
