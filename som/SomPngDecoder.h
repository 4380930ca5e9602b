// The PNG decoder of the skin bitmaps: PNG bytes to a DIB section through GDI+, which the
// first decode starts and the toolkit's shutdown stops.
#pragma once
#include <windows.h>

// Decodes PNG bytes into a DIB section (32-bit premultiplied when the image has alpha).
// The caller owns the result; null on failure.
HBITMAP LoadPngBitmap(const void* pData, UINT cbData);
// Stops GDI+ (program end, after the last decode).
void SomShutdownGdiplus();
