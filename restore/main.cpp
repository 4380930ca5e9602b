// Braskmir.exe, the stand-in for the maker's restore tool: it performs no reinstallation.
// It checks what the installer's hand-off promises, appends one line about it to
// restore.log in its folder, optionally stays a bounded while, and exits 0 when every
// promise holds and 2 otherwise. It shows no window and changes nothing else.
#include <windows.h>
#include "restore/HandOffCheck.h"
#include "restore/RestoreFolder.h"
#include "restore/RestoreLog.h"
#include "restore/RestoreWait.h"

enum {
    RESTORE_EXIT_OK = 0,
    RESTORE_EXIT_FAILED = 2,
};

// Static, not on the stack: the log buffers are large.
static CRestoreLog g_log;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    CRestoreFolder folder;
    if (!folder.InitFromModule(NULL))
        return RESTORE_EXIT_FAILED;  // no folder: nowhere to look and nowhere to log

    // The full command line as the process received it; lpCmdLine would hide a leading
    // program name if the installer passed one.
    LPCWSTR pszCommandLine = GetCommandLineW();
    CHandOffCheck check;
    check.Run(folder, pszCommandLine);

    CRestoreWait wait;
    wait.Configure(folder);

    SYSTEMTIME st;
    GetLocalTime(&st);
    g_log.Format(st, pszCommandLine, folder, check, wait.GetSeconds());
    BOOL bLogged = g_log.Append(folder);

    wait.Wait();
    return check.IsOk() && bLogged ? RESTORE_EXIT_OK : RESTORE_EXIT_FAILED;
}
