// A file or folder held open so that, while the hold lasts, no other opener can write,
// rename or delete it, though others may still read it, load it as a library or start it
// as a program. The payloads the program loads or starts are held from the moment their
// bytes are checked until they are no longer needed.
#pragma once
#include <windows.h>

class CHeldFile
{
public:
    CHeldFile() : m_hFile(INVALID_HANDLE_VALUE) { m_szPath[0] = L'\0'; }
    ~CHeldFile() { Release(); }

    // Opens the existing file for reading, sharing only reading. Fails (FALSE) when someone
    // else has it open for writing or deleting, or it is missing or a folder.
    BOOL Hold(LPCWSTR pszPath);
    // The same for a folder: its files can still be created and changed (by whoever the
    // folder's access rights allow), but the folder cannot be renamed or deleted.
    BOOL HoldFolder(LPCWSTR pszPath);
    void Release();

    BOOL IsHeld() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_hFile; }  // not owned by the caller
    LPCWSTR Path() const { return m_szPath; }

    // TRUE when the held file's whole content is exactly the cb bytes at pBytes; read
    // through the held handle, from its start.
    BOOL ContentEquals(const void* pBytes, DWORD cb) const;

private:
    BOOL Open(LPCWSTR pszPath, DWORD dwShare, DWORD dwFlags);

    HANDLE m_hFile;  // owned
    WCHAR m_szPath[MAX_PATH + 4];
};
