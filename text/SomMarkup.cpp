// Markup parsing (one pass, four style stacks), the one-line layout and the run hit-test.
#include "SomMarkup.h"
#include <stdlib.h>
#include <wchar.h>
#include "frame/ScopedSelectObject.h"
#include "som/SomDrawSurfaces.h"
#include "som/SomSkin.h"

namespace {

// A stack whose bottom entry can never be popped, so surplus closing tags are harmless.
template <class T>
class StyleStack
{
public:
    explicit StyleStack(const T& bottom) { m_items.push_back(bottom); }
    void Push(const T& v) { m_items.push_back(v); }
    void Pop()
    {
        if (m_items.size() > 1)
            m_items.pop_back();
    }
    const T& Top() const { return m_items.back(); }

private:
    std::vector<T> m_items;
};

// Tag names are plain ASCII; only A-Z fold, so no other letter can pose as one.
WCHAR FoldAscii(WCHAR c) { return (c >= L'A' && c <= L'Z') ? (WCHAR)(c - L'A' + L'a') : c; }

// pszName is lower case. Compares at most cchText characters of pszText.
BOOL StartsWithNoCase(LPCWSTR pszText, size_t cchText, LPCWSTR pszName)
{
    size_t i = 0;
    for (; pszName[i] != 0; ++i) {
        if (i >= cchText || FoldAscii(pszText[i]) != pszName[i])
            return FALSE;
    }
    return TRUE;
}

enum TagKind {
    TAG_LINK,
    TAG_LINKCOLOR,
    TAG_END_LINKCOLOR,
    TAG_END_LINK,
    TAG_FONT,
    TAG_END_FONT,
    TAG_COLOR,
    TAG_END_COLOR,
    TAG_UNKNOWN
};

// Tested in this order: the first name the body starts with decides, so "/acolor"
// must come before "/a".
const struct
{
    LPCWSTR pszName;
    TagKind kind;
} kTagNames[] = {
    { L"a=", TAG_LINK },      { L"acolor=", TAG_LINKCOLOR }, { L"/acolor", TAG_END_LINKCOLOR },
    { L"/a", TAG_END_LINK },  { L"font=", TAG_FONT },        { L"/font", TAG_END_FONT },
    { L"color=", TAG_COLOR }, { L"/color", TAG_END_COLOR },
};

TagKind ClassifyTag(LPCWSTR pszBody, size_t cchBody, size_t* pcchName)
{
    for (size_t i = 0; i < sizeof(kTagNames) / sizeof(kTagNames[0]); ++i) {
        if (StartsWithNoCase(pszBody, cchBody, kTagNames[i].pszName)) {
            *pcchName = wcslen(kTagNames[i].pszName);
            return kTagNames[i].kind;
        }
    }
    *pcchName = 0;
    return TAG_UNKNOWN;
}

struct ParseState
{
    StyleStack<HFONT> fonts;
    StyleStack<LONG> colors;
    StyleStack<LONG> linkColors;
    StyleStack<std::wstring> links;
    std::wstring strPending;

    ParseState() : fonts(NULL), colors(-1), linkColors(-1), links(std::wstring()) {}
};

void Flush(ParseState* pState, std::vector<SomTextRun>* pRuns)
{
    if (pState->strPending.empty())
        return;
    SomTextRun run;
    run.strText.swap(pState->strPending);
    SetRectEmpty(&run.rc);
    run.hFont = pState->fonts.Top();
    run.strLink = pState->links.Top();
    // A link takes its colour only from the link-colour stack.
    run.crColor = run.strLink.empty() ? pState->colors.Top() : pState->linkColors.Top();
    pRuns->push_back(run);
}

void ApplyTag(ParseState* pState, TagKind kind, const std::wstring& strValue)
{
    switch (kind) {
    case TAG_LINK:
        pState->links.Push(strValue);
        break;
    case TAG_LINKCOLOR:
        pState->linkColors.Push(SomParseColor(strValue.c_str()));
        break;
    case TAG_END_LINKCOLOR:
        pState->linkColors.Pop();
        break;
    case TAG_END_LINK:
        pState->links.Pop();
        break;
    case TAG_FONT: {
        long n = wcstol(strValue.c_str(), NULL, 10);
        if (n >= 1 && n <= SOM_FONT_COUNT)
            pState->fonts.Push(g_skin.GetFont((int)n));
        break;
    }
    case TAG_END_FONT:
        pState->fonts.Pop();
        break;
    case TAG_COLOR:
        pState->colors.Push(SomParseColor(strValue.c_str()));
        break;
    case TAG_END_COLOR:
        pState->colors.Pop();
        break;
    case TAG_UNKNOWN:
        break;
    }
}

}  // namespace

