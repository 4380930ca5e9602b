// CHandOffCheck: tests what the installer's hand-off promises the restore tool: the tool's
// command line is " /set", exactly one marker (xp.cfg or win7.cfg) lies in its folder, and
// the image of that kind (xp.vex or win7u32.vex) lies there complete (a non-empty file).
// It collects every broken promise as text for the log.
#pragma once
#include <windows.h>
#include "restore/RestoreFolder.h"

enum { HANDOFF_PROBLEMS_CCH = 1024 };

class CHandOffCheck
{
public:
    CHandOffCheck();

    // Runs every test; TRUE when all hold.
    BOOL Run(const CRestoreFolder& folder, LPCWSTR pszCommandLine);

    BOOL IsOk() const { return m_szProblems[0] == 0; }
    LPCWSTR GetMarker() const { return m_pszMarker; }  // null when none decided
    LPCWSTR GetImage() const { return m_pszImage; }    // null when no kind decided
    BOOL HasImageSize() const { return m_bImageFile; }
    ULONGLONG GetImageSize() const { return m_ullImageSize; }
    LPCWSTR GetProblems() const { return m_szProblems; }  // "; "-separated, empty when OK

private:
    void CheckCommandLine(LPCWSTR pszCommandLine);
    void CheckMarkers(const CRestoreFolder& folder);
    void CheckImage(const CRestoreFolder& folder);
    // *pbFound: the marker is present as a file; a folder of that name is a problem.
    void StatMarker(const CRestoreFolder& folder, LPCWSTR pszName, BOOL* pbFound);
    void AddProblem(LPCWSTR pszFormat, LPCWSTR pszArg);

    LPCWSTR m_pszMarker;  // static string, not owned
    LPCWSTR m_pszImage;   // static string, not owned
    BOOL m_bImageFile;
    ULONGLONG m_ullImageSize;
    WCHAR m_szProblems[HANDOFF_PROBLEMS_CCH];
};
