// CDownloadTask's verification: the finished data file hashed against the expected SHA-256
// before it may appear at P, and the verify-only task on a file already in place.
#include "DownloadTask.h"

// A mismatch deletes the data and the record: a retry then fetches the file afresh from
// whichever mirrors it is given, and no wrong byte is ever offered as finished.
LONG CDownloadTask::VerifyData()
{
    ULONGLONG ullTotal;
    {
        CAutoLock lock(m_cs);
        m_lStatus = DL_STATUS_VERIFYING;
        ullTotal = m_ullTotal;
    }
    LONG r = m_hasher.Verify(m_szWork, ullTotal, m_abSha, m_hAbort);
    if (r == DLE_OK || r == DLX_ABORTED)
        return r;
    if (r == DLE_CHECKSUM || r == DLE_SIZE_MISMATCH) {
        ::DeleteFileW(m_szWork);
        ::DeleteFileW(m_szRecord);
        ::DeleteFileW(m_szTemp);
        CAutoLock lock(m_cs);
        m_written.Clear();
        m_bDataOnDisk = FALSE;
        return DLE_CHECKSUM;
    }
    return DLE_READ;
}

void CDownloadTask::RunVerifyOnly()
{
    LONG r = DLE_OK;
    WIN32_FILE_ATTRIBUTE_DATA fad;
    ULONGLONG ullSize = 0;
    if (!::GetFileAttributesExW(m_szPath, GetFileExInfoStandard, &fad) ||
        (fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        r = DLE_READ;
    else
        ullSize = ((ULONGLONG)fad.nFileSizeHigh << 32) | fad.nFileSizeLow;
    if (r == DLE_OK && m_ullExpected != 0 && ullSize != m_ullExpected)
        r = DLE_SIZE_MISMATCH;
    if (r == DLE_OK) {
        {
            CAutoLock lock(m_cs);
            m_ullTotal = ullSize;
            m_bSizeKnown = TRUE;
        }
        r = m_hasher.Verify(m_szPath, ullSize, m_abSha, m_hAbort);
        if (r != DLE_OK && r != DLX_ABORTED && r != DLE_CHECKSUM && r != DLE_SIZE_MISMATCH)
            r = DLE_READ;
    }
    CAutoLock lock(m_cs);
    if (r == DLE_OK) {
        m_lStatus = DL_STATUS_FINISHED;
    } else if (r == DLX_ABORTED) {
        m_lStatus = m_reason == REASON_PAUSE ? DL_STATUS_PAUSED : DL_STATUS_STOPPED;
    } else {
        m_lError = r;
        m_lStatus = DL_STATUS_FAILED + r;
    }
    m_bRunning = FALSE;
}
