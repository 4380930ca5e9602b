#include "SomToolTipAdpater.h"
#include "SomWnd.h"
#include "SomResourceModule.h"

namespace {

// The TOOLINFOW layout of common controls 6 (with lpReserved): 48 bytes.
const UINT kToolInfoSize = 48;
static_assert(sizeof(TOOLINFOW) >= kToolInfoSize, "TOOLINFOW lacks lpReserved");

void InitToolInfo(TOOLINFOW* pInfo, HWND hWndOwner, int nId)
{
    ZeroMemory(pInfo, sizeof(*pInfo));
    pInfo->cbSize = kToolInfoSize;
    pInfo->uFlags = 0;
    pInfo->hwnd = hWndOwner;
    pInfo->uId = (UINT_PTR)nId;
}

}  // namespace

CSomToolTipAdpater::CSomToolTipAdpater() : m_wndToolTip(NULL), m_hWndOwner(NULL) {}

int CSomToolTipAdpater::AddTool(CSomWnd* pWnd, int nSubId, const RECT* prcTool)
{
    std::map<int, int>& subTools = m_mapWndTools[pWnd];
    if (subTools.find(nSubId) != subTools.end())
        return 0;

    // The smallest positive id not in use: freed ids come back.
    int nId = 1;
    for (std::map<int, SomToolRecord>::const_iterator it = m_mapTools.begin(); it != m_mapTools.end(); ++it) {
        if (it->first > nId)
            break;
        if (it->first == nId)
            ++nId;
    }

    SomToolRecord rec;
    rec.pWnd = pWnd;
    rec.nSubId = nSubId;
    if (prcTool != NULL) {
        rec.rcTool = *prcTool;
    } else {
        ZeroMemory(&rec.rcTool, sizeof(rec.rcTool));
        rec.rcTool.left = (LONG)0x80000000;
    }
    m_mapTools[nId] = rec;
    subTools[nSubId] = nId;

    if (m_wndToolTip != NULL) {
        TOOLINFOW ti;
        InitToolInfo(&ti, m_hWndOwner, nId);
        // Host client coordinates, taken now; the tool does not follow a moving element.
        if (prcTool != NULL) {
            ti.rect = *prcTool;
            ::OffsetRect(&ti.rect, pWnd->m_rcWnd.left, pWnd->m_rcWnd.top);
        } else {
            ti.rect = pWnd->m_rcWnd;
        }
        ti.hinst = SomGetResourceModule();
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        ti.lParam = 0;
        ::SendMessageW(m_wndToolTip, TTM_ADDTOOLW, 0, (LPARAM)&ti);
    }
    return nId;
}

void CSomToolTipAdpater::RemoveTools(CSomWnd* pWnd)
{
    std::map<CSomWnd*, std::map<int, int>>::iterator itWnd = m_mapWndTools.find(pWnd);
    if (itWnd == m_mapWndTools.end())
        return;
    const std::map<int, int>& subTools = itWnd->second;
    for (std::map<int, int>::const_iterator it = subTools.begin(); it != subTools.end(); ++it) {
        m_mapTools.erase(it->second);
        if (m_wndToolTip != NULL) {
            TOOLINFOW ti;
            InitToolInfo(&ti, m_hWndOwner, it->second);
            ::SendMessageW(m_wndToolTip, TTM_DELTOOLW, 0, (LPARAM)&ti);
        }
    }
    m_mapWndTools.erase(itWnd);
}

BOOL CSomToolTipAdpater::OnGetDispInfo(NMTTDISPINFOW* pInfo)
{
    if (pInfo->uFlags & TTF_IDISHWND)
        return FALSE;
    std::map<int, SomToolRecord>::const_iterator it = m_mapTools.find((int)pInfo->hdr.idFrom);
    if (it != m_mapTools.end())
        it->second.pWnd->OnGetToolTipText(it->second.nSubId, pInfo);
    return TRUE;
}
