// The system health notice of the choice page: one sentence from the age of the Windows
// installation (GetInstallDate, TimeUtil.h), more than 90 days old or else "a lot of junk".
// CMainDlg::ShowHealthNotice places it on the choice page.
#pragma once
#include <windows.h>

// Age in whole days between the two times, in unsigned 32-bit arithmetic (a date in the
// future wraps around to a large age).
DWORD GetInstallAgeDays(DWORD dwInstallDate, DWORD dwNow);

// The notice markup for the two times, into pszOut (cchOut characters).
void FormatHealthNotice(LPWSTR pszOut, int cchOut, DWORD dwInstallDate, DWORD dwNow);
