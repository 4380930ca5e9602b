// What the hand-off gives the restore tool, held until the tool has ended: the image from
// before it is checked, then the image folder, the tool and the marker, each open so that
// the tool can start and read them but nobody can write, rename or delete them. The tool is
// checked against the program's resource, the marker for being empty, through the holds.
#pragma once
#include <windows.h>
#include "startup/HeldFile.h"

class CHandoffHold
{
public:
    // The folder, then the tool written into it (ExtractHeldResourceFile); FALSE when the
    // tool is not held as the program's own bytes.
    BOOL HoldFolderAndWriteTool(LPCWSTR pszFolder, LPCWSTR pszToolName);
    BOOL HoldImage(LPCWSTR pszImagePath);  // held already: TRUE
    BOOL HoldsImage() const { return m_image.IsHeld(); }
    void ReleaseImage() { m_image.Release(); }
    BOOL HoldMarker(LPCWSTR pszFolder, LPCWSTR pszName);  // held and empty
    void Release();

    LPCWSTR ToolPath() const { return m_tool.Path(); }  // empty when not held

private:
    CHeldFile m_folder;
    CHeldFile m_tool;
    CHeldFile m_image;
    CHeldFile m_marker;
};
