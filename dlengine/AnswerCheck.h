// What one HTTP answer proves about the file being downloaded. The probe and every part
// request pass their answer through here before a body byte is used: an answer that does
// not continue the known file is either proof of a new version (start over) or a fault of
// the server that sent it (retried later, the bytes on disk kept).
#pragma once
#include "HttpHead.h"

// What is already known when the answer arrives.
struct DLKnownFile
{
    BOOL bHaveBytes;  // bytes of this file are on disk
    BOOL bSizeKnown;
    BOOL bRanges;  // the server has honoured ranges before
    ULONGLONG ullTotal;
    const char* pszETag;  // not owned; "" when none
    const char* pszLastModified;
};

enum DLVerdict {
    DLV_FITS,          // continues the known file (or starts it)
    DLV_NEW_VERSION,   // a full, consistent answer for another version: start over
    DLV_FAULT,         // unusable now: retry later, keep what is on disk
    DLV_ASK_FROM_ZERO  // the file may have changed size: ask again from byte 0 to find out
};

// Does the head's framing agree with its Content-Range (a 206 names the range it carries,
// and a Content-Length, when sent, is that range's length)?
BOOL IsRangeAnswerConsistent(const CHttpHead& head);
// The answer to the probe "bytes=ullStart-". nFullAnswers counts the earlier probe answers
// in a row that were 200 for the same file: one such answer does not prove a server that
// honoured ranges before has stopped doing so.
DLVerdict JudgeProbeAnswer(const DLKnownFile& known, const CHttpHead& head, ULONGLONG ullStart, int nFullAnswers);
// The answer to a part request "bytes=ullPos-..." while the task runs (the body is cut to the
// part by the caller, so a longer range is no fault).
DLVerdict JudgePartAnswer(const DLKnownFile& known, const CHttpHead& head, ULONGLONG ullPos);
// ETag (else Last-Modified), where both sides have one, differs.
BOOL ValidatorsDiffer(const DLKnownFile& known, const CHttpHead& head);
