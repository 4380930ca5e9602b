#include "HandoffHold.h"
#include <shlobj.h>
#include <shlwapi.h>
#include "startup/Payload.h"

BOOL CHandoffHold::HoldFolderAndWriteTool(LPCWSTR pszFolder, LPCWSTR pszToolName)
{
    // The folder is held first, so that the folder the tool is checked in is the one it runs
    // from; it may be missing until the writer creates it.
    if (!m_folder.HoldFolder(pszFolder)) {
        ::SHCreateDirectoryExW(NULL, pszFolder, NULL);
        if (!m_folder.HoldFolder(pszFolder))
            return FALSE;
    }
    return ExtractHeldResourceFile(PAYLOAD_ID_RESTORE, pszFolder, pszToolName, &m_tool);
}

BOOL CHandoffHold::HoldImage(LPCWSTR pszImagePath) { return m_image.IsHeld() || m_image.Hold(pszImagePath); }

BOOL CHandoffHold::HoldMarker(LPCWSTR pszFolder, LPCWSTR pszName)
{
    WCHAR szPath[MAX_PATH + 4];
    ::lstrcpynW(szPath, pszFolder, ARRAYSIZE(szPath));
    if (!::PathAppendW(szPath, pszName))
        return FALSE;
    return m_marker.Hold(szPath) && m_marker.ContentEquals(NULL, 0);
}

void CHandoffHold::Release()
{
    m_marker.Release();
    m_image.Release();
    m_tool.Release();
    m_folder.Release();
}
