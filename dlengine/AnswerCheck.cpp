#include "AnswerCheck.h"
#include <string.h>

// A server that answered ranges before must answer a full 200 this many times in a row before
// the task believes it no longer does (a proxy or a passing misconfiguration answers once).
static const int kFullAnswersToBelieve = 3;

BOOL IsRangeAnswerConsistent(const CHttpHead& head)
{
    if (head.nStatus != 206)
        return TRUE;
    if (!head.bHasRange || head.ullRangeLast < head.ullRangeFirst)
        return FALSE;
    if (head.llRangeTotal >= 0 && head.ullRangeLast >= (ULONGLONG)head.llRangeTotal)
        return FALSE;
    if (!head.bChunked && head.llContentLength >= 0 &&
        (ULONGLONG)head.llContentLength != head.ullRangeLast - head.ullRangeFirst + 1)
        return FALSE;
    return TRUE;
}

BOOL ValidatorsDiffer(const DLKnownFile& known, const CHttpHead& head)
{
    if (known.pszETag[0] != '\0' && head.szETag[0] != '\0')
        return strcmp(known.pszETag, head.szETag) != 0;
    if (known.pszLastModified[0] != '\0' && head.szLastModified[0] != '\0')
        return strcmp(known.pszLastModified, head.szLastModified) != 0;
    return FALSE;
}

static DLVerdict JudgeRanged(const DLKnownFile& known, const CHttpHead& head, ULONGLONG ullPos)
{
    if (!IsRangeAnswerConsistent(head) || head.ullRangeFirst != ullPos)
        return DLV_FAULT;
    if (!known.bHaveBytes)
        return DLV_FITS;
    BOOL bOtherSize = known.bSizeKnown && head.llRangeTotal >= 0 && (ULONGLONG)head.llRangeTotal != known.ullTotal;
    if (ValidatorsDiffer(known, head))
        return DLV_NEW_VERSION;
    // Another size under the same validators is not a consistent answer.
    if (bOtherSize)
        return (head.szETag[0] == '\0' && head.szLastModified[0] == '\0') ? DLV_NEW_VERSION : DLV_FAULT;
    return DLV_FITS;
}

DLVerdict JudgeProbeAnswer(const DLKnownFile& known, const CHttpHead& head, ULONGLONG ullStart, int nFullAnswers)
{
    if (head.nStatus == 206)
        return head.llRangeTotal < 0 ? DLV_FAULT : JudgeRanged(known, head, ullStart);
    if (head.nStatus == 200) {
        if (!known.bHaveBytes || !known.bSizeKnown)
            return DLV_FITS;  // nothing to keep (a stream of unknown length cannot continue anyway)
        // A resumed download meets a whole answer: only the same size, with a length, can be
        // this file; a page of another size (a captive portal, an error page) is a fault.
        if (head.bChunked || head.llContentLength < 0 || (ULONGLONG)head.llContentLength != known.ullTotal)
            return DLV_FAULT;
        if (ValidatorsDiffer(known, head))
            return DLV_NEW_VERSION;
        if (known.bRanges && nFullAnswers + 1 < kFullAnswersToBelieve)
            return DLV_FAULT;
        return DLV_NEW_VERSION;  // the same file, but ranges are no longer honoured
    }
    if (head.nStatus == 416) {
        if (!known.bHaveBytes)
            return (ullStart == 0 && head.llRangeTotal <= 0) ? DLV_FITS : DLV_FAULT;
        // Only a Content-Range naming another size hints at a new version; asking from byte 0
        // brings the full answer that proves it or not.
        if (head.llRangeTotal >= 0 && known.bSizeKnown && (ULONGLONG)head.llRangeTotal != known.ullTotal &&
            ullStart != 0)
            return DLV_ASK_FROM_ZERO;
        return DLV_FAULT;
    }
    return DLV_FAULT;
}

DLVerdict JudgePartAnswer(const DLKnownFile& known, const CHttpHead& head, ULONGLONG ullPos)
{
    if (head.nStatus != 206)
        return DLV_FAULT;  // a 200 or 416 to one part says nothing about the whole file
    DLKnownFile k = known;
    k.bHaveBytes = TRUE;
    return JudgeRanged(k, head, ullPos);
}
