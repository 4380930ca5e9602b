// CRestoreLog: the one line the restore tool appends to "restore.log" in its folder per
// run, in UTF-8: local time, the command line (quoted, escaped), the folder, the image and
// its size, the marker, the wait and the result with every broken hand-off promise.
#pragma once
#include <windows.h>
#include "restore/HandOffCheck.h"
#include "restore/RestoreFolder.h"

enum { RESTORE_LINE_CCH = 4096, RESTORE_QUOTED_CCH = 1100 };

class CRestoreLog
{
public:
    // Builds the line (without line end) into m_szLine.
    void Format(const SYSTEMTIME& st, LPCWSTR pszCommandLine, const CRestoreFolder& folder, const CHandOffCheck& check,
                DWORD dwWaitSeconds);
    // Appends m_szLine and CR LF to folder\restore.log (created when missing).
    BOOL Append(const CRestoreFolder& folder) const;
    LPCWSTR GetLine() const { return m_szLine; }

    // pszOut = '"' + pszText with \ " and control characters escaped C-style + '"'; a text
    // too long for the buffer is cut and ends in "...".
    static void Quote(LPCWSTR pszText, LPWSTR pszOut, int cchOut);
    // Decimal digits of a 64-bit value (wnsprintfW has no 64-bit conversion).
    static void FormatSize(ULONGLONG ull, LPWSTR pszOut, int cchOut);

private:
    WCHAR m_szLine[RESTORE_LINE_CCH];
};
