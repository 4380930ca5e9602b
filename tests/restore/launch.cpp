// Test launcher: starts a program the way the installer starts the restore tool
// (application name = the program's path, a separate command line, SW_SHOW, no inherited
// handles), waits for it with a time limit and prints its exit code and run time.
//   restore_launch TOOL set        command line " /set"
//   restore_launch TOOL none       no command line (the system then uses the path)
//   restore_launch TOOL text:ARGS  command line ARGS, exactly
// Exit code: the tool's, or 99 when it could not be started or overran the limit.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static const DWORD kLimitMs = 120000;

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fwprintf(stderr, L"usage: restore_launch TOOL set|none|text:ARGS\n");
        return 99;
    }
    static wchar_t szCmd[2048];
    wchar_t* pszCmd = szCmd;
    if (wcscmp(argv[2], L"set") == 0)
        wcsncpy(szCmd, L" /set", 2047);
    else if (wcscmp(argv[2], L"none") == 0)
        pszCmd = NULL;
    else if (wcsncmp(argv[2], L"text:", 5) == 0)
        wcsncpy(szCmd, argv[2] + 5, 2047);
    else {
        fwprintf(stderr, L"restore_launch: unknown mode %ls\n", argv[2]);
        return 99;
    }

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi = {};
    DWORD dwStart = GetTickCount();
    if (!CreateProcessW(argv[1], pszCmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fwprintf(stderr, L"restore_launch: CreateProcessW failed, error %lu\n", GetLastError());
        return 99;
    }
    DWORD dwWait = WaitForSingleObject(pi.hProcess, kLimitMs);
    DWORD dwCode = 99;
    if (dwWait == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &dwCode);
    else
        TerminateProcess(pi.hProcess, 99);  // our own child, overrunning the limit
    wprintf(L"exit=%lu ms=%lu\n", dwCode, GetTickCount() - dwStart);
    fflush(stdout);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)dwCode;
}
