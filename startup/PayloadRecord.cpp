#include "PayloadRecord.h"

static WCHAR s_szPaths[PAYLOAD_RECORD_MAX][MAX_PATH + 4];
static int s_nPaths = 0;

void RecordWrittenPayload(LPCWSTR pszPath)
{
    for (int i = 0; i < s_nPaths; ++i) {
        if (::lstrcmpiW(s_szPaths[i], pszPath) == 0)
            return;
    }
    if (s_nPaths < PAYLOAD_RECORD_MAX)
        ::lstrcpynW(s_szPaths[s_nPaths++], pszPath, ARRAYSIZE(s_szPaths[0]));
}

int GetWrittenPayloadCount() { return s_nPaths; }

LPCWSTR GetWrittenPayload(int i) { return (i >= 0 && i < s_nPaths) ? s_szPaths[i] : NULL; }

void RemoveWrittenPayloads()
{
    for (int i = 0; i < s_nPaths; ++i) {
        if (!::DeleteFileW(s_szPaths[i]) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
            ::MoveFileExW(s_szPaths[i], NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    s_nPaths = 0;
}
