// CSomBitmap: one skin picture as a horizontal strip of equal frames, loaded on first use
// from a "PNG" resource (or a file) into a premultiplied 32-bit DIB section and drawn with
// AlphaBlend through the shared memory DC (SomDrawSurfaces.h).
#pragma once
#include <windows.h>

enum {
    SBK_BMP = 1,
    SBK_PNG = 3,
};

class CSomBitmap
{
public:
    // pszSource: MAKEINTRESOURCEW(id) (below 0xFFFF) or a NUL-terminated file path (not owned).
    CSomBitmap(LPCWSTR pszSource, WORD nFrames, BYTE nKind);
    virtual ~CSomBitmap();

    int GetFrameWidth();
    int GetHeight();
    BOOL HasAlpha();

    // Coordinates are in the target DC's logical units.
    void Draw(HDC hdc, int x, int y, int nFrame);
    void DrawPart(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY, int nFrame);
    virtual void DrawStretch(HDC hdc, int x, int y, int cx, int cy, int nFrame);
    virtual void DrawHStretch(HDC hdc, int x, int y, int cx, int nFrame);

    BOOL EnsureLoaded();
    HBITMAP GetHandle() const { return m_hBitmap; }
    // Frees the DIB at program end (SomShutdown); sizes go back to 0.
    void Unload();

    LPCWSTR m_pszSource;  // resource id or file path; not owned
    HBITMAP m_hBitmap;    // owned; null until loaded
    int m_nFrameWidth;
    int m_nHeight;
    WORD m_nFrames;
    BYTE m_bAlpha;
    BYTE m_nKind;
};
