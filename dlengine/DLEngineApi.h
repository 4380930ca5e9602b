// DLEngine.dll: the resumable, segmented download engine the installer carries and binds at
// run time (engine/EngineBinding). Undecorated __stdcall exports: the nine first ones and the
// extended ones (mirrors, expected content) beside them; every status value and error code they
// use is listed here. All entry points are thread-safe and return promptly; the downloads run
// on the engine's own threads.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- limits (characters, without the terminator) ----
#define DL_MAX_PATH 252   // target path P; its work files "P.dl" and "P.dl.cfg" then fit MAX_PATH
#define DL_MAX_URL  2048  // URL and referrer

// ---- task status, as DLQueryTaskInfo reports it ----
#define DL_STATUS_CONNECTING   1    // contacting the server; the total size may not be known yet
#define DL_STATUS_DOWNLOADING  2    // data is arriving (or being retried after a fault)
#define DL_STATUS_RETRYING     3    // no mirror makes progress; retried until the patience window ends
#define DL_STATUS_PAUSED       4    // DLPauseTask: threads ended, work files current; DLContinueTask resumes
#define DL_STATUS_STOPPED      5    // DLStopTask or engine shut down: threads ended, work files current
#define DL_STATUS_VERIFYING    6    // every byte is written; the file is hashed (DL_TASK_INFO.ullVerified)
#define DL_STATUS_FINISHED     11   // the file is complete at P; no work files are left
#define DL_STATUS_FAILED       100  // failed: the status is DL_STATUS_FAILED + the DLE_ code that ended it
#define DL_STATUS_IS_FAILED(s) ((s) >= DL_STATUS_FAILED)
#define DL_FAILED_ERROR(s)     ((s)-DL_STATUS_FAILED)

// ---- error codes (results of the entry points, and reasons for a failed status) ----
#define DLE_OK                0
#define DLE_INVALID_ARG       1   // null or empty path/URL, null out pointer, bad buffer
#define DLE_TOO_LONG          2   // path longer than DL_MAX_PATH or URL/referrer longer than DL_MAX_URL
#define DLE_NOT_INITIALIZED   3   // DLInitDownloadEngine not called, or the engine was shut down
#define DLE_UNKNOWN_TASK      4   // no task has this id
#define DLE_BAD_STATE         5   // the task is not in a state that allows the call
#define DLE_UNSUPPORTED_URL   6   // not an http:// or https:// URL, or malformed
#define DLE_BUSY              7   // another task of this engine downloads to the same path
#define DLE_NO_RESOURCES      8   // out of memory or threads
#define DLE_WORKFILE_MISSING  9   // the record "P.dl.cfg" or the data file "P.dl" does not exist
#define DLE_WORKFILE_CORRUPT  10  // the record is unreadable, truncated, of another version or fails its CRC
#define DLE_WORKFILE_MISMATCH 11  // the record does not describe the data file beside it
#define DLE_HOST_NOT_FOUND    20  // the host name does not resolve
#define DLE_CONNECT           21  // no connection could be made (after retries)
#define DLE_NETWORK           22  // connections reset or timed out (after retries)
#define DLE_HTTP_NOT_FOUND    23  // the server answered 404 or 410
#define DLE_HTTP_REFUSED      24  // the server answered another 4xx status
#define DLE_HTTP_SERVER       25  // 5xx, 408 or 429 (after retries)
#define DLE_PROTOCOL          26  // a malformed or inconsistent response
#define DLE_REDIRECTS         27  // too many redirects, or an unusable Location
#define DLE_DISK_FULL         28  // the target volume has no room for the file
#define DLE_WRITE             29  // writing, flushing or renaming a file failed
#define DLE_CREATE_FILE       30  // the target folder or a work file could not be created
#define DLE_SECURE            31  // the secure (https) connection could not be established
#define DLE_CHECKSUM          32  // the complete file's SHA-256 is not the expected one
#define DLE_SIZE_MISMATCH     33  // no usable mirror offers the file at the expected size
#define DLE_FILE_TOO_LARGE    34  // the target volume cannot hold a file this large (FAT32: 4 GiB - 1 byte)
#define DLE_READ              35  // reading the file back for verification failed

// ---- mirrors, expected content, progress detail ----
#define DL_MAX_MIRRORS  16  // addresses one task can hold (given plus added)
#define DL_SHA256_CHARS 64  // hexadecimal digits of a SHA-256, either case

// 1. Starts the engine. Nonzero on success; calling it again while started returns nonzero.
BOOL WINAPI DLInitDownloadEngine(void);

