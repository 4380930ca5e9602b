#include "restore/RestoreWait.h"

static const WCHAR kWaitVariable[] = L"KV_RESTORE_WAIT";
static const WCHAR kWaitFile[] = L"restore.wait";

CRestoreWait::CRestoreWait() : m_dwSeconds(0), m_bFromFile(FALSE) { m_szWaitFile[0] = 0; }

BOOL CRestoreWait::ParseSeconds(LPCWSTR pszText, DWORD* pdwSeconds)
{
    while (*pszText == L' ' || *pszText == L'\t')
        ++pszText;
    if (*pszText < L'0' || *pszText > L'9')
        return FALSE;
    DWORD dw = 0;
    for (; *pszText >= L'0' && *pszText <= L'9'; ++pszText) {
        dw = dw * 10 + (DWORD)(*pszText - L'0');
        if (dw > RESTORE_WAIT_MAX_S)
            dw = RESTORE_WAIT_MAX_S;  // also keeps the sum from overflowing
    }
    *pdwSeconds = dw;
    return TRUE;
}

void CRestoreWait::Configure(const CRestoreFolder& folder)
{
    WCHAR szValue[32];
    DWORD n = GetEnvironmentVariableW(kWaitVariable, szValue, ARRAYSIZE(szValue));
    if (n > 0 && n < ARRAYSIZE(szValue)) {
        if (!ParseSeconds(szValue, &m_dwSeconds))
            m_dwSeconds = 0;
        return;
    }
    ReadWaitFile(folder);
}

BOOL CRestoreWait::ReadWaitFile(const CRestoreFolder& folder)
{
    if (!folder.Join(kWaitFile, m_szWaitFile, RESTORE_PATH_CCH))
        return FALSE;
    HANDLE h = CreateFileW(m_szWaitFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    char szText[16];
    DWORD dwRead = 0;
    if (!ReadFile(h, szText, sizeof(szText) - 1, &dwRead, NULL))
        dwRead = 0;
    CloseHandle(h);
    szText[dwRead] = 0;

    WCHAR szWide[16];
    int i = 0;
    for (; szText[i] && i + 1 < (int)ARRAYSIZE(szWide); ++i)
        szWide[i] = (WCHAR)(unsigned char)szText[i];
    szWide[i] = 0;
    if (!ParseSeconds(szWide, &m_dwSeconds))
        m_dwSeconds = RESTORE_WAIT_DEFAULT_S;
    m_bFromFile = TRUE;
    return TRUE;
}

void CRestoreWait::Wait() const
{
    const DWORD dwTotal = m_dwSeconds * 1000;
    const DWORD dwStart = GetTickCount();
    // The step count bounds the loop even if the tick count misbehaves.
    for (DWORD nSteps = dwTotal / RESTORE_WAIT_POLL_MS + 1; nSteps > 0; --nSteps) {
        if (GetTickCount() - dwStart >= dwTotal)
            break;
        if (m_bFromFile && GetFileAttributesW(m_szWaitFile) == INVALID_FILE_ATTRIBUTES)
            break;
        Sleep(RESTORE_WAIT_POLL_MS);
    }
}
