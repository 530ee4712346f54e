#!/usr/bin/env bash
# nphost runs a page's scripts against a tiny scriptable plug-in: each case
# of the page's table logs "ok NAME" or "FAIL NAME: why"; the log must show
# every case passed, the NPRuntime calls, timers (one that never ends is
# stopped) and an external script,
# and the instance's objects let go of at teardown with script references
# alive. The second embed answers no scriptable object.
#
#   script_page_test.sh SOURCE_DIR NPHOST_EXE PLUGIN_DLL
set -uo pipefail
source_dir=$1
nphost_exe=$2
plugin_dll=$3
wine_run=$source_dir/scripts/wine-run
work=$(mktemp -d)
trap '[ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_line() { grep -Eq -- "$1" "$work/out" || fail "no log line matches: $1"; }

printf 'x' >"$work/x.opf"
cat >"$work/more.js" <<'JS'
console.log("ok external script sees " + typeof check);
JS
cat >"$work/page.html" <<'HTML'
<embed id="a" src="x.opf" width=50 height=50>
<embed id="b" src="x.opf" width=50 height=50 scriptable=no>
<!-- <script>console.log("FAIL commented script ran")</script> -->
<script>
var a = document.getElementById("a");
var passed = 0, failed = 0;
function report(name, ok, why) {
    if (ok) { passed++; console.log("ok " + name); }
    else { failed++; console.log("FAIL " + name + ": " + why); }
}
function check(name, f) {
    try { var r = f(); report(name, r === true, "got " + r); }
    catch (e) { report(name, false, String(e)); }
}
function throws(name, f, text) {
    try { f(); report(name, false, "no exception"); }
    catch (e) { report(name, String(e).indexOf(text) >= 0, String(e)); }
}
var got = null;
[
  ["int32", function () { return a.echo(42) === 42 && a.typeOf(-7) === "int32"; }],
  ["double", function () { return a.echo(1.5) === 1.5 && a.typeOf(2147483648) === "double"; }],
  ["string", function () { return a.echo("h\u00e9 <x>") === "h\u00e9 <x>" && a.typeOf("") === "string"; }],
  ["bool", function () { return a.echo(false) === false && a.typeOf(true) === "bool"; }],
  ["null and void", function () { return a.echo(null) === null && a.typeOf() === "void" && a.echo() === undefined; }],
  ["script object round trip", function () { var o = {k: 1}; return a.echo(o) === o; }],
  ["plug-in object round trip", function () { return a.echo(a) === a && a.typeOf(a) === "object"; }],
  ["property set and get", function () { a.value = "seven"; a.value = 7; return a.value === 7; }],
  ["in", function () { return "echo" in a && "value" in a && !("nothing" in a); }],
  ["missing member", function () { return a.nothing === undefined; }],
  ["enumerate", function () {
      var s = []; for (var k in a) s.push(k);
      return Object.keys(a).join() === "value,echo" && s.join() === "value,echo"; }],
  ["call the object", function () { return a() === "default"; }],
  ["window property", function () { window.marker = 5; return a.windowProperty("marker") === 5; }],
  ["element attribute", function () { return a.elementAttribute("id") === "a"; }],
  ["evaluate", function () { return a.evaluate("marker * 2") === 10; }],
  ["listener with arguments", function () {
      a.addEventListener("ping", function (x, y) { got = [x, y]; return "back"; });
      return a.fire("ping", 2, "three") === "back" && got[0] === 2 && got[1] === "three"; }],
  ["not scriptable, unknown id", function () {
      return document.getElementById("b") === null && document.getElementById("zz") === null; }],
  ["embeds", function () { var e = document.embeds; return e.length === 2 && e[0] === a && e[1] === null; }],
].forEach(function (c) { check(c[0], c[1]); });
throws("exception set by the plug-in", function () { a.fail("bad thing"); }, "bad thing");
throws("failed property", function () { a.nothing = 1; }, "cannot be set");
throws("listener that throws", function () {
    a.addEventListener("boom", function () { throw new Error("inside"); });
    a.fire("boom"); }, "fire failed");
throws("nested calls are bounded", function () { function r() { return a.call(r); } r(); }, "call failed");
throws("long strings are refused", function () {
    var s = "x"; while (s.length <= (1 << 20)) s += s; a.echo(s); }, "too long");
throws("script errors stay in the script", function () { undefinedFunction(); }, "ReferenceError");
setTimeout(function () { for (;;) {} }, 20);  // ended by the time limit
setTimeout(function () { console.log("ok timer after " + passed + " passed, " + failed + " failed"); }, 50);
var kept = a;  // alive at teardown
</script>
<script src="more.js"></script>
HTML

timeout 120 "$wine_run" "$nphost_exe" "$(winpath "$work/page.html")" --plugin "$(winpath "$plugin_dll")" \
    --run-for 0.5 >"$work/out.crlf" 2>"$work/err"
status=$?
tr -d '\r' <"$work/out.crlf" >"$work/out"
[ $status = 0 ] || fail "nphost ended with $status: $(cat "$work/err")"
grep -E "console.log FAIL" "$work/out" >&2 && fail "a script case failed"
expect_line "console.log ok timer after 24 passed, 0 failed$"
expect_line "console.log ok external script sees function$"
expect_line "-> NPP_GetValue #1 NPPVpluginScriptableNPObject = obj#[0-9]+$"
expect_line "-> NPP_GetValue #2 NPPVpluginScriptableNPObject = error 1$"
expect_line "<- NPN_SetException obj#[0-9]+ \"bad thing\"$"
expect_line "<- NPN_InvokeDefault obj#[0-9]+ \(2 args\)$"
expect_line "script error \(invokeDefault\): Error: inside"
expect_line "too many nested calls between the page and the plug-in"
expect_line "script error \(timer\): RangeError: execution timeout"
expect_line "<- NPN_Evaluate obj#[0-9]+ \"marker \* 2\"$"
# Teardown: the page lets go of the plug-in's object before NPP_Destroy.
awk '/the page lets go of obj#/ { let = NR } /-> NPP_Destroy #1$/ { destroy = NR }
     END { exit !(let && destroy && let < destroy) }' "$work/out" ||
    fail "the page did not let go of the object before NPP_Destroy"
expect_line "-> NP_Shutdown$"

[ $failures = 0 ] && echo "script_page_test: all passed"
exit $((failures > 0))