// 2. Creates a task that downloads pszUrl to pszPath (the folder and its parents are created).
// While it runs the data lives in "pszPath.dl" and the record in "pszPath.dl.cfg"; at the end
// "pszPath.dl" becomes pszPath and the record is deleted. pszReferrer may be null.
LONG WINAPI DLURLDownloadToFile(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plTaskId);

// 3. Reads a task's status and sizes without any I/O. *pullTotal is 0 while the size is not
// known; *pullReceived counts the bytes received so far.
LONG WINAPI DLQueryTaskInfo(LONG lTaskId, LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived);

// 4. Pauses a running task, keeping its work files. With bWait nonzero it returns after the
// task's threads ended and the record was written; otherwise the pause completes in the background.
LONG WINAPI DLPauseTask(LONG lTaskId, BOOL bWait);

// 5. Resumes a paused task from where it stopped.
LONG WINAPI DLContinueTask(LONG lTaskId);

// 6. Creates a task that resumes from the work files of an earlier run; pszWorkFile is "P.dl".
// Refused (nonzero code, no task) when the record is missing, unreadable, fails its CRC or does
// not match the data file. A server that now reports another size or other validators makes the
// task start again from byte 0: two versions of a file are never mixed.
LONG WINAPI DLContinueTaskFromWorkFile(LPCWSTR pszWorkFile, LONG* plTaskId);

// 7. Stops a task: its threads end and its work files are brought up to date before this returns.
LONG WINAPI DLStopTask(LONG lTaskId);

// 8. Stops every task as DLStopTask does and shuts the engine down. Harmless when not started.
LONG WINAPI DLUninitDownloadEngine(void);

// 9. Copies the English text for a DLE_ code into pszBuf, cut to cchBuf - 1 characters.
// DLE_INVALID_ARG for a null buffer, cchBuf < 1 or an unknown code (the text then says so).
LONG WINAPI DLGetErrorMsg(LONG lError, LPWSTR pszBuf, LONG cchBuf);

// ---- entry points beside the nine: mirrors, expected size and SHA-256, detailed progress ----

// What a task downloads. Every pointer may be freed once the call returns.
typedef struct DL_TASK_PARAMS
{
    DWORD cbSize;               // sizeof(DL_TASK_PARAMS)
    LPCWSTR pszPath;            // target P, as for DLURLDownloadToFile (ignored when resuming)
    const LPCWSTR* ppszUrls;    // addresses of the same file, the first tried first; repeats are ignored
    LONG cUrls;                 // 0..DL_MAX_MIRRORS (0 only when resuming)
    LPCWSTR pszReferrer;        // may be null
    ULONGLONG ullExpectedSize;  // 0 = not known; a mirror that reports another size is not used
    LPCWSTR pszSha256;          // DL_SHA256_CHARS hex digits, or null: only a match gives status 11
} DL_TASK_PARAMS;

// A task's state in detail, read without any I/O.
typedef struct DL_TASK_INFO
{
    DWORD cbSize;           // sizeof(DL_TASK_INFO), set by the caller
    LONG lStatus;           // DL_STATUS_*, as DLQueryTaskInfo reports it
    ULONGLONG ullTotal;     // 0 while not known
    ULONGLONG ullReceived;  // bytes on disk so far
    ULONGLONG ullVerified;  // bytes hashed so far while DL_STATUS_VERIFYING
    LONG lMirrors;          // mirrors still in use
    LONG lConnections;      // connections receiving data now
    LONG lLastError;        // DLE_ code of the most recent fault, 0 when none (also while retrying)
    DWORD dwStalledMs;      // how long no byte has arrived (0 while data arrives)
} DL_TASK_INFO;

// 10. Creates a task from DL_TASK_PARAMS (at least one address). Same work files and end
// states as DLURLDownloadToFile; status 11 only when the size and the SHA-256, when given, match.
// Mirrors: the first address is asked for the size; then every usable mirror serves parts at
// once, each new request going to the mirror with the fewest connections for its measured
// speed. A mirror that answers 503 or 429 to one more connection is held to those it serves.
// A mirror is dropped (its parts go to the others) on 404/410 or another 4xx (after going back
// once to the address it was given when a redirect target refuses), a size other than the
// others' or the expected one, no ranges while others have them, or faults without a byte for
// 60 s while another mirror delivers. With no mirror left the task fails with the code that
// dropped the last one.
// Patience: refused, reset or timed-out connections, failed name lookups, 5xx/408/429 and
// malformed answers are retried with jittered, growing waits (capped at 15 s); while no byte
// arrives and connections keep failing the status is DL_STATUS_RETRYING. Only when nothing
// has arrived for the patience window (DL_OPTION_PATIENCE_MS) does the task fail, with the
// code of the last fault.
// Verification: after the last byte the data file "P.dl" is hashed (DL_STATUS_VERIFYING,
// ullVerified growing); a match renames it to P (status 11). A mismatch is not fetched again:
// "P.dl" and its record are deleted, nothing appears at P and the task fails with DLE_CHECKSUM,
// so that a new task starts clean (from any mirror). A read fault fails with DLE_READ and
// keeps the work files; a stop or pause while hashing keeps them too and hashes again later.
LONG WINAPI DLCreateTaskEx(const DL_TASK_PARAMS* pParams, LONG* plTaskId);

