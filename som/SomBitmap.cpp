#include "SomBitmap.h"
#include <stdio.h>
#include <stdlib.h>
#include "frame/ScopedSelectObject.h"
#include "SomDrawSurfaces.h"
#include "SomPngDecoder.h"
#include "SomResourceModule.h"

namespace {

const BLENDFUNCTION kBlend = { AC_SRC_OVER, 0, 255, AC_SRC_ALPHA };

// Reads a whole file into a malloc'ed buffer; null on failure.
void* ReadWholeFile(LPCWSTR pszPath, UINT* pcb)
{
    FILE* pFile = _wfopen(pszPath, L"rb");
    if (pFile == NULL)
        return NULL;
    void* pData = NULL;
    long cb = -1;
    if (fseek(pFile, 0, SEEK_END) == 0)
        cb = ftell(pFile);
    if (cb > 0 && fseek(pFile, 0, SEEK_SET) == 0) {
        pData = malloc((size_t)cb);
        if (pData != NULL && fread(pData, 1, (size_t)cb, pFile) != (size_t)cb) {
            free(pData);
            pData = NULL;
        }
    }
    fclose(pFile);
    *pcb = pData != NULL ? (UINT)cb : 0;
    return pData;
}

HBITMAP LoadPngResource(LPCWSTR pszId)
{
    HINSTANCE hModule = SomGetResourceModule();
    HRSRC hRes = ::FindResourceW(hModule, pszId, L"PNG");
    if (hRes == NULL)
        return NULL;
    HGLOBAL hGlobal = ::LoadResource(hModule, hRes);
    DWORD cb = ::SizeofResource(hModule, hRes);
    const void* pData = hGlobal != NULL ? ::LockResource(hGlobal) : NULL;
    HBITMAP hBitmap = (pData != NULL && cb != 0) ? LoadPngBitmap(pData, cb) : NULL;
    if (hGlobal != NULL)
        ::FreeResource(hGlobal);
    return hBitmap;
}

HBITMAP LoadPngFile(LPCWSTR pszPath)
{
    UINT cb = 0;
    void* pData = ReadWholeFile(pszPath, &cb);
    if (pData == NULL)
        return NULL;
    HBITMAP hBitmap = LoadPngBitmap(pData, cb);
    free(pData);
    return hBitmap;
}

}  // namespace

CSomBitmap::CSomBitmap(LPCWSTR pszSource, WORD nFrames, BYTE nKind)
    : m_pszSource(pszSource), m_hBitmap(NULL), m_nFrameWidth(0), m_nHeight(0), m_nFrames(nFrames != 0 ? nFrames : 1),
      m_bAlpha(FALSE), m_nKind(nKind)
{
}

CSomBitmap::~CSomBitmap() { Unload(); }

void CSomBitmap::Unload()
{
    if (m_hBitmap != NULL)
        ::DeleteObject(m_hBitmap);
    m_hBitmap = NULL;
    m_nFrameWidth = 0;
    m_nHeight = 0;
    m_bAlpha = FALSE;
}

BOOL CSomBitmap::EnsureLoaded()
{
    if (m_hBitmap != NULL)
        return TRUE;
    if (m_pszSource == NULL)
        return FALSE;
    const BOOL bResource = IS_INTRESOURCE(m_pszSource);
    if (m_nKind == SBK_BMP) {
        UINT fuLoad = LR_CREATEDIBSECTION | (bResource ? 0 : LR_LOADFROMFILE);
        m_hBitmap =
            (HBITMAP)::LoadImageW(bResource ? SomGetResourceModule() : NULL, m_pszSource, IMAGE_BITMAP, 0, 0, fuLoad);
    } else if (m_nKind == SBK_PNG) {
        m_hBitmap = bResource ? LoadPngResource(m_pszSource) : LoadPngFile(m_pszSource);
    }

    BITMAP bm;
    if (m_hBitmap == NULL || ::GetObjectW(m_hBitmap, sizeof(bm), &bm) == 0) {
        // Failed loads leave the sizes at 0; the next use tries again.
        Unload();
        return FALSE;
    }
    m_nFrameWidth = bm.bmWidth / m_nFrames;
    m_nHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    m_bAlpha = bm.bmBitsPixel == 32;
    return TRUE;
}

int CSomBitmap::GetFrameWidth()
{
    EnsureLoaded();
    return m_nFrameWidth;
}

int CSomBitmap::GetHeight()
{
    EnsureLoaded();
    return m_nHeight;
}

BOOL CSomBitmap::HasAlpha()
{
    EnsureLoaded();
    return m_bAlpha;
}

void CSomBitmap::Draw(HDC hdc, int x, int y, int nFrame)
{
    if (!EnsureLoaded())
        return;
    DrawPart(hdc, x, y, m_nFrameWidth, m_nHeight, 0, 0, nFrame);
}

void CSomBitmap::DrawPart(HDC hdc, int x, int y, int cx, int cy, int srcX, int srcY, int nFrame)
{
    if (!EnsureLoaded() || g_memDC == NULL || cx <= 0 || cy <= 0)
        return;
    CScopedSelectObject select(g_memDC, m_hBitmap);
    const int xSrc = nFrame * m_nFrameWidth + srcX;
    if (m_bAlpha)
        ::AlphaBlend(hdc, x, y, cx, cy, g_memDC, xSrc, srcY, cx, cy, kBlend);
    else
        ::BitBlt(hdc, x, y, cx, cy, g_memDC, xSrc, srcY, SRCCOPY);
}

void CSomBitmap::DrawStretch(HDC hdc, int x, int y, int cx, int cy, int nFrame)
{
    if (!EnsureLoaded() || g_memDC == NULL || cx <= 0 || cy <= 0)
        return;
    CScopedSelectObject select(g_memDC, m_hBitmap);
    const int xSrc = nFrame * m_nFrameWidth;
    if (m_bAlpha) {
        ::AlphaBlend(hdc, x, y, cx, cy, g_memDC, xSrc, 0, m_nFrameWidth, m_nHeight, kBlend);
    } else {
        ::SetStretchBltMode(hdc, HALFTONE);
        ::SetBrushOrgEx(hdc, 0, 0, NULL);
        ::StretchBlt(hdc, x, y, cx, cy, g_memDC, xSrc, 0, m_nFrameWidth, m_nHeight, SRCCOPY);
    }
}

void CSomBitmap::DrawHStretch(HDC hdc, int x, int y, int cx, int nFrame)
{
    if (!EnsureLoaded())
        return;
    DrawStretch(hdc, x, y, cx, m_nHeight, nFrame);
}
