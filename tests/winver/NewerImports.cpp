// Imports one function of each kind that Windows XP SP3 lacks, so that the import check is
// seen naming each: built with the Windows 8 headers, linked, never run.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0602
#undef WINVER
#define WINVER 0x0602
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

extern "C" __declspec(dllimport) void WINAPI KvOrdinalOnly(void);  // SHLWAPI.dll, ordinal 16

int main(int argc, char** argv)
{
    ULONGLONG t = GetTickCount64();  // hidden by the headers at 0x0501
    AddDllDirectory(L"C:\\");        // declared for every version
    char sz[8];
    strcpy_s(sz, sizeof(sz), argv[0]);     // msvcrt.dll: secure function
    double d = _strtod_l(sz, NULL, NULL);  // msvcrt.dll: locale object
    KvOrdinalOnly();
    uLong crc = crc32(0, (const Bytef*)sz, 1);  // zlib1.dll: not a system DLL
    return (int)(t + (ULONGLONG)d + crc + argc);
}
