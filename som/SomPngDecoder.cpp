// PNG bytes to a DIB section through GDI+ (started on first use). Images with alpha become
// premultiplied 32-bit DIBs; others keep their depth where GDI has a matching DIB format.
#include "SomPngDecoder.h"
#include <objidl.h>
#include <gdiplus.h>
#include <string.h>

namespace Gdip = Gdiplus::DllExports;

namespace {

ULONG_PTR g_gdiplusToken = 0;

BOOL EnsureGdiplus()
{
    if (g_gdiplusToken != 0)
        return TRUE;
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, NULL) == Gdiplus::Ok;
}

// SHCreateMemStream is exported only by ordinal 12 on Windows XP.
IStream* CreateMemStream(const void* pData, UINT cbData)
{
    typedef IStream*(WINAPI * PFN_SHCreateMemStream)(const BYTE*, UINT);
    HMODULE hShlwapi = ::GetModuleHandleW(L"shlwapi.dll");
    if (hShlwapi == NULL)
        hShlwapi = ::LoadLibraryW(L"shlwapi.dll");
    if (hShlwapi == NULL)
        return NULL;
    PFN_SHCreateMemStream pfn = (PFN_SHCreateMemStream)(void*)::GetProcAddress(hShlwapi, (LPCSTR)12);
    return pfn != NULL ? pfn((const BYTE*)pData, cbData) : NULL;
}

// The DIB format an image is kept in, and the GDI+ format its rows are read as.
struct DibFormat
{
    WORD nBitCount;
    Gdiplus::PixelFormat nLockFormat;
    BOOL bPalette;
};

// The image's palette (free it with free()), or null when it has none.
Gdiplus::ColorPalette* GetPalette(Gdiplus::GpBitmap* pBitmap)
{
    INT cb = 0;
    if (Gdip::GdipGetImagePaletteSize(pBitmap, &cb) != Gdiplus::Ok || cb <= 0)
        return NULL;
    Gdiplus::ColorPalette* pPal = (Gdiplus::ColorPalette*)malloc((size_t)cb);
    if (pPal != NULL && Gdip::GdipGetImagePalette(pBitmap, pPal, cb) != Gdiplus::Ok) {
        free(pPal);
        pPal = NULL;
    }
    return pPal;
}

BOOL PaletteHasAlpha(Gdiplus::GpBitmap* pBitmap)
{
    Gdiplus::ColorPalette* pPal = GetPalette(pBitmap);
    BOOL bAlpha = pPal != NULL && (pPal->Flags & Gdiplus::PaletteFlagsHasAlpha) != 0;
    free(pPal);
    return bAlpha;
}

DibFormat ChooseFormat(Gdiplus::GpBitmap* pBitmap, Gdiplus::PixelFormat nFormat)
{
    DibFormat fmt = { 32, PixelFormat32bppARGB, FALSE };
    if (Gdiplus::IsAlphaPixelFormat(nFormat))
        return fmt;
    switch (nFormat) {
    case PixelFormat24bppRGB:
        fmt.nBitCount = 24;
        fmt.nLockFormat = nFormat;
        break;
    case PixelFormat16bppRGB555:
        fmt.nBitCount = 16;
        fmt.nLockFormat = nFormat;
        break;
    case PixelFormat8bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat1bppIndexed:
        // A palette with transparent entries needs the alpha channel.
        if (!PaletteHasAlpha(pBitmap)) {
            fmt.nBitCount = (WORD)Gdiplus::GetPixelFormatSize(nFormat);
            fmt.nLockFormat = nFormat;
            fmt.bPalette = TRUE;
        }
        break;
    default:
        break;  // 32-bit without alpha, 48/64-bit, 16-bit 565 or grey: a 32-bit DIB
    }
    return fmt;
}

struct DibInfo
{
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};

