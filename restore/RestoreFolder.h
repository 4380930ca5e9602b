// CRestoreFolder: the folder the restore tool lies in (the image folder of the hand-off)
// and the few file questions the tool asks about it. Nothing here opens or changes a file
// other than through explicit callers.
#pragma once
#include <windows.h>

enum { RESTORE_PATH_CCH = 520 };

class CRestoreFolder
{
public:
    CRestoreFolder();

    // Takes the folder from the module's own path; FALSE when the path does not fit.
    BOOL InitFromModule(HMODULE hModule);
    // Sets the folder directly (without a trailing backslash).
    BOOL InitFromPath(LPCWSTR pszFolder);

    LPCWSTR GetPath() const { return m_szFolder; }
    // pszOut = folder + "\" + pszName; FALSE (and an empty pszOut) when it does not fit.
    BOOL Join(LPCWSTR pszName, LPWSTR pszOut, int cchOut) const;
    // TRUE when pszName exists in the folder; *pbFolder tells whether it is a folder and
    // *pullSize gives a file's size. Reads attributes only (no open, no access-time change).
    BOOL Stat(LPCWSTR pszName, BOOL* pbFolder, ULONGLONG* pullSize) const;

private:
    WCHAR m_szFolder[RESTORE_PATH_CCH];
};
