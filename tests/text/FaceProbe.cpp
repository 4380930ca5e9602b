// Writes, as one UTF-8 line, what the skin fonts of this process became:
// "version=XXXXXXXX face=<face of font 1> heights=... weights=..." to the file named by the
// first argument, or to "<own path>.txt" when there is none (the shell-link test starts it
// with no arguments). Exit code 0 when all eight fonts exist.
#include <windows.h>
#include <shlwapi.h>
#include "som/SomSkin.h"

int wmain(int argc, wchar_t** argv)
{
    WCHAR szOut[MAX_PATH + 8];
    if (argc > 1) {
        lstrcpynW(szOut, argv[1], MAX_PATH);
    } else {
        DWORD n = GetModuleFileNameW(NULL, szOut, MAX_PATH);
        szOut[n < MAX_PATH ? n : MAX_PATH - 1] = 0;
        lstrcatW(szOut, L".txt");
    }

    SomStartup();
    WCHAR szLine[1024];
    int cch = wnsprintfW(szLine, 1024, L"version=%08X", GetVersion());
    BOOL bAll = TRUE;
    for (int i = 0; i < SOM_FONT_COUNT; ++i) {
        LOGFONTW lf;
        ZeroMemory(&lf, sizeof(lf));
        if (g_skin.m_hFonts[i] == NULL || !GetObjectW(g_skin.m_hFonts[i], sizeof(lf), &lf))
            bAll = FALSE;
        if (i == 0)
            cch += wnsprintfW(szLine + cch, 1024 - cch, L" face=%s", lf.lfFaceName);
        cch += wnsprintfW(szLine + cch, 1024 - cch, L" f%d=%ld/%ld", i + 1, lf.lfHeight, lf.lfWeight);
    }
    SomShutdown();

    char szUtf8[4096];
    int cb = WideCharToMultiByte(CP_UTF8, 0, szLine, -1, szUtf8, sizeof(szUtf8), NULL, NULL);
    HANDLE h = CreateFileW(szOut, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 2;
    DWORD cbWritten = 0;
    WriteFile(h, szUtf8, cb > 0 ? cb - 1 : 0, &cbWritten, NULL);
    CloseHandle(h);
    return bAll ? 0 : 1;
}
