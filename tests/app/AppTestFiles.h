// File helpers of the start-up tests: fresh folders under %TEMP%, whole-file reads and
// writes, and the byte pattern of the test payload resource (tests/app/payloads.rc).
#pragma once
#include <windows.h>
#include <string>

#define TEST_PAYLOAD_PATTERN 301   // KV_PATTERN_SIZE bytes of PatternByte(i)
#define TEST_PAYLOAD_EMPTY 302     // zero bytes
#define TEST_PAYLOAD_DLL 303       // a loadable library (zlib1.dll)
#define KV_PATTERN_SIZE 100003

inline BYTE PatternByte(size_t i)
{
    return (BYTE)((i * 31 + (i >> 8)) & 0xFF);
}

// A new, empty folder %TEMP%\kv-app-tests\<name>-<n> (no trailing backslash).
std::wstring MakeTestFolder(const wchar_t* pszName);
// A path under %TEMP%\kv-app-tests that does not exist yet.
std::wstring UnusedTestPath(const wchar_t* pszName);

bool WriteBytes(const std::wstring& path, const std::string& bytes);
// false when the file cannot be opened.
bool ReadBytes(const std::wstring& path, std::string* pBytes);
bool FileExists(const std::wstring& path);
// The folder of this test program (no trailing backslash).
std::wstring ProgramFolder();
