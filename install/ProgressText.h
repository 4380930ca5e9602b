// The download page's detail line: bytes received of the total in MB or GB with one
// decimal, the percentage and the time left; the line while the engine reconnects, and
// the line while the image is verified. Plain functions, so their texts can be checked
// without a window.
#pragma once
#include <windows.h>

#define PROGRESS_TEXT_CCH 256

// "850.0MB" below 1 GB (1024 MiB, rounded to a tenth), else "3.5GB".
void FormatImageSize(LPWSTR pszOut, int cchOut, ULONGLONG ullBytes);

// "剩余时间约 N秒", "约 N分钟" or "约 H小时M分钟"; whole units rounded up.
void FormatTimeLeft(LPWSTR pszOut, int cchOut, ULONGLONG ullSeconds);

// The markup line "已下载 X / Y（N%）", followed by "，剩余时间约 …" when lSpeed (bytes per
// millisecond) is positive and bytes are still missing.
void FormatProgressLine(LPWSTR pszOut, int cchOut, ULONGLONG ullReceived, ULONGLONG ullTotal, LONG lSpeed);

// The orange markup line shown while the engine retries and nothing arrives.
void FormatReconnectingLine(LPWSTR pszOut, int cchOut);

// "正在校验系统镜像… N%" as markup; N from the bytes hashed of the total (0 when unknown).
void FormatVerifyingLine(LPWSTR pszOut, int cchOut, ULONGLONG ullVerified, ULONGLONG ullTotal);

// received × 100 / total, truncated, at most 100; 0 for an unknown total.
int PercentOf(ULONGLONG ullPart, ULONGLONG ullTotal);
