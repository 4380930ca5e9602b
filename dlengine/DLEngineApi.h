// DLEngine.dll: the resumable, segmented download engine the installer carries and binds at
// run time (engine/EngineBinding). Nine undecorated __stdcall exports; every status value and
// error code they use is listed here. All entry points are thread-safe and return promptly;
// the downloads run on the engine's own threads.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- limits (characters, without the terminator) ----
#define DL_MAX_PATH 252     // target path P; its work files "P.dl" and "P.dl.cfg" then fit MAX_PATH
#define DL_MAX_URL  2048    // URL and referrer

// ---- task status, as DLQueryTaskInfo reports it ----
#define DL_STATUS_CONNECTING   1    // contacting the server; the total size may not be known yet
#define DL_STATUS_DOWNLOADING  2    // data is arriving (or being retried after a fault)
#define DL_STATUS_PAUSED       4    // DLPauseTask: threads ended, work files current; DLContinueTask resumes
#define DL_STATUS_STOPPED      5    // DLStopTask or engine shut down: threads ended, work files current
#define DL_STATUS_FINISHED     11   // the file is complete at P; no work files are left
#define DL_STATUS_FAILED       100  // failed: the status is DL_STATUS_FAILED + the DLE_ code that ended it
#define DL_STATUS_IS_FAILED(s) ((s) >= DL_STATUS_FAILED)
#define DL_FAILED_ERROR(s)     ((s) - DL_STATUS_FAILED)

// ---- error codes (results of the entry points, and reasons for a failed status) ----
#define DLE_OK                 0
#define DLE_INVALID_ARG        1    // null or empty path/URL, null out pointer, bad buffer
#define DLE_TOO_LONG           2    // path longer than DL_MAX_PATH or URL/referrer longer than DL_MAX_URL
#define DLE_NOT_INITIALIZED    3    // DLInitDownloadEngine not called, or the engine was shut down
#define DLE_UNKNOWN_TASK       4    // no task has this id
#define DLE_BAD_STATE          5    // the task is not in a state that allows the call
#define DLE_UNSUPPORTED_URL    6    // not an http:// or https:// URL, or malformed
#define DLE_BUSY               7    // another task of this engine downloads to the same path
#define DLE_NO_RESOURCES       8    // out of memory or threads
#define DLE_WORKFILE_MISSING   9    // the record "P.dl.cfg" or the data file "P.dl" does not exist
#define DLE_WORKFILE_CORRUPT   10   // the record is unreadable, truncated, of another version or fails its CRC
#define DLE_WORKFILE_MISMATCH  11   // the record does not describe the data file beside it
#define DLE_HOST_NOT_FOUND     20   // the host name does not resolve
#define DLE_CONNECT            21   // no connection could be made (after retries)
#define DLE_NETWORK            22   // connections reset or timed out (after retries)
#define DLE_HTTP_NOT_FOUND     23   // the server answered 404 or 410
#define DLE_HTTP_REFUSED       24   // the server answered another 4xx status
#define DLE_HTTP_SERVER        25   // 5xx, 408 or 429 (after retries)
#define DLE_PROTOCOL           26   // a malformed or inconsistent response
#define DLE_REDIRECTS          27   // too many redirects, or an unusable Location
#define DLE_DISK_FULL          28   // the target volume has no room for the file
#define DLE_WRITE              29   // writing, flushing or renaming a file failed
#define DLE_CREATE_FILE        30   // the target folder or a work file could not be created
#define DLE_SECURE             31   // the secure (https) connection could not be established
#define DLE_CHECKSUM           32   // the complete file's SHA-256 is not the expected one
#define DLE_SIZE_MISMATCH      33   // no usable mirror offers the file at the expected size

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

// Types for binding the library at run time with GetProcAddress.
typedef BOOL (WINAPI* PFN_DLInitDownloadEngine)(void);
typedef LONG (WINAPI* PFN_DLURLDownloadToFile)(LPCWSTR, LPCWSTR, LPCWSTR, LONG*);
typedef LONG (WINAPI* PFN_DLQueryTaskInfo)(LONG, LONG*, ULONGLONG*, ULONGLONG*);
typedef LONG (WINAPI* PFN_DLPauseTask)(LONG, BOOL);
typedef LONG (WINAPI* PFN_DLContinueTask)(LONG);
typedef LONG (WINAPI* PFN_DLContinueTaskFromWorkFile)(LPCWSTR, LONG*);
typedef LONG (WINAPI* PFN_DLStopTask)(LONG);
typedef LONG (WINAPI* PFN_DLUninitDownloadEngine)(void);
typedef LONG (WINAPI* PFN_DLGetErrorMsg)(LONG, LPWSTR, LONG);

#ifdef __cplusplus
}
#endif
