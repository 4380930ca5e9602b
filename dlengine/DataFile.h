// CDataFile: the data work file "P.dl", which holds every received byte at its final offset.
// Sized to the whole file up front (sparse where the file system allows), written at
// explicit offsets from several connection threads at once, flushed before each record.
#pragma once
#include <windows.h>

class CDataFile
{
public:
    CDataFile();
    ~CDataFile();

    // Creates the folders of pszPath and the file itself (replacing any old one), sized to
    // ullSize when bSizeKnown. DLE_OK, DLE_CREATE_FILE, DLE_DISK_FULL or DLE_WRITE.
    LONG Create(LPCWSTR pszPath, ULONGLONG ullSize, BOOL bSizeKnown);
    // Opens an existing file. DLE_OK, DLE_WORKFILE_MISSING or DLE_CREATE_FILE.
    LONG Open(LPCWSTR pszPath);
    // Empties the file and sizes it again (the server's file changed).
    LONG Reset(ULONGLONG ullSize, BOOL bSizeKnown);
    LONG SetSize(ULONGLONG ullSize);
    // Safe to call from several threads at once. DLE_OK, DLE_DISK_FULL or DLE_WRITE.
    LONG Write(ULONGLONG ullOffset, const void* p, DWORD cb);
    LONG Flush();
    void Close();

    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    BOOL GetSize(ULONGLONG* pullSize) const;

    // Creates every missing folder on the way to the file pszPath.
    static BOOL CreateParentFolders(LPCWSTR pszPath);

private:
    HANDLE m_hFile;  // owned
};
