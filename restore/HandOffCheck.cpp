#include "restore/HandOffCheck.h"
#include <shlwapi.h>

// The installer starts the tool with application name = tool path and exactly this
// command line, so the tool's own path is not part of it.
static const WCHAR kCommandLine[] = L" /set";

static const WCHAR kMarkerXp[] = L"xp.cfg";
static const WCHAR kMarkerWin7[] = L"win7.cfg";
static const WCHAR kImageXp[] = L"xp.vex";
static const WCHAR kImageWin7[] = L"win7u32.vex";

CHandOffCheck::CHandOffCheck() : m_pszMarker(NULL), m_pszImage(NULL), m_bImageFile(FALSE), m_ullImageSize(0)
{
    m_szProblems[0] = 0;
}

BOOL CHandOffCheck::Run(const CRestoreFolder& folder, LPCWSTR pszCommandLine)
{
    CheckCommandLine(pszCommandLine);
    CheckMarkers(folder);
    if (m_pszImage)
        CheckImage(folder);
    return IsOk();
}

void CHandOffCheck::CheckCommandLine(LPCWSTR pszCommandLine)
{
    // Exact, case-sensitive: the blank and the letter case are part of the promise.
    if (!pszCommandLine || lstrcmpW(pszCommandLine, kCommandLine) != 0)
        AddProblem(L"command line is not \"%s\"", kCommandLine);
}

void CHandOffCheck::StatMarker(const CRestoreFolder& folder, LPCWSTR pszName, BOOL* pbFound)
{
    BOOL bFolder;
    ULONGLONG ullSize;
    *pbFound = FALSE;
    if (!folder.Stat(pszName, &bFolder, &ullSize))
        return;
    if (bFolder)
        AddProblem(L"%s is a folder, not a marker file", pszName);
    else
        *pbFound = TRUE;
}

void CHandOffCheck::CheckMarkers(const CRestoreFolder& folder)
{
    BOOL bXp, bWin7;
    StatMarker(folder, kMarkerXp, &bXp);
    StatMarker(folder, kMarkerWin7, &bWin7);
    if (bXp && bWin7) {
        AddProblem(L"both %s and win7.cfg exist", kMarkerXp);
    } else if (bXp) {
        m_pszMarker = kMarkerXp;
        m_pszImage = kImageXp;
    } else if (bWin7) {
        m_pszMarker = kMarkerWin7;
        m_pszImage = kImageWin7;
    } else {
        AddProblem(L"neither %s nor win7.cfg exists", kMarkerXp);
    }
}

void CHandOffCheck::CheckImage(const CRestoreFolder& folder)
{
    BOOL bFolder;
    BOOL bExists = folder.Stat(m_pszImage, &bFolder, &m_ullImageSize);
    m_bImageFile = bExists && !bFolder;
    if (!bExists)
        AddProblem(L"image %s is not in the tool's folder", m_pszImage);
    else if (bFolder)
        AddProblem(L"image %s is a folder", m_pszImage);
    else if (m_ullImageSize == 0)
        AddProblem(L"image %s is empty", m_pszImage);
}

void CHandOffCheck::AddProblem(LPCWSTR pszFormat, LPCWSTR pszArg)
{
    WCHAR szOne[256];
    wnsprintfW(szOne, ARRAYSIZE(szOne), pszFormat, pszArg);
    int n = lstrlenW(m_szProblems);
    if (n > 0 && n + 2 < HANDOFF_PROBLEMS_CCH) {
        lstrcpynW(m_szProblems + n, L"; ", HANDOFF_PROBLEMS_CCH - n);
        n += 2;
    }
    lstrcpynW(m_szProblems + n, szOne, HANDOFF_PROBLEMS_CCH - n);
}
