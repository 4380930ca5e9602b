// The elevated re-launch: the "/uac" marker that the elevated copy carries on its command
// line, and the one "runas" start of the program's own file with that marker appended.
#pragma once
#include <windows.h>

#define RELAUNCH_PARAMS_CCH 512
#define RELAUNCH_MARKER L"/uac"

// TRUE when the argument string holds "/uac" in any letter case, anywhere.
BOOL HasElevationMarker(LPCWSTR pszArgs);

// pszOut (cchOut characters) = the arguments followed directly by "/uac". Arguments too
// long to leave room for the marker are cut first, so the marker is always there.
BOOL BuildRelaunchParams(LPCWSTR pszArgs, LPWSTR pszOut, int cchOut);

// Starts pszModule elevated ("runas") with the re-launch parameters; the outcome of the
// start (a refused prompt included) is not reported.
void RelaunchElevated(LPCWSTR pszModule, LPCWSTR pszArgs);
