// Files and folders of the tests: the test program's own folder, the temporary folder,
// fresh folders removed when the program ends, and whole-file reads and writes.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The folder of this test program (no trailing backslash). Wine names a program outside
// every drive "unix\..."; only the "\\?\unix\..." form of that path opens, so that is
// what comes back then.
std::wstring ProgramFolder();
// The process's temporary folder, with a trailing backslash.
std::wstring TempDir();

// A new, empty folder %TEMP%\kv-app-tests\<name>-<pid>-<n> (no trailing backslash),
// removed with everything in it when the test program ends.
std::wstring MakeTestFolder(const wchar_t* pszName);
// A path under %TEMP%\kv-app-tests that does not exist yet (removed at the end as well).
std::wstring UnusedTestPath(const wchar_t* pszName);

// The file the library pszName of this process was loaded from; empty when none is loaded.
std::wstring LoadedModulePath(const wchar_t* pszName);
// Where a library that folder's program loads will take its import pszName from: the copy
// in folder, unless this process holds a library of that name already. Under Wine every
// process does for zlib1.dll (Wine's own user32 imports the one in Wine's system folder;
// Windows ships none). Ask before the importing library is loaded.
std::wstring ExpectedImportPath(const std::wstring& folder, const wchar_t* pszName);

bool WriteBytes(const std::wstring& path, const std::string& bytes);
// false when the file cannot be opened.
bool ReadBytes(const std::wstring& path, std::string* pBytes);
bool FileExists(const std::wstring& path);
// Writes bytes to a file of that name in the temporary folder and returns its path.
std::wstring WriteTempFile(const wchar_t* pszName, const std::vector<BYTE>& bytes);
// Reads a UTF-8 file into UTF-16; empty when missing.
std::wstring ReadUtf8File(const std::wstring& path);
