// An in-memory dialog template with no controls: the dialogs of this program are
// borderless popups whose whole surface is painted by their element manager, so the
// template only carries styles, a zero frame and (with DS_SETFONT) a font record.
#pragma once
#include <windows.h>

class CMemDlgTemplate
{
public:
    CMemDlgTemplate();

    // Builds the template once; later calls keep the first one.
    void Create(DWORD dwStyle, DWORD dwExStyle, WORD wPointSize, LPCWSTR pszFace);
    BOOL IsValid() const { return m_cb != 0; }
    LPCDLGTEMPLATEW GetTemplatePtr() const { return (LPCDLGTEMPLATEW)m_buf; }

private:
    // DLGTEMPLATE (18 bytes) + menu, class, title (one WORD each) + font record.
    BYTE m_buf[128] __attribute__((aligned(4)));
    UINT m_cb;
};
