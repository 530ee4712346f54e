#!/usr/bin/env bash
# The release's installer packages under Wine, in a fresh 64-bit prefix made
# here (32-bit programs run in it through WoW64). For each package, per-user
# then per-machine:
#
#   1. silent install (msiexec /i /qn; the log is kept when it fails);
#   2. the DLLs are the released files, where they belong, and the
#      MozillaPlugins keys (and, per user, the control storage directory) are
#      in the registry view each browser reads;
#   3. nphost, given no plug-in path, finds the installed plug-in through the
#      registry and walks the demo road with it (in a copy of the prefix, so
#      the demo control it installs does not stay); per user, again with a
#      storage directory that takes no file: the control is placed and
#      registered for the user only;
#   4. a rebuilt package of the same version stays the same product; a
#      higher version installs over it: one product, one copy of the files;
#   5. the older (released) package refuses to install over the higher one;
#   6. uninstall (msiexec /x) leaves the prefix's files and registry as they
#      were before the install.
#
#   installer_test.sh SOURCE_DIR DIST_DIR BUILD_TREE WORK_DIR
#
# DIST_DIR is what scripts/release made; BUILD_TREE (i686 or x86_64) gives
# nphost and the demo site: the 32-bit tree runs the 32-bit plug-in, the
# 64-bit tree the 64-bit one. WORK_DIR holds the prefix (removed at the end)
# and the logs of failed steps.
set -uo pipefail
source_dir=$1
dist=$(cd "$2" && pwd)
tree=$(cd "$3" && pwd)
mkdir -p "$4" && work=$(cd "$4" && pwd)
prefix=$work/prefix
export WINEPREFIX=$prefix
run() { timeout 300 "$source_dir/scripts/wine-run" "$@"; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

failures=0
fail() {  # reports the test script's line
    echo "FAIL (line ${BASH_LINENO[0]}): $*" >&2
    failures=$((failures + 1))
}
cleanup() {
    stop_wineserver
    rm -rf "$prefix"
}
trap cleanup EXIT

version=$(sed -n 's/^project(nptrv VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
IFS=. read -r major minor build revision <<<"$version"
# Windows Installer compares the first three fields only.
higher=$major.$minor.$((build + 1)).0
bits=$("$source_dir/scripts/wine-bits" "$tree/nphost.exe")

echo "installer test: version $version (and $higher), nphost $bits-bit"
rm -rf "$prefix"
"$source_dir/scripts/wine-prefix" "$prefix" || { echo "FAIL: no Wine prefix" >&2; exit 1; }
# Windows Installer's first use in the prefix, per machine and per user.
for scope in perMachine perUser; do
    (cd "$source_dir/tests/release" && wixl -a x64 -D Scope=$scope -o "$work/primer-$scope.msi" primer.wxs) &&
        run msiexec /i "$(winpath "$work/primer-$scope.msi")" /qn >/dev/null 2>&1 &&
        run msiexec /x "$(winpath "$work/primer-$scope.msi")" /qn >/dev/null 2>&1 ||
        { echo "FAIL: the primer package ($scope) did not install and uninstall" >&2; exit 1; }
done
for made in "$higher higher" "$version rebuilt"; do
    read -r packaged folder <<<"$made"
    "$source_dir/packaging/make-packages" "$packaged" "$dist/nptrv32.dll" "$dist/nptrv32-x64.dll" "$work/$folder" >/dev/null ||
        { echo "FAIL: cannot build the packages of $packaged" >&2; exit 1; }
done

# The prefix's files (with sizes) and registry, one line per value, each
# with its key, sorted: "[KEY]" for a key, "[KEY]NAME=DATA" for a value. Left
# out: Wine's time stamps, the display adapter's driver date, which Wine
# writes anew each time its server starts, and the console's settings, which
# Wine's console host writes when a console first comes up. The wineserver is
# stopped first so that the registry files are current.
stop_wineserver() {
    timeout 60 wineserver -k >/dev/null 2>&1
    timeout 60 wineserver -w >/dev/null 2>&1
}
registry_lines() {  # REG_FILE
    awk '/^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print key; next }
         /^#time=/ { next }
         { line = line $0; if (sub(/\\$/, "", line)) next; if (line != "") print key line; line = "" }' "$1" |
        grep -v -e '^\[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\[^]]*\]"DriverDateData"=' \
                -e '^\[Console\(\\\\[^]]*\)\?\]' |
        LC_ALL=C sort
}
snapshot() {  # OUT_DIR
    stop_wineserver
    mkdir -p "$1"
    (cd "$prefix/drive_c" && find . \( -type f -printf 'f %p %s\n' \) -o \( ! -type f -printf '%y %p\n' \)) |
        LC_ALL=C sort >"$1/files"
    for hive in system user userdef; do registry_lines "$prefix/$hive.reg" >"$1/$hive.reg"; done
}

# msiexec /i or /x with a verbose log; keeps the log in WORK_DIR/logs when
# the outcome is not the expected one (0, "fails" or "any").
msi() {  # expect(0|fails) name action package
    local expect=$1 name=$2 action=$3 package=$4 status
    local log=$work/$name.log
    run msiexec "$action" "$(winpath "$package")" /qn /l*v "$(winpath "$log")" >/dev/null 2>&1
    status=$?
    if { [ "$expect" = 0 ] && [ $status != 0 ]; } || { [ "$expect" = fails ] && [ $status = 0 ]; }; then
        mkdir -p "$work/logs" && cp "$log" "$work/logs/" 2>/dev/null
        fail "msiexec $action $(basename "$package") ended with $status (log: $work/logs/$name.log)"
        grep -a -E "Return value 3|Error|error" "$log" 2>/dev/null | tail -n 5 >&2
        return 1
    fi
    [ "$expect" = fails ] || rm -f "$log"
    return 0
}

# The value's data as reg query prints it, from the registry view VIEW.
reg_value() {  # VIEW KEY NAME (empty: the key's default value)
    if [ -z "$3" ]; then
        run reg query "$2" /ve /reg:"$1" 2>/dev/null | tr -d '\r' | sed -n "s/^    ([^)]*)    REG_[A-Z_]*    //p"
    else
        run reg query "$2" /v "$3" /reg:"$1" 2>/dev/null | tr -d '\r' | sed -n "s/^    $3    REG_[A-Z_]*    //p"
    fi
}

# Products registered under a display name, as "name version", one line per
# product (by its product code, whichever registry view shows it).
products() {  # DISPLAY_NAME
    local key view
    for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
               'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
        for view in 64 32; do
            run reg query "$key" /s /reg:$view 2>/dev/null | tr -d '\r' | awk -v name="$1" '
                function flush() { if (found) print code " " name " " version; found = 0; version = "" }
                /^HKEY/ { flush(); code = $0; sub(/.*\\/, "", code) }
                $1 == "DisplayName" { sub(/^ *DisplayName +REG_SZ +/, ""); found = ($0 == name) }
                $1 == "DisplayVersion" { version = $3 }
                END { flush() }'
        done
    done | sort -u | cut -d' ' -f2-
}

plugins='SOFTWARE\MozillaPlugins\@nptrv32.project/nptrv32'
mime_key='MimeTypes\application/x-object-property-file'

# The per-user package where the plug-in cannot place a control in the
# storage directory (we run as an administrator under Wine, so "Ocx Storage"
# names a file, in which nothing can be created): the demo control is placed
# in the per-user directory and registered under HKCU\Software\Classes only.
# (Wine's HKEY_CLASSES_ROOT does not show per-user classes, as Windows' does,
# so the control is not created here: placement and registration are checked.)
demo_clsid='{7E1C0A00-5B3D-4C2E-9A71-3F60D2B8C1D0}'
per_user_registration() {  # ROAD_DIR (of the package's first road)
    local road=$1-not-writable storage='HKCU\Software\Trevalon\Trevalon\Directories' original server
    original=$(reg_value 32 "$storage" "Ocx Storage")
    run reg add "$storage" /v "Ocx Storage" /d "$user_dir\nptrv32\nptrv32.dll" /f >/dev/null 2>&1
    stop_wineserver
    NPTRV_DEMO_REGISTERED=1 NPTRV_DEMO_KEEP_PREFIX=1 "$source_dir/scripts/demo-road" "$tree" "$road" 3 >/dev/null 2>&1
    run reg add "$storage" /v "Ocx Storage" /d "$original" /f >/dev/null 2>&1
    local placed="$user_dir\Trevalon\Controls\democtl.ocx"
    grep -qxF "control 0 DllRegisterServer $placed" "$road/demo.log" 2>/dev/null ||
        fail "per-user, storage not writable: the demo control was not placed at $placed"
    # In the view of the plug-in's bitness: HKCU\Software\Classes has two.
    server=$(WINEPREFIX=$road/wineprefix reg_value "$bits" "HKCU\Software\Classes\CLSID\\$demo_clsid\InprocServer32" "")
    [ "$server" = "$placed" ] ||
        fail "per-user, storage not writable: the per-user class names \"$server\", not $placed"
    local view
    for view in 32 64; do
        WINEPREFIX=$road/wineprefix run reg query "HKLM\Software\Classes\CLSID\\$demo_clsid" /reg:$view >/dev/null 2>&1 &&
            fail "per-user, storage not writable: the class was registered for the machine ($view-bit view)"
    done
    WINEPREFIX=$road/wineprefix stop_wineserver
    rm -rf "$road/wineprefix"
}

# One package through install, demo, upgrade, refused downgrade, uninstall.
#   KIND           per-user | per-machine
#   DISPLAY_NAME   its product name
#   FILES          "path under C:=released file" lines
#   KEYS           "view|key|value|expected data" rows
#   ROAD_DLL       the DLL nphost must load, as it prints it, ROAD_KEY where
#                  it says it found it, STORAGE how the placed control's path
#                  ends
package_cycle() {
    local kind=$1 name=$2 files=$3 keys=$4 road_dll=$5 road_key=$6 storage=$7
    local released=$dist/nptrv32-$version-$kind.msi newer=$work/higher/nptrv32-$higher-$kind.msi
    echo "--- $kind"
    snapshot "$work/before-$kind"
    msi 0 "install-$kind" /i "$released" || return

    local pair path source view key value expected data
    while IFS= read -r pair; do
        [ -n "$pair" ] || continue
        path=${pair%%=*} source=${pair#*=}
        cmp -s "$prefix/drive_c/$path" "$dist/$source" || fail "$kind: C:/$path is not the released $source"
    done <<<"$files"
    while IFS='|' read -r view key value expected; do
        [ -n "$view" ] || continue
        data=$(reg_value "$view" "$key" "$value")
        [ "$data" = "$expected" ] || fail "$kind: $key\\$value in the $view-bit view is \"$data\", not \"$expected\""
    done <<<"$keys"
    [ "$(products "$name")" = "$name $version" ] || fail "$kind: registered products: $(products "$name")"
    # A rebuilt package of the same version is the same product: not a second one.
    msi any "rebuilt-$kind" /i "$work/rebuilt/nptrv32-$version-$kind.msi"
    [ "$(products "$name")" = "$name $version" ] || fail "$kind: after the rebuilt package: $(products "$name")"

    # The demo road with the installed plug-in, found through the registry.
    local road=$work/road-$kind
    stop_wineserver  # the road copies the prefix: its registry files must be current
    NPTRV_DEMO_REGISTERED=1 "$source_dir/scripts/demo-road" "$tree" "$road" 3 >/dev/null 2>&1 ||
        fail "$kind: the demo road ended with $?: $(head -c 600 "$road/demo.err" 2>/dev/null)"
    local line
    for line in "plug-in $road_dll (from $road_key)" "control 1 Start"; do
        grep -qxF -- "$line" "$road/demo.log" 2>/dev/null || fail "$kind: the demo road printed no \"$line\""
    done
    END_OF_PATH=$storage awk 'BEGIN { end = ENVIRON["END_OF_PATH"] }
        index($0, "control 0 DllRegisterServer ") == 1 &&
        substr($0, length($0) - length(end) + 1) == end { found = 1 } END { exit !found }' "$road/demo.log" ||
        fail "$kind: the demo control was not placed at ...$storage"
    grep -q "^control 1 OnGetUrlAsFile " "$road/demo.log" 2>/dev/null ||
        fail "$kind: the demo control got no file"

    [ "$kind" = per-user ] && per_user_registration "$road"

    msi 0 "upgrade-$kind" /i "$newer" || return
    [ "$(products "$name")" = "$name $higher" ] || fail "$kind: after the upgrade: $(products "$name")"
    while IFS= read -r pair; do
        [ -n "$pair" ] || continue
        path=${pair%%=*}
        [ "$(ls "$prefix/drive_c/$(dirname "$path")" | grep -c '\.dll$')" = 1 ] ||
            fail "$kind: after the upgrade $(dirname "$path") holds $(ls "$prefix/drive_c/$(dirname "$path")")"
        cmp -s "$prefix/drive_c/$path" "$dist/${pair#*=}" || fail "$kind: after the upgrade C:/$path is not the released file"
    done <<<"$files"
    if msi fails "downgrade-$kind" /i "$released"; then
        # The refusal is the downgrade condition (the log names the newer product).
        grep -aq "WIX_DOWNGRADE_DETECTED = {" "$work/downgrade-$kind.log" ||
            fail "$kind: the older package failed for another reason than the newer version"
        rm -f "$work/downgrade-$kind.log"
    fi
    [ "$(products "$name")" = "$name $higher" ] || fail "$kind: after the refused older package: $(products "$name")"

    msi 0 "uninstall-$kind" /x "$newer" || return
    snapshot "$work/after-$kind"
    local hive changes
    for hive in files system.reg user.reg userdef.reg; do
        changes=$(diff "$work/before-$kind/$hive" "$work/after-$kind/$hive" | grep '^[<>]')
        [ -z "$changes" ] || fail "$kind: uninstall left $hive changed:"$'\n'"$(head -n 20 <<<"$changes")"
    done
    rm -rf "$work/before-$kind" "$work/after-$kind"
}

started=$SECONDS
user=$(ls "$prefix/drive_c/users" | grep -vx Public | head -n 1)
local_appdata=users/$user/AppData/Local
hkcu_plugins="HKCU\\$plugins"
user_dir="C:\\users\\$user\\AppData\\Local"
if [ "$bits" = 32 ]; then
    user_road_dll="$user_dir\\nptrv32\\nptrv32.dll" user_road_key="HKEY_CURRENT_USER\\$plugins"
    machine_road_dll='C:\Program Files (x86)\nptrv32\nptrv32.dll'
else
    user_road_dll="$user_dir\\nptrv32\\x64\\nptrv32.dll" user_road_key="HKEY_CURRENT_USER\\$plugins-x64"
    machine_road_dll='C:\Program Files\nptrv32\nptrv32.dll'
fi

package_cycle per-user "nptrv32 OLE control plug-in (this user)" \
    "$local_appdata/nptrv32/nptrv32.dll=nptrv32.dll
$local_appdata/nptrv32/x64/nptrv32.dll=nptrv32-x64.dll" "
32|$hkcu_plugins|Path|$user_dir\\nptrv32\\nptrv32.dll
32|$hkcu_plugins-x64|Path|$user_dir\\nptrv32\\x64\\nptrv32.dll
64|$hkcu_plugins-x64|Path|$user_dir\\nptrv32\\x64\\nptrv32.dll
32|$hkcu_plugins|Version|$version
32|$hkcu_plugins\\$mime_key|Suffixes|opf
32|HKCU\\Software\\Trevalon\\Trevalon\\Directories|Ocx Storage|$user_dir\\Trevalon\\Controls" \
    "$user_road_dll" "$user_road_key" "$user_dir\\Trevalon\\Controls\\democtl.ocx"

package_cycle per-machine "nptrv32 OLE control plug-in" \
    "Program Files (x86)/nptrv32/nptrv32.dll=nptrv32.dll
Program Files/nptrv32/nptrv32.dll=nptrv32-x64.dll" "
32|HKLM\\$plugins|Path|C:\\Program Files (x86)\\nptrv32\\nptrv32.dll
64|HKLM\\$plugins|Path|C:\\Program Files\\nptrv32\\nptrv32.dll
32|HKLM\\$plugins|Version|$version
64|HKLM\\$plugins|Version|$version
32|HKLM\\$plugins\\$mime_key|Suffixes|opf
64|HKLM\\$plugins\\$mime_key|Suffixes|opf
64|HKLM\\$plugins|Vendor|nptrv32 project" \
    "$machine_road_dll" "HKEY_LOCAL_MACHINE\\$plugins" "\\system32\\democtl.ocx"

echo "installer test: $((SECONDS - started)) s for both packages"
[ $failures = 0 ] && echo "installer_test: all passed"
exit $((failures > 0))
