#include "ProgressText.h"
#include <shlwapi.h>

// The page's grey and the orange the choice page uses for its "推荐".
#define DETAIL_LINE_FORMAT  L"{&#font=3}{&#color=0x484848}%s{&#/color}{&#/font}"
#define WARNING_LINE_FORMAT L"{&#font=3}{&#color=0x0080ff}%s{&#/color}{&#/font}"

static const ULONGLONG kMiB = 1ULL << 20;
static const ULONGLONG kGiB = 1ULL << 30;

int PercentOf(ULONGLONG ullPart, ULONGLONG ullTotal)
{
    if (ullTotal == 0)
        return 0;
    if (ullPart >= ullTotal)
        return 100;
    // part × 100 would overflow only for totals beyond any disk; divide the total then,
    // rounded up so that a part below the total stays below 100.
    if (ullTotal > ~0ULL / 100)
        return (int)(ullPart / (ullTotal / 100 + 1));
    return (int)(ullPart * 100 / ullTotal);
}

void FormatImageSize(LPWSTR pszOut, int cchOut, ULONGLONG ullBytes)
{
    BOOL bGiga = ullBytes >= kGiB;
    ULONGLONG ullUnit = bGiga ? kGiB : kMiB;
    ULONGLONG ullTenths = ullBytes / ullUnit * 10 + ((ullBytes % ullUnit) * 10 + ullUnit / 2) / ullUnit;
    // Tenths of a GB fit 32 bits for any disk up to 400 PB.
    ::wnsprintfW(pszOut, cchOut, bGiga ? L"%u.%uGB" : L"%u.%uMB", (UINT)(ullTenths / 10), (UINT)(ullTenths % 10));
}

void FormatTimeLeft(LPWSTR pszOut, int cchOut, ULONGLONG ullSeconds)
{
    if (ullSeconds < 60) {
        ::wnsprintfW(pszOut, cchOut, L"剩余时间约 %u秒", (UINT)(ullSeconds == 0 ? 1 : ullSeconds));
        return;
    }
    ULONGLONG ullMinutes = (ullSeconds + 59) / 60;
    if (ullMinutes < 60)
        ::wnsprintfW(pszOut, cchOut, L"剩余时间约 %u分钟", (UINT)ullMinutes);
    else
        ::wnsprintfW(pszOut, cchOut, L"剩余时间约 %u小时%u分钟", (UINT)(ullMinutes / 60), (UINT)(ullMinutes % 60));
}

void FormatProgressLine(LPWSTR pszOut, int cchOut, ULONGLONG ullReceived, ULONGLONG ullTotal, LONG lSpeed)
{
    WCHAR szReceived[32];
    WCHAR szTotal[32];
    WCHAR szLine[PROGRESS_TEXT_CCH];
    FormatImageSize(szReceived, ARRAYSIZE(szReceived), ullReceived);
    FormatImageSize(szTotal, ARRAYSIZE(szTotal), ullTotal);
    ::wnsprintfW(szLine, ARRAYSIZE(szLine), L"已下载 %s / %s（%d%%）", szReceived, szTotal,
                 PercentOf(ullReceived, ullTotal));
    if (lSpeed > 0 && ullReceived < ullTotal) {
        // Bytes per millisecond: the seconds left are the missing bytes / (speed × 1000).
        WCHAR szLeft[64];
        FormatTimeLeft(szLeft, ARRAYSIZE(szLeft), (ullTotal - ullReceived) / ((ULONGLONG)lSpeed * 1000));
        ::StrNCatW(szLine, L"，", ARRAYSIZE(szLine));
        ::StrNCatW(szLine, szLeft, ARRAYSIZE(szLine));
    }
    ::wnsprintfW(pszOut, cchOut, DETAIL_LINE_FORMAT, szLine);
}

void FormatReconnectingLine(LPWSTR pszOut, int cchOut)
{
    ::wnsprintfW(pszOut, cchOut, WARNING_LINE_FORMAT, L"网络连接中断，正在重新连接…");
}

void FormatVerifyingLine(LPWSTR pszOut, int cchOut, ULONGLONG ullVerified, ULONGLONG ullTotal)
{
    WCHAR szLine[PROGRESS_TEXT_CCH];
    ::wnsprintfW(szLine, ARRAYSIZE(szLine), L"正在校验系统镜像… %d%%", PercentOf(ullVerified, ullTotal));
    ::wnsprintfW(pszOut, cchOut, DETAIL_LINE_FORMAT, szLine);
}
