// The call log of a test control DLL: every test control object writes one
// line per call it receives, and tests read the lines back through the DLL's
// exports. The log is process-wide per DLL and kept in memory only.
//
// Each line is "<serial> <call>[ <args>]". The serial counts the objects that
// the DLL created in this process: 1, 2, 3, ... The calls:
//
//   Created                           the object was made by its class factory
//   Destroyed                         the object's destructor ran
//   SetClientSite                     a client site was given
//   SetClientSite null                the client site was taken away
//   Ambient UserMode=<n>              ambient UserMode read from the site's
//                                     IDispatch (VARIANT_BOOL: -1 or 0), or
//   Ambient UserMode=unavailable      when the site does not answer it
//   InitNew                           fresh state (Caption "Test control")
//   Load Caption=<text>               state loaded from a stream
//   Load failed                       the stream held no valid state
//   Save Caption=<text>               state written to a stream
//   SetExtent <cx>x<cy>               the extent as given (HIMETRIC)
//   DoVerb <verb> <l>,<t>,<r>,<b>     the verb and the position rectangle
//                                     ("<null>" when none was given)
//   InPlaceActivate failed <reason>   in-place activation stopped early
//   SetObjectRects <l>,<t>,<r>,<b>    the new position rectangle
//   InPlaceDeactivate                 the window went (only when active)
//   Close <option>                    IOleObject::Close with its save option
//   Advise / Unadvise                 an event sink joined or left
//   Start / Stop                      the methods were invoked
//   OnGetUrlAsFile <file>|<unused>|<requestId>|<reserved>
//                                     a null string is written "<null>"
//   OnNewControlStateChanged <classIdText> <state>
//   LongName                          the variant's long-named method ran
//   Fire <event> <url> <requestId>    a request event went to the sinks
//   Fire <event> args=<n>             FireRequestArgs fired with n arguments
//   Fire Clicked                      the second event went to the sinks
//   Kept <call> <hr>[ <n>]            keeps_site: CallKeptObjects called a
//                                     kept object; the result as 8 hex
//                                     digits (EnumObjects: and the count)
//
// When the environment variable TEST_CONTROL_ECHO_LOG is set (to anything),
// every line is also written to the process's standard output as
// "control <line>", and so is "control 0 DllRegisterServer <dll path>" when
// the DLL registers itself (serial 0: the module; that line is not kept).
// The demo shows the control's calls among the host's this way.
#pragma once

extern "C" {
// Copies the log, lines joined by '\n' and zero-terminated, into `buffer` when
// `size` is large enough; returns the size needed including the zero.
// `buffer` may be null when `size` is 0.
int __stdcall TestControlReadLog(char* buffer, int size);
// Forgets every line written so far (the serials keep counting).
void __stdcall TestControlClearLog();
// Copies when each kept line was written (QueryPerformanceCounter ticks), at
// most `count` of them; returns the number of lines kept.
int __stdcall TestControlReadLogTimes(long long* times, int count);
}