void FillColorTable(Gdiplus::GpBitmap* pBitmap, DibInfo* pInfo)
{
    Gdiplus::ColorPalette* pPal = GetPalette(pBitmap);
    if (pPal == NULL)
        return;
    UINT n = pPal->Count < 256 ? pPal->Count : 256;
    for (UINT i = 0; i < n; ++i) {
        Gdiplus::ARGB c = pPal->Entries[i];
        pInfo->bmiColors[i].rgbBlue = (BYTE)(c & 0xFF);
        pInfo->bmiColors[i].rgbGreen = (BYTE)((c >> 8) & 0xFF);
        pInfo->bmiColors[i].rgbRed = (BYTE)((c >> 16) & 0xFF);
        pInfo->bmiColors[i].rgbReserved = 0;
    }
    pInfo->bmiHeader.biClrUsed = n;
    free(pPal);
}

void Premultiply(BYTE* pBits, UINT cPixels)
{
    for (UINT i = 0; i < cPixels; ++i, pBits += 4) {
        const UINT a = pBits[3];
        pBits[0] = (BYTE)(pBits[0] * a / 255);
        pBits[1] = (BYTE)(pBits[1] * a / 255);
        pBits[2] = (BYTE)(pBits[2] * a / 255);
    }
}

// Copies the decoded rows into a new top-down DIB section of the chosen format.
HBITMAP ConvertToDib(Gdiplus::GpBitmap* pBitmap)
{
    UINT cx = 0, cy = 0;
    Gdiplus::PixelFormat nFormat = 0;
    if (Gdip::GdipGetImageWidth(pBitmap, &cx) != Gdiplus::Ok || Gdip::GdipGetImageHeight(pBitmap, &cy) != Gdiplus::Ok ||
        Gdip::GdipGetImagePixelFormat(pBitmap, &nFormat) != Gdiplus::Ok || cx == 0 || cy == 0)
        return NULL;
    const DibFormat fmt = ChooseFormat(pBitmap, nFormat);

    DibInfo info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = (LONG)cx;
    info.bmiHeader.biHeight = -(LONG)cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = fmt.nBitCount;
    info.bmiHeader.biCompression = BI_RGB;
    if (fmt.bPalette)
        FillColorTable(pBitmap, &info);

    void* pvBits = NULL;
    HBITMAP hDib = ::CreateDIBSection(NULL, (BITMAPINFO*)&info, DIB_RGB_COLORS, &pvBits, NULL, 0);
    if (hDib == NULL || pvBits == NULL) {
        if (hDib != NULL)
            ::DeleteObject(hDib);
        return NULL;
    }

    Gdiplus::GpRect rcLock(0, 0, (INT)cx, (INT)cy);
    Gdiplus::BitmapData data;
    if (Gdip::GdipBitmapLockBits(pBitmap, &rcLock, Gdiplus::ImageLockModeRead, fmt.nLockFormat, &data) != Gdiplus::Ok) {
        ::DeleteObject(hDib);
        return NULL;
    }
    const UINT cbDibRow = ((cx * fmt.nBitCount + 31) / 32) * 4;
    const UINT cbRow = (cx * fmt.nBitCount + 7) / 8;
    for (UINT y = 0; y < cy; ++y) {
        const BYTE* pSrc = (const BYTE*)data.Scan0 + (INT_PTR)y * data.Stride;
        memcpy((BYTE*)pvBits + (size_t)y * cbDibRow, pSrc, cbRow);
    }
    Gdip::GdipBitmapUnlockBits(pBitmap, &data);

    if (fmt.nBitCount == 32)
        Premultiply((BYTE*)pvBits, cx * cy);
    return hDib;
}

}  // namespace

HBITMAP LoadPngBitmap(const void* pData, UINT cbData)
{
    if (pData == NULL || cbData == 0 || !EnsureGdiplus())
        return NULL;
    IStream* pStream = CreateMemStream(pData, cbData);
    if (pStream == NULL)
        return NULL;
    Gdiplus::GpBitmap* pBitmap = NULL;
    HBITMAP hDib = NULL;
    if (Gdip::GdipCreateBitmapFromStream(pStream, &pBitmap) == Gdiplus::Ok && pBitmap != NULL) {
        hDib = ConvertToDib(pBitmap);
        Gdip::GdipDisposeImage(pBitmap);
    }
    pStream->Release();
    return hDib;
}

void SomShutdownGdiplus()
{
    if (g_gdiplusToken != 0)
        Gdiplus::GdiplusShutdown(g_gdiplusToken);
    g_gdiplusToken = 0;
}
