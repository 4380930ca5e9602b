// Time values in seconds since 1970-01-01 UTC (unsigned 32-bit): the current time, the
// Windows installation date, and the conversion to Windows file times (100 ns units since
// 1601). The health notice and the build-time line use them.
#pragma once
#include <windows.h>

// The 1970 epoch as a file time: SystemTimeToFileTime of 1970-01-01 00:00:00.000.
#define UNIX_EPOCH_FILETIME 116444736000000000ULL

// The current UTC time in seconds since 1970 (low 32 bits).
DWORD GetUnixTimeNow();

// FALSE only when pft is null.
BOOL UnixTimeToFileTime(DWORD dwSeconds, FILETIME* pft);

// InstallDate from HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion (64-bit view), in
// seconds since 1970; 0 when it cannot be read (InstallDate.cpp).
DWORD GetInstallDate();
