// The hand-off to the restore tool: when the image is complete the tool "Braskmir.exe" is
// written beside it with an empty marker naming the image kind ("xp.cfg" or "win7.cfg"),
// started with " /set" and waited for. CMainDlg::OnImageComplete runs the sequence.
#pragma once
#include <windows.h>

#define RESTORE_TOOL_NAME L"Braskmir.exe"
#define RESTORE_TOOL_ARGS L" /set"

// Creates pszFolder (with its parents) and an empty file pszName in it; TRUE when the file
// exists afterwards. An existing file is left as it is.
BOOL CreateMarkerFile(LPCWSTR pszFolder, LPCWSTR pszName);

// Starts pszApp with the command line pszArgs (used as given, the program path is not
// prepended) and waits for it to end. While waiting, only paint messages of this thread
// are dispatched, so the window keeps drawing but takes no input or timers. TRUE when the
// process was started and its end observed.
BOOL RunAndWait(LPCWSTR pszApp, LPCWSTR pszArgs);
