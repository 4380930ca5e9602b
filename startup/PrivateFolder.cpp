#include "PrivateFolder.h"
#include <sddl.h>
#include <shlwapi.h>
#include <wincrypt.h>

// Random names drawn before giving up; each collision with an existing name costs one.
static const int kNameAttempts = 8;

BOOL RandomHex(LPWSTR pszOut, DWORD cb)
{
    BYTE bytes[32];
    if (cb > sizeof(bytes))
        return FALSE;
    HCRYPTPROV hProv = 0;
    if (!::CryptAcquireContextW(&hProv, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        return FALSE;
    BOOL bOk = ::CryptGenRandom(hProv, cb, bytes);
    ::CryptReleaseContext(hProv, 0);
    if (!bOk)
        return FALSE;
    static const WCHAR kHex[] = L"0123456789abcdef";
    for (DWORD i = 0; i < cb; ++i) {
        pszOut[2 * i] = kHex[bytes[i] >> 4];
        pszOut[2 * i + 1] = kHex[bytes[i] & 0xF];
    }
    pszOut[2 * cb] = L'\0';
    SecureZeroMemory(bytes, sizeof(bytes));
    return TRUE;
}

BOOL CPrivateFolder::CreateNamed(LPCWSTR pszPath)
{
    PSECURITY_DESCRIPTOR pSD = NULL;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(PRIVATE_FOLDER_SDDL, SDDL_REVISION_1, &pSD, NULL))
        return FALSE;
    SECURITY_ATTRIBUTES sa = { sizeof(sa), pSD, FALSE };
    // Fails when anything already exists under the name, so a folder (or link) planted
    // there beforehand is never used.
    BOOL bOk = ::CreateDirectoryW(pszPath, &sa);
    ::LocalFree(pSD);
    return bOk;
}

BOOL CPrivateFolder::Create(LPCWSTR pszParent)
{
    Remove();
    WCHAR szParent[MAX_PATH + 4];
    if (pszParent != NULL)
        ::lstrcpynW(szParent, pszParent, ARRAYSIZE(szParent));
    else if (::GetTempPathW(ARRAYSIZE(szParent) - 1, szParent) == 0)
        return FALSE;

    for (int i = 0; i < kNameAttempts; ++i) {
        WCHAR szName[8 + 33];
        ::lstrcpynW(szName, PRIVATE_FOLDER_PREFIX, ARRAYSIZE(szName));
        if (!RandomHex(szName + lstrlenW(szName), 16))
            return FALSE;
        WCHAR szPath[MAX_PATH + 4];
        ::lstrcpynW(szPath, szParent, ARRAYSIZE(szPath));
        if (!::PathAppendW(szPath, szName))
            return FALSE;
        if (!CreateNamed(szPath)) {
            if (::GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return FALSE;
        }
        // Held at once, so the new folder cannot be renamed away and replaced.
        if (!m_hold.HoldFolder(szPath)) {
            ::RemoveDirectoryW(szPath);
            return FALSE;
        }
        ::lstrcpynW(m_szPath, szPath, ARRAYSIZE(m_szPath));
        return TRUE;
    }
    return FALSE;
}

void CPrivateFolder::Remove()
{
    if (m_szPath[0] == L'\0')
        return;
    m_hold.Release();
    WCHAR szPattern[MAX_PATH + 4];
    ::lstrcpynW(szPattern, m_szPath, ARRAYSIZE(szPattern));
    BOOL bAnyLeft = FALSE;
    if (::PathAppendW(szPattern, L"*")) {
        WIN32_FIND_DATAW fd;
        HANDLE hFind = ::FindFirstFileW(szPattern, &fd);
        if (hFind != INVALID_HANDLE_VALUE) {
            do {
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    continue;
                WCHAR szFile[MAX_PATH + 4];
                ::lstrcpynW(szFile, m_szPath, ARRAYSIZE(szFile));
                if (!::PathAppendW(szFile, fd.cFileName))
                    continue;
                if (!::DeleteFileW(szFile)) {
                    ::MoveFileExW(szFile, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
                    bAnyLeft = TRUE;
                }
            } while (::FindNextFileW(hFind, &fd));
            ::FindClose(hFind);
        }
    }
    // The folder goes after its files, also when they are deleted only at the restart.
    if (bAnyLeft || !::RemoveDirectoryW(m_szPath))
        ::MoveFileExW(m_szPath, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    m_szPath[0] = L'\0';
}
