#include "MemDlgTemplate.h"

CMemDlgTemplate::CMemDlgTemplate() : m_cb(0) { ZeroMemory(m_buf, sizeof(m_buf)); }

void CMemDlgTemplate::Create(DWORD dwStyle, DWORD dwExStyle, WORD wPointSize, LPCWSTR pszFace)
{
    if (m_cb != 0)
        return;
    DLGTEMPLATE* pTpl = (DLGTEMPLATE*)m_buf;
    pTpl->style = dwStyle;
    pTpl->dwExtendedStyle = dwExStyle;
    pTpl->cdit = 0;
    pTpl->x = pTpl->y = pTpl->cx = pTpl->cy = 0;

    WORD* pw = (WORD*)(m_buf + sizeof(DLGTEMPLATE));
    *pw++ = 0;  // no menu
    *pw++ = 0;  // the predefined dialog class
    *pw++ = 0;  // no caption
    if (dwStyle & DS_SETFONT) {
        *pw++ = wPointSize;
        WORD* pEnd = (WORD*)(m_buf + sizeof(m_buf)) - 1;
        for (LPCWSTR p = pszFace ? pszFace : L""; *p && pw < pEnd; ++p)
            *pw++ = (WORD)*p;
        *pw++ = 0;
    }
    m_cb = (UINT)((BYTE*)pw - m_buf);
}
