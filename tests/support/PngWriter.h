// PNG files with exactly known pixels for the bitmap tests, written without compression.
#pragma once
#include <windows.h>
#include <vector>

// Pixels are given as R, G, B(, A) bytes per pixel; nColorType 6 = RGBA, 2 = RGB, 3 = palette
// (palette holds R, G, B triplets).
std::vector<BYTE> EncodePng(int cx, int cy, int nColorType, const std::vector<BYTE>& pixels,
                            const std::vector<BYTE>& palette = std::vector<BYTE>());
