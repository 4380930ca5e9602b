// CScopedSelectObject: a GDI object selected into a DC for one scope; the DC's previous
// object goes back when the scope ends, so selections are undone in reverse order on every
// path. A null object selects nothing and the DC keeps what it has.
#pragma once
#include <windows.h>

class CScopedSelectObject
{
public:
    CScopedSelectObject(HDC hdc, HGDIOBJ hObj) : m_hdc(hdc), m_hOld(hObj != NULL ? ::SelectObject(hdc, hObj) : NULL) {}
    ~CScopedSelectObject()
    {
        if (m_hOld != NULL)
            ::SelectObject(m_hdc, m_hOld);
    }

private:
    CScopedSelectObject(const CScopedSelectObject&) = delete;
    CScopedSelectObject& operator=(const CScopedSelectObject&) = delete;

    HDC m_hdc;       // not owned
    HGDIOBJ m_hOld;  // the DC's object before; not owned
};
