// CRestoreWait: an optional, bounded stay before the restore tool exits, so tests can see
// "the tool is still running". Asked for by the environment variable KV_RESTORE_WAIT
// (seconds) or by a file "restore.wait" in the tool's folder (seconds as decimal text;
// empty or unreadable means RESTORE_WAIT_DEFAULT_S). A file-asked wait also ends as soon
// as the file is deleted. Every wait is cut to RESTORE_WAIT_MAX_S.
#pragma once
#include <windows.h>
#include "restore/RestoreFolder.h"

enum {
    RESTORE_WAIT_MAX_S = 600,
    RESTORE_WAIT_DEFAULT_S = 60,
    RESTORE_WAIT_POLL_MS = 100,
};

class CRestoreWait
{
public:
    CRestoreWait();

    // Reads the environment variable first, then the file.
    void Configure(const CRestoreFolder& folder);
    DWORD GetSeconds() const { return m_dwSeconds; }
    BOOL IsFromFile() const { return m_bFromFile; }
    // Sleeps for the configured time (or until the wait file is gone).
    void Wait() const;

    // Leading decimal digits of pszText, cut to RESTORE_WAIT_MAX_S; FALSE when there are none.
    static BOOL ParseSeconds(LPCWSTR pszText, DWORD* pdwSeconds);

private:
    BOOL ReadWaitFile(const CRestoreFolder& folder);

    DWORD m_dwSeconds;
    BOOL m_bFromFile;
    WCHAR m_szWaitFile[RESTORE_PATH_CCH];
};
