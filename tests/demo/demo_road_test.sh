#!/usr/bin/env bash
# The demo road, unattended: the warning is answered, the control file is
# fetched, placed in the control directory and registered, the control is
# created, started, asks for its text file, gets it, is driven by the page's
# script (a method called, an event heard) and is stopped when the page goes;
# the control file, signed by the demo publisher, installs without a second
# warning; the screenshot is a PNG of the page's size whose control area
# shows the control's painting. The plug-in is the one registered under the
# MozillaPlugins key; the warning was captured as shown, with the caption and
# the property file's values read back from the dialog. The demo's own prefix
# is gone afterwards.
#
#   demo_road_test.sh SOURCE_DIR BUILD_TREE
set -uo pipefail
source_dir=$1
tree=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {  # reports the test script's line
    echo "FAIL (line ${BASH_LINENO[0]}): $*" >&2
    failures=$((failures + 1))
}

"$source_dir/scripts/demo-road" "$tree" "$work" 3
status=$?
[ $status = 0 ] || fail "the demo road ended with $status: $(cat "$work/demo.err" 2>/dev/null)"
[ -e "$work/wineprefix" ] && fail "the demo's Wine prefix was left behind"

# The road in order: each pattern (an extended regex) must match a line after
# the line the previous one matched.
python3 - "$work/demo.log" <<'PY' || fail "the call log is not the demo road (log above)"
import re, sys
road = [
    ("plug-in found by its registration",
     r"^plug-in .*\\nptrv32\.dll \(from HKEY_LOCAL_MACHINE\\SOFTWARE\\MozillaPlugins\\@nptrv32\.project/nptrv32\)$"),
    ("warning shown with the file's values",
     r'dialog WARNING shows "nptrv32 demo" "nptrv32 project" "nptrv32 demo control" "1, 0, 0, 1" '
     r'"Free to use in demonstrations" "None" "http://127\.0\.0\.1:[0-9]+/democtl\.oc_"$'),
    ("warning captured", r"screenshot .*\\demo-warning\.png$"),
    ("warning answered", r"dialog WARNING answered yes$"),
    ("control file requested", r"<- NPN_GetURL(Notify)? http://127\.0\.0\.1:[0-9]+/democtl\.oc_ "),
    ("control file delivered", r"-> NPP_StreamAsFile #1 http://127\.0\.0\.1:[0-9]+/democtl\.oc_$"),
    ("placed and registered", r"^control 0 DllRegisterServer .*\\system32\\democtl\.ocx$"),
    # Signed by the demo publisher, whose root the demo's prefix trusts: no
    # second warning.
    ("signed by the demo publisher",
     r"<- NPN_Status The control was installed: its file is signed by nptrv32 project\.$"),
    ("created", r"^control 1 Created$"),
    ("state loaded", r"^control 1 Load Caption=nptrv32 demo control$"),
    ("started", r"^control 1 Start$"),
    ("request event", r"^control 1 Fire GetUrlAsFile message\.txt 1$"),
    ("text file requested", r"<- NPN_GetURL(Notify)? http://127\.0\.0\.1:[0-9]+/message\.txt "),
    ("text file delivered", r"-> NPP_StreamAsFile #1 http://127\.0\.0\.1:[0-9]+/message\.txt$"),
    ("OnGetUrlAsFile", r"^control 1 OnGetUrlAsFile .*\|1\|"),
    ("page goes", r"-> NPP_Destroy #1$"),
    ("stopped", r"^control 1 Stop$"),
    ("shut down", r"-> NP_Shutdown$"),
]
# The page's script, once the control runs: its method called, its event
# fired and heard by the page's listener with the event's arguments.
script = [
    ("page called the method", r"console\.log page called Echo: hello$"),
    ("event fired", r"^control 1 Fire GetUrlAsFile args=2$"),
    ("page heard the event", r"console\.log page heard GetUrlAsFile message\.txt 2$"),
]
lines = open(sys.argv[1]).read().splitlines()

def follow(steps, at):
    """The index after the last step, each found after the one before."""
    for name, pattern in steps:
        found = next((i for i in range(at, len(lines)) if re.search(pattern, lines[i])), None)
        if found is None:
            print("\n".join(lines), file=sys.stderr)
            sys.exit(f"missing after line {at}: {name} ({pattern})")
        at = found + 1
    return at

follow(road, 0)
answers = [line for line in lines if "dialog WARNING answered" in line]
if len(answers) != 1:
    sys.exit(f"{len(answers)} warnings answered, expected the download warning alone")
started = next(i for i, (name, _) in enumerate(road) if name == "started")
follow(script, follow(road[:started + 1], 0))
PY

# The page is the embed (320x160) with an 8-pixel margin; the control area
# must hold more than one colour, among them the control's background.
# The warning's image: a PNG of the whole dialog, frame and caption included.
python3 - "$work/demo-warning.png" <<'PY' || fail "the warning's screenshot is missing or no PNG"
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", "not a PNG"
width, height = struct.unpack(">II", data[16:24])
assert width > 300 and height > 250, ("size", width, height)
PY

python3 - "$work/demo.png" 336 176 8 8 320 160 <<'PY' || fail "the screenshot does not show the control"
import struct, sys, zlib
path = sys.argv[1]
width, height, left, top, cx, cy = map(int, sys.argv[2:])
data = open(path, "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
at, idat = 8, b""
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    if kind == b"IHDR":
        w, h, depth, colour = struct.unpack(">IIBB", body[:10])
        assert (w, h, depth, colour) == (width, height, 8, 2), ("size", w, h, depth, colour)
    elif kind == b"IDAT":
        idat += body
    at += 12 + length
raw, stride, rows, previous = zlib.decompress(idat), 3 * width, [], bytearray(3 * width)
for y in range(height):
    kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for x in range(stride):
        a = line[x - 3] if x >= 3 else 0
        b, c = previous[x], (previous[x - 3] if x >= 3 else 0)
        if kind == 1: line[x] = (line[x] + a) & 255
        elif kind == 2: line[x] = (line[x] + b) & 255
        elif kind == 3: line[x] = (line[x] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    previous = line
colours = {bytes(rows[y][3 * x:3 * x + 3]) for y in range(top, top + cy) for x in range(left, left + cx)}
assert len(colours) > 1, "the control area is one colour"
assert bytes((255, 236, 160)) in colours, "the control's background is not in its area"
PY

[ $failures = 0 ] && echo "demo_road_test: all passed"
exit $((failures > 0))
