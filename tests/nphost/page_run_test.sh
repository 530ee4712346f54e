#!/usr/bin/env bash
# nphost on a page with two embeds, over file: and over http: from a loopback
# server: both instances are made with the page's arguments, the property
# file is fetched relative to the page and delivered; the screenshot is a
# valid PNG of the page's size; a page that cannot be read, an embed without
# src and a DLL that is no plug-in end with a message and a non-zero status.
#
# A server that never answers is given up on after the host's timeout.
#
#   page_run_test.sh SOURCE_DIR NPHOST_EXE OPFTOOL_EXE
set -uo pipefail
source_dir=$1
nphost_exe=$2
opftool_exe=$3
wine_run=$source_dir/scripts/wine-run
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY
work=$(mktemp -d)
server_pid=
silent_pid=
cleanup() {
    for pid in $server_pid $silent_pid; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {  # reports the test script's line (through expect_line too)
    local line=${BASH_LINENO[0]}
    [ "${FUNCNAME[1]}" = expect_line ] && line=${BASH_LINENO[1]}
    echo "FAIL (line $line): $*" >&2
    failures=$((failures + 1))
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Runs nphost with a bound; its stdout goes to $work/out, stderr to
# $work/err, both with Unix line ends.
nphost() {
    timeout 120 "$wine_run" "$nphost_exe" "$@" >"$work/out.crlf" 2>"$work/err.crlf"
    local status=$?
    tr -d '\r' <"$work/out.crlf" >"$work/out"
    tr -d '\r' <"$work/err.crlf" >"$work/err"
    return $status
}
expect_line() {  # PATTERN: a line of the log matches the extended regex
    grep -Eq -- "$1" "$work/out" || fail "no log line matches: $1"
}

site=$work/site
mkdir -p "$site/sub"
# A control that is not installed: the class id is made up for this test.
timeout 60 "$wine_run" "$opftool_exe" create "$(winpath "$site/ctl.opf")" \
    --clsid "{5A0C1D3E-7B44-4F0A-9C1D-3E7B444F0A9C}" --header "Filename Url=ctl.ocx" \
    --header "IsCompressed=TRUE" >/dev/null || fail "opftool could not make the property file"
cat >"$site/page.html" <<'HTML'
<html><body>
<!-- <embed src="commented.opf" width=1 height=1> -->
<embed src="ctl.opf" width=320 height='240' caption="first &amp; one">
<EMBED SRC="sub/../ctl.opf" Width="200" HEIGHT=100 mode=two>
</body></html>
HTML

check_page_run() {  # BASE_URL: the URL of $site as nphost names it
    local base=$1
    [ "$(grep -c -- '-> NPP_New #' "$work/out")" = 2 ] || fail "not two NPP_New calls"
    expect_line "-> NPP_New #1 src=\"ctl.opf\" width=\"320\" height=\"240\" caption=\"first & one\"$"
    expect_line "-> NPP_New #2 SRC=\"sub/\.\./ctl.opf\" Width=\"200\" HEIGHT=\"100\" mode=\"two\"$"
    expect_line "^ *[0-9.]+ +fetch ${base}/ctl\.opf$"
    for n in 1 2; do
        expect_line "-> NPP_NewStream #$n ${base}/ctl\.opf$"
        expect_line "-> NPP_StreamAsFile #$n ${base}/ctl\.opf$"
        expect_line "-> NPP_Destroy #$n$"
    done
    expect_line "-> NP_Shutdown$"
    grep -q commented "$work/out" && fail "the commented-out embed was shown"
}

# --- file: ------------------------------------------------------------------
nphost "$(winpath "$site/page.html")" --answer no --run-for 1 \
    --screenshot "$(winpath "$work/shot.png")"
status=$?
[ $status = 0 ] || fail "file: run ended with $status: $(cat "$work/err")"
file_base="file:///Z:$(printf '%s' "$site" | sed 's/[.]/\\./g')"
check_page_run "$file_base"
python3 - "$work/shot.png" 544 256 <<'PY' || fail "the screenshot is not a PNG of the page's size"
import struct, sys, zlib
path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = open(path, "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
at, idat, chunks = 8, b"", []
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    crc, = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
    assert zlib.crc32(kind + body) == crc, "CRC of " + kind.decode()
    chunks.append(kind)
    if kind == b"IHDR":
        w, h, depth, colour = struct.unpack(">IIBB", body[:10])
        assert (w, h, depth, colour) == (width, height, 8, 2), (w, h, depth, colour)
    if kind == b"IDAT":
        idat += body
    at += 12 + length
assert chunks[0] == b"IHDR" and chunks[-1] == b"IEND", chunks
assert len(zlib.decompress(idat)) == height * (1 + 3 * width), "pixel data size"
PY

# --- http: from a loopback server ---------------------------------------------
python3 - "$site" >"$work/port" 2>/dev/null <<'PY' &
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
if [ -z "$port" ]; then
    fail "the loopback server did not start"
else
    nphost "http://127.0.0.1:$port/page.html" --answer no --run-for 1
    status=$?
    [ $status = 0 ] || fail "http: run ended with $status: $(cat "$work/err")"
    check_page_run "http://127\.0\.0\.1:$port"

    nphost "http://127.0.0.1:$port/missing.html" --run-for 0
    [ $? != 0 ] && grep -q "cannot read the page http://127.0.0.1:$port/missing.html: HTTP status 404" "$work/err" ||
        fail "a missing page over http: was not refused: $(cat "$work/err")"
fi

# Nothing listens on port 1: the connection is refused at once.
nphost "http://127.0.0.1:1/page.html" --run-for 0
[ $? != 0 ] && grep -q "cannot read the page http://127.0.0.1:1/page.html" "$work/err" ||
    fail "an unreachable server was not reported: $(cat "$work/err")"

# A server that accepts and never answers: the wait ends by itself.
python3 - >"$work/silent-port" 2>/dev/null <<'PY' &
import socket, time
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(5)
print(listener.getsockname()[1], flush=True)
held = []
while True:
    held.append(listener.accept())
PY
silent_pid=$!
for _ in $(seq 100); do [ -s "$work/silent-port" ] && break; sleep 0.1; done
silent_port=$(cat "$work/silent-port")
nphost "http://127.0.0.1:$silent_port/page.html" --run-for 0
status=$?
kill "$silent_pid" 2>/dev/null; wait "$silent_pid" 2>/dev/null
[ $status != 0 ] && [ $status != 124 ] && grep -q "cannot read the page" "$work/err" ||
    fail "a server that never answers was not given up on (status $status)"

# --- what cannot be shown ---------------------------------------------------------
nphost "$(winpath "$work/no-such-page.html")" --run-for 0
[ $? != 0 ] && grep -q "cannot read the page" "$work/err" || fail "a missing page was not refused"

printf '<embed width=10 src="">\n' >"$site/nosrc.html"
nphost "$(winpath "$site/nosrc.html")" --run-for 0
[ $? != 0 ] && grep -q "embed 1 has no src" "$work/err" || fail "an embed without src was accepted"

printf '<embed src="missing.opf">\n' >"$site/missing.html"
nphost "$(winpath "$site/missing.html")" --answer no --run-for 0
[ $? != 0 ] && grep -q "cannot fetch .*missing.opf: no such file" "$work/err" ||
    fail "an unreachable property file was not reported"

printf 'not a DLL' >"$work/fake.dll"
nphost "$(winpath "$site/page.html")" --plugin "$(winpath "$work/fake.dll")" --run-for 0
[ $? != 0 ] && grep -q "is not a loadable NPAPI plug-in" "$work/err" || fail "a broken plug-in DLL was accepted"

[ $failures = 0 ] && echo "page_run_test: all passed"
exit $((failures > 0))
