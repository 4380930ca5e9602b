// Run-time binding of the download engine library "DLEngine.dll": the nine first entry
// points and the extended ones the installer uses (mirrors, expected content, detailed
// progress, verifying a file in place), looked up by name into one program-wide table. The
// library is loaded by its full path in the folder it was written to, and is never released
// after a successful binding.
#pragma once
#include <windows.h>
#include "dlengine/DLEngineApi.h"  // PFN_ types and status values

struct DLEngineEntryPoints
{
    PFN_DLInitDownloadEngine pfnInit;
    PFN_DLURLDownloadToFile pfnURLDownloadToFile;
    PFN_DLQueryTaskInfo pfnQueryTaskInfo;
    PFN_DLPauseTask pfnPauseTask;
    PFN_DLContinueTask pfnContinueTask;
    PFN_DLContinueTaskFromWorkFile pfnContinueTaskFromWorkFile;
    PFN_DLStopTask pfnStopTask;
    PFN_DLUninitDownloadEngine pfnUninit;
    PFN_DLGetErrorMsg pfnGetErrorMsg;
    PFN_DLCreateTaskEx pfnCreateTaskEx;
    PFN_DLContinueTaskFromWorkFileEx pfnContinueTaskFromWorkFileEx;
    PFN_DLQueryTaskInfoEx pfnQueryTaskInfoEx;
    PFN_DLVerifyFile pfnVerifyFile;
};

extern DLEngineEntryPoints g_dlEngine;

#define DLENGINE_FILE_NAME L"DLEngine.dll"

// Loads pszFolder\DLEngine.dll and binds every export of the table; null (library released) when it
// cannot be loaded or lacks any export. The library's own imports are looked up in that
// folder first and then in the system folders, not in the current folder or a library
// search folder of the caller.
HMODULE LoadDLEngine(LPCWSTR pszFolder);

// TRUE when the engine vendor's clean-up script exists beside the folder the registry
// value HKCU\Software\Pelagro Network\Pelagro\path names.
BOOL IsDLCleanerPresent();
