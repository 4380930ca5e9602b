// The inline rich-text markup: tags between "{&#" and "}" select skin fonts, colours and
// links. SomParseMarkup turns a markup string into styled runs; SomLayoutRuns places them
// on one bottom-aligned line, measured in g_memDC. CSomTextWnd owns the resulting runs.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct SomTextRun
{
    std::wstring strText;  // never empty
    RECT rc;               // element coordinates, set by the layout
    HFONT hFont;           // a skin font (not owned), or null for the element's default
    LONG crColor;          // COLORREF as parsed, or negative for the element's default
    std::wstring strLink;  // empty when the run is not a link

    BOOL IsLink() const { return !strLink.empty(); }
};

// Replaces *pRuns with the runs of pszMarkup (null = empty).
void SomParseMarkup(LPCWSTR pszMarkup, std::vector<SomTextRun>* pRuns);

// Measures each run in its font (hDefFont when it has none) and places them left to right,
// aligned at the bottom of the line. Returns the line's size in *pSize.
void SomLayoutRuns(std::vector<SomTextRun>* pRuns, HFONT hDefFont, SIZE* pSize);

// Index of the first run whose box holds pt (element coordinates), or -1.
int SomRunAt(const std::vector<SomTextRun>& runs, POINT pt);

// The markup's colour value rules ("#"/"0x" hexadecimal, else decimal; wcstol saturation).
LONG SomParseColor(LPCWSTR pszValue);
