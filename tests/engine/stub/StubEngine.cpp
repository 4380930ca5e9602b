// A "DLEngine.dll" that lacks DLGetErrorMsg: binding it must fail and release it.
#include <windows.h>

extern "C" {
BOOL WINAPI DLInitDownloadEngine(void) { return TRUE; }
LONG WINAPI DLURLDownloadToFile(LPCWSTR, LPCWSTR, LPCWSTR, LONG*) { return 1; }
LONG WINAPI DLQueryTaskInfo(LONG, LONG*, ULONGLONG*, ULONGLONG*) { return 1; }
LONG WINAPI DLPauseTask(LONG, BOOL) { return 1; }
LONG WINAPI DLContinueTask(LONG) { return 1; }
LONG WINAPI DLContinueTaskFromWorkFile(LPCWSTR, LONG*) { return 1; }
LONG WINAPI DLStopTask(LONG) { return 0; }
LONG WINAPI DLUninitDownloadEngine(void) { return 0; }
}
