// The test payload resources of the start-up tests (tests/app/payloads.rc) and the byte
// pattern of the first; the file helpers are TestFiles.h.
#pragma once
#include <windows.h>
#include "TestFiles.h"

#define TEST_PAYLOAD_PATTERN 301  // KV_PATTERN_SIZE bytes of PatternByte(i)
#define TEST_PAYLOAD_EMPTY   302  // zero bytes
#define TEST_PAYLOAD_DLL     303  // a loadable library (zlib1.dll)
#define KV_PATTERN_SIZE      100003

inline BYTE PatternByte(size_t i) { return (BYTE)((i * 31 + (i >> 8)) & 0xFF); }