LONG SomParseColor(LPCWSTR pszValue)
{
    if (pszValue == NULL)
        return 0;
    if (pszValue[0] == L'#')
        return wcstol(pszValue + 1, NULL, 16);
    if (pszValue[0] == L'0' && (pszValue[1] == L'x' || pszValue[1] == L'X'))
        return wcstol(pszValue + 2, NULL, 16);
    return wcstol(pszValue, NULL, 10);
}

void SomParseMarkup(LPCWSTR pszMarkup, std::vector<SomTextRun>* pRuns)
{
    pRuns->clear();
    if (pszMarkup == NULL)
        return;

    const size_t cch = wcslen(pszMarkup);
    // A "{&#" opens a tag only if some "}" follows it; past the last "}" all is literal.
    const WCHAR* pLastBrace = wcsrchr(pszMarkup, L'}');
    const size_t nLastBrace = pLastBrace ? (size_t)(pLastBrace - pszMarkup) : 0;

    ParseState state;
    size_t i = 0;
    while (i < cch) {
        if (pLastBrace != NULL && i + 3 <= nLastBrace && pszMarkup[i] == L'{' && pszMarkup[i + 1] == L'&' &&
            pszMarkup[i + 2] == L'#') {
            const size_t nBody = i + 3;
            const size_t nClose = (size_t)(wcschr(pszMarkup + nBody, L'}') - pszMarkup);
            Flush(&state, pRuns);
            size_t cchName = 0;
            TagKind kind = ClassifyTag(pszMarkup + nBody, nClose - nBody, &cchName);
            std::wstring strValue(pszMarkup + nBody + cchName, nClose - nBody - cchName);
            ApplyTag(&state, kind, strValue);
            i = nClose + 1;
            continue;
        }
        state.strPending.push_back(pszMarkup[i]);
        ++i;
    }
    Flush(&state, pRuns);
}

void SomLayoutRuns(std::vector<SomTextRun>* pRuns, HFONT hDefFont, SIZE* pSize)
{
    std::vector<SIZE> sizes(pRuns->size());
    LONG cyLine = 0;
    for (size_t i = 0; i < pRuns->size(); ++i) {
        const SomTextRun& run = (*pRuns)[i];
        HFONT hFont = run.hFont != NULL ? run.hFont : hDefFont;
        CScopedSelectObject font(g_memDC, hFont);
        SIZE sz = { 0, 0 };
        if (!::GetTextExtentPoint32W(g_memDC, run.strText.c_str(), (int)run.strText.size(), &sz)) {
            sz.cx = 0;  // an unmeasurable run takes no room
            sz.cy = 0;
        }
        sizes[i] = sz;
        if (sz.cy > cyLine)
            cyLine = sz.cy;
    }

    LONG x = 0;
    for (size_t i = 0; i < pRuns->size(); ++i) {
        RECT& rc = (*pRuns)[i].rc;
        rc.left = x;
        rc.right = x + sizes[i].cx;
        rc.bottom = cyLine;
        rc.top = cyLine - sizes[i].cy;
        x = rc.right;
    }
    pSize->cx = x;
    pSize->cy = cyLine;
}

int SomRunAt(const std::vector<SomTextRun>& runs, POINT pt)
{
    for (size_t i = 0; i < runs.size(); ++i) {
        if (::PtInRect(&runs[i].rc, pt))
            return (int)i;
    }
    return -1;
}
