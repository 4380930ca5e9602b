// The elevated re-launch: the "/uac" marker that the elevated copy carries on its command
// line, the one "runas" start of the program's own file with that marker appended, and the
// start-up step that decides between going on, re-launching and the "提权失败" box.
#pragma once
#include <windows.h>

#define RELAUNCH_PARAMS_CCH 512
#define RELAUNCH_MARKER     L"/uac"

// The administrator test and the shell call of the elevation step. NULL (the default)
// means the system's IsUserAnAdmin and ShellExecuteW; tests put stand-ins here to run the
// step without a real administrator check or elevation prompt.
typedef BOOL(WINAPI* PFN_ISUSERANADMIN)();
typedef HINSTANCE(WINAPI* PFN_SHELLEXECUTEW)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern PFN_ISUSERANADMIN g_pfnIsUserAnAdmin;
extern PFN_SHELLEXECUTEW g_pfnShellExecuteW;

// TRUE when the argument string holds "/uac" in any letter case, anywhere.
BOOL HasElevationMarker(LPCWSTR pszArgs);

// pszOut (cchOut characters) = the arguments followed directly by "/uac". Arguments too
// long to leave room for the marker are cut first, so the marker is always there.
BOOL BuildRelaunchParams(LPCWSTR pszArgs, LPWSTR pszOut, int cchOut);

// Starts pszModule elevated ("runas") with the re-launch parameters; the outcome of the
// start (a refused prompt included) is not reported.
void RelaunchElevated(LPCWSTR pszModule, LPCWSTR pszArgs);

// The first start-up step. TRUE when the program runs as administrator and goes on; FALSE
// when it has started its elevated copy or, being that copy and still without the rights,
// has shown the "提权失败" box: the program then ends with 0.
BOOL EnsureElevated(LPCWSTR pszModule, LPCWSTR pszArgs);