// 11. As DLContinueTaskFromWorkFile, and pParams (may be null) adds addresses to those the record
// keeps and gives the expected size and SHA-256; a record that disagrees with them is refused
// (DLE_WORKFILE_MISMATCH) rather than mixed. The record keeps every mirror not dropped and the
// expected content (record version 2; version 1 records are still read). The bytes on disk are
// kept when the mirror that answers now reports the same size (and, for the mirror the record's
// validators came from, the same validators): a resume after that mirror vanished goes on
// from the others or the added ones.
LONG WINAPI DLContinueTaskFromWorkFileEx(LPCWSTR pszWorkFile, const DL_TASK_PARAMS* pParams, LONG* plTaskId);

// 12. Adds one address to a running, paused or retrying task. DLE_OK also when it is already known
// (a dropped mirror given again is tried again). DLE_BAD_STATE once the task has ended,
// DLE_NO_RESOURCES when it holds DL_MAX_MIRRORS addresses.
LONG WINAPI DLAddTaskMirror(LONG lTaskId, LPCWSTR pszUrl);

// 13. Fills *pInfo (pInfo->cbSize set by the caller).
LONG WINAPI DLQueryTaskInfoEx(LONG lTaskId, DL_TASK_INFO* pInfo);

// 14. Creates a task that only checks a file already at pszPath: status DL_STATUS_VERIFYING while
// it hashes (ullVerified grows), then DL_STATUS_FINISHED when the size (when not 0) and the SHA-256
// match, else failed with DLE_CHECKSUM, DLE_SIZE_MISMATCH or DLE_READ (also for a missing file).
// The file is never changed. pszSha256 is required. Polled with DLQueryTaskInfo(Ex), ended early
// with DLStopTask (status DL_STATUS_STOPPED).
LONG WINAPI DLVerifyFile(LPCWSTR pszPath, ULONGLONG ullExpectedSize, LPCWSTR pszSha256, LONG* plTaskId);

// 15. Sets a tuning value for tasks created afterwards. DLE_INVALID_ARG for an unknown option.
// The environment variable DLENGINE_PATIENCE_MS, read by DLInitDownloadEngine, sets the same
// value for a program that does not call this (tests shorten the window with it).
#define DL_OPTION_PATIENCE_MS 1  // no usable mirror and no progress this long fails the task (600000)
LONG WINAPI DLSetEngineOption(LONG lOption, ULONGLONG ullValue);

// Types for binding the library at run time with GetProcAddress.
typedef BOOL(WINAPI* PFN_DLInitDownloadEngine)(void);
typedef LONG(WINAPI* PFN_DLURLDownloadToFile)(LPCWSTR, LPCWSTR, LPCWSTR, LONG*);
typedef LONG(WINAPI* PFN_DLQueryTaskInfo)(LONG, LONG*, ULONGLONG*, ULONGLONG*);
typedef LONG(WINAPI* PFN_DLPauseTask)(LONG, BOOL);
typedef LONG(WINAPI* PFN_DLContinueTask)(LONG);
typedef LONG(WINAPI* PFN_DLContinueTaskFromWorkFile)(LPCWSTR, LONG*);
typedef LONG(WINAPI* PFN_DLStopTask)(LONG);
typedef LONG(WINAPI* PFN_DLUninitDownloadEngine)(void);
typedef LONG(WINAPI* PFN_DLGetErrorMsg)(LONG, LPWSTR, LONG);
typedef LONG(WINAPI* PFN_DLCreateTaskEx)(const DL_TASK_PARAMS*, LONG*);
typedef LONG(WINAPI* PFN_DLContinueTaskFromWorkFileEx)(LPCWSTR, const DL_TASK_PARAMS*, LONG*);
typedef LONG(WINAPI* PFN_DLAddTaskMirror)(LONG, LPCWSTR);
typedef LONG(WINAPI* PFN_DLQueryTaskInfoEx)(LONG, DL_TASK_INFO*);
typedef LONG(WINAPI* PFN_DLVerifyFile)(LPCWSTR, ULONGLONG, LPCWSTR, LONG*);
typedef LONG(WINAPI* PFN_DLSetEngineOption)(LONG, ULONGLONG);

#ifdef __cplusplus
}
#endif
