#include "restore/RestoreLog.h"
#include <shlwapi.h>

static const WCHAR kLogName[] = L"restore.log";

void CRestoreLog::Quote(LPCWSTR pszText, LPWSTR pszOut, int cchOut)
{
    // Room for the closing quote, "..." and the terminator is kept back at every step.
    const int cchTail = 5;
    int o = 0;
    if (cchOut < cchTail + 2) {
        if (cchOut > 0)
            pszOut[0] = 0;
        return;
    }
    pszOut[o++] = L'"';
    BOOL bCut = FALSE;
    for (LPCWSTR p = pszText ? pszText : L""; *p; ++p) {
        WCHAR szEsc[8];
        WCHAR c = *p;
        if (c == L'"' || c == L'\\')
            wnsprintfW(szEsc, ARRAYSIZE(szEsc), L"\\%c", c);
        else if (c == L'\r')
            lstrcpynW(szEsc, L"\\r", ARRAYSIZE(szEsc));
        else if (c == L'\n')
            lstrcpynW(szEsc, L"\\n", ARRAYSIZE(szEsc));
        else if (c == L'\t')
            lstrcpynW(szEsc, L"\\t", ARRAYSIZE(szEsc));
        else if (c < 0x20 || c == 0x7F)
            wnsprintfW(szEsc, ARRAYSIZE(szEsc), L"\\x%02x", (unsigned)c);
        else {
            szEsc[0] = c;
            szEsc[1] = 0;
        }
        int n = lstrlenW(szEsc);
        if (o + n + cchTail > cchOut) {
            bCut = TRUE;
            break;
        }
        lstrcpynW(pszOut + o, szEsc, cchOut - o);
        o += n;
    }
    pszOut[o++] = L'"';
    if (bCut) {
        lstrcpynW(pszOut + o, L"...", cchOut - o);
        o += 3;
    }
    pszOut[o] = 0;
}

void CRestoreLog::FormatSize(ULONGLONG ull, LPWSTR pszOut, int cchOut)
{
    WCHAR szRev[24];
    int n = 0;
    do {
        szRev[n++] = (WCHAR)(L'0' + (int)(ull % 10));
        ull /= 10;
    } while (ull && n < (int)ARRAYSIZE(szRev));
    int o = 0;
    while (n > 0 && o + 1 < cchOut)
        pszOut[o++] = szRev[--n];
    if (cchOut > 0)
        pszOut[o] = 0;
}

void CRestoreLog::Format(const SYSTEMTIME& st, LPCWSTR pszCommandLine, const CRestoreFolder& folder,
                         const CHandOffCheck& check, DWORD dwWaitSeconds)
{
    WCHAR szCmd[RESTORE_QUOTED_CCH], szFolder[RESTORE_QUOTED_CCH], szSize[24];
    Quote(pszCommandLine, szCmd, ARRAYSIZE(szCmd));
    Quote(folder.GetPath(), szFolder, ARRAYSIZE(szFolder));
    if (check.HasImageSize())
        FormatSize(check.GetImageSize(), szSize, ARRAYSIZE(szSize));
    else
        lstrcpynW(szSize, L"-", ARRAYSIZE(szSize));
    wnsprintfW(m_szLine, RESTORE_LINE_CCH,
               L"%04u-%02u-%02u %02u:%02u:%02u cmdline=%s folder=%s image=%s size=%s marker=%s wait=%us result=%s%s",
               st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, szCmd, szFolder,
               check.GetImage() ? check.GetImage() : L"-", szSize, check.GetMarker() ? check.GetMarker() : L"-",
               (unsigned)dwWaitSeconds, check.IsOk() ? L"ok" : L"failed: ", check.GetProblems());
}

BOOL CRestoreLog::Append(const CRestoreFolder& folder) const
{
    WCHAR szPath[RESTORE_PATH_CCH];
    // Worst case 3 bytes per UTF-16 unit, plus CR LF.
    char szUtf8[RESTORE_LINE_CCH * 3 + 2];
    if (!folder.Join(kLogName, szPath, RESTORE_PATH_CCH))
        return FALSE;
    int n = WideCharToMultiByte(CP_UTF8, 0, m_szLine, -1, szUtf8, RESTORE_LINE_CCH * 3, NULL, NULL);
    if (n <= 0)
        return FALSE;
    n -= 1;  // drop the terminator
    szUtf8[n++] = '\r';
    szUtf8[n++] = '\n';

    HANDLE h = CreateFileW(szPath, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD dwWritten = 0;
    BOOL bOk = WriteFile(h, szUtf8, (DWORD)n, &dwWritten, NULL) && dwWritten == (DWORD)n;
    CloseHandle(h);
    return bOk;
}
