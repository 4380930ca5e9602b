// The payload writer and the clean-up of what it wrote: folders, replacement of older
// files, files in use, unknown resources, exact bytes, and deletion from the folder
// written to only.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <string>
#include "startup/Payload.h"
#include "startup/PayloadRecord.h"
#include "AppTestFiles.h"

namespace {

std::string Pattern()
{
    std::string s(KV_PATTERN_SIZE, '\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = (char)PatternByte(i);
    return s;
}

void ExpectPatternFile(const std::wstring& path)
{
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ(bytes.size(), (size_t)KV_PATTERN_SIZE);
    EXPECT_TRUE(bytes == Pattern()) << "content differs from the resource";
    EXPECT_EQ(::GetFileAttributesW(path.c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              0u);
}

bool Recorded(const std::wstring& path)
{
    for (int i = 0; i < GetWrittenPayloadCount(); ++i) {
        if (::lstrcmpiW(GetWrittenPayload(i), path.c_str()) == 0)
            return true;
    }
    return false;
}

// Starts a copy of the stand-in program at path in its "idle" mode (no instance mutex, no
// window, nothing shared) and waits until it runs its message loop; it keeps running (and
// its file in use) until ended. No process on failure.
PROCESS_INFORMATION StartCopyOfHelper(const std::wstring& path)
{
    PROCESS_INFORMATION pi = {};
    std::wstring helper = ProgramFolder() + L"\\kv_vantoir_window.exe";
    if (!::CopyFileW(helper.c_str(), path.c_str(), FALSE))
        return pi;
    std::wstring log = path + L".log";
    std::wstring cmd = L"\"" + path + L"\" idle \"" + log + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (!::CreateProcessW(path.c_str(), &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return pi;
    std::string text;
    for (int i = 0; i < 300 && text.find("ready") == std::string::npos; ++i) {
        if (::WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
            break;
        ReadBytes(log, &text);
    }
    return pi;
}

// Writes the test library into a fresh folder and loads it from there.
HMODULE ExtractAndLoadLibrary(const wchar_t* pszFolderName, std::wstring* pPath)
{
    RemoveWrittenPayloads();
    std::wstring folder = MakeTestFolder(pszFolderName);
    *pPath = folder + L"\\kvzlib.dll";
    if (!ExtractResourceFile(TEST_PAYLOAD_DLL, folder.c_str(), L"kvzlib.dll"))
        return NULL;
    return ::LoadLibraryW(pPath->c_str());
}

}  // namespace

TEST(ExtractResourceFile, CreatesMissingFolderWithParentsAndWritesExactBytes)
{
    std::wstring root = UnusedTestPath(L"payload-new");
    std::wstring folder = root + L"\\a\\b\\c";
    ASSERT_TRUE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"DLEngine.dll"));
    ExpectPatternFile(folder + L"\\DLEngine.dll");
    EXPECT_TRUE(Recorded(folder + L"\\DLEngine.dll"));
}

TEST(ExtractResourceFile, FolderWithTrailingBackslash)
{
    std::wstring folder = MakeTestFolder(L"payload-slash") + L"\\";
    ASSERT_TRUE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"ZLib1.dll"));
    ExpectPatternFile(folder + L"ZLib1.dll");
}

TEST(ExtractResourceFile, ReplacesReadOnlyHiddenOlderFile)
{
    std::wstring folder = MakeTestFolder(L"payload-ro");
    std::wstring path = folder + L"\\Braskmir.exe";
    ASSERT_TRUE(WriteBytes(path, std::string(300000, 'x')));
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"Braskmir.exe"));
    ExpectPatternFile(path);
}

TEST(ExtractResourceFile, TargetInUseByRunningProgramStaysUntouched)
{
    std::wstring folder = MakeTestFolder(L"payload-busy");
    std::wstring path = folder + L"\\Braskmir.exe";
    PROCESS_INFORMATION pi = StartCopyOfHelper(path);
    ASSERT_NE(pi.hProcess, (HANDLE)NULL) << "could not start the program that holds the file";
    ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 0), (DWORD)WAIT_TIMEOUT) << "the program ended at once";
    std::string before;
    ASSERT_TRUE(ReadBytes(path, &before));

    EXPECT_FALSE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"Braskmir.exe"));
    std::string after;
    EXPECT_TRUE(ReadBytes(path, &after));
    EXPECT_TRUE(before == after) << "the running program's file was changed";
    EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 0), (DWORD)WAIT_TIMEOUT) << "the program did not keep running";
    EXPECT_FALSE(Recorded(path));

    ::TerminateProcess(pi.hProcess, 0);
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

TEST(ExtractResourceFile, UnknownOrEmptyResourceCreatesNothing)
{
    std::wstring root = UnusedTestPath(L"payload-none");
    std::wstring folder = root + L"\\sub";
    EXPECT_FALSE(ExtractResourceFile(999, folder.c_str(), L"x.dll"));
    EXPECT_FALSE(FileExists(root)) << "a folder was created for a resource that does not exist";
    EXPECT_FALSE(ExtractResourceFile(TEST_PAYLOAD_EMPTY, folder.c_str(), L"x.dll"));
    EXPECT_FALSE(FileExists(root)) << "a folder was created for an empty resource";
}

TEST(ExtractResourceFile, UncreatableFolderFails)
{
    // A drive letter that no drive has (CTest keeps drive-mapping tests away meanwhile).
    DWORD dwDrives = ::GetLogicalDrives();
    WCHAR cLetter = 0;
    for (WCHAR c = L'Y'; c >= L'D' && cLetter == 0; --c) {
        if (!(dwDrives & (1u << (c - L'A'))))
            cLetter = c;
    }
    ASSERT_NE(cLetter, 0) << "every drive letter is taken";
    WCHAR szFolder[32];
    ::wnsprintfW(szFolder, 32, L"%c:\\kv\\nowhere", cLetter);
    EXPECT_FALSE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, szFolder, L"x.dll"));
    EXPECT_FALSE(FileExists(szFolder));

    // A folder below a file cannot be made either.
    std::wstring file = MakeTestFolder(L"payload-file") + L"\\plain";
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_FALSE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, (file + L"\\sub").c_str(), L"x.dll"));
    EXPECT_FALSE(FileExists(file + L"\\sub"));
}

TEST(ExtractResourceFile, PathBeyondTheLimitIsNotWrittenShortened)
{
    std::wstring folder = MakeTestFolder(L"payload-long");
    while (folder.size() < 240)
        folder += L"\\dddddddddd";
    std::wstring name = std::wstring(40, L'n') + L".dll";
    EXPECT_FALSE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), name.c_str()));
    // Nothing of the file name may have been written anywhere in that folder.
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((folder + L"\\n*").c_str(), &fd);
    EXPECT_EQ(hFind, INVALID_HANDLE_VALUE);
    if (hFind != INVALID_HANDLE_VALUE)
        ::FindClose(hFind);
}

TEST(PayloadCleanup, RemovesFromTheFolderWrittenToNotTheCurrentFolder)
{
    std::wstring written = MakeTestFolder(L"cleanup-written");
    std::wstring current = MakeTestFolder(L"cleanup-current");
    // A file of the same name that the program did not write, in the current folder.
    ASSERT_TRUE(WriteBytes(current + L"\\DLEngine.dll", "not ours"));
    WCHAR szOld[MAX_PATH + 4];
    ::GetCurrentDirectoryW(MAX_PATH + 4, szOld);
    ASSERT_TRUE(::SetCurrentDirectoryW(current.c_str()));

    ASSERT_TRUE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, written.c_str(), L"DLEngine.dll"));
    ASSERT_TRUE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, written.c_str(), L"ZLib1.dll"));
    RemoveWrittenPayloads();
    ::SetCurrentDirectoryW(szOld);

    EXPECT_FALSE(FileExists(written + L"\\DLEngine.dll"));
    EXPECT_FALSE(FileExists(written + L"\\ZLib1.dll"));
    std::string bytes;
    EXPECT_TRUE(ReadBytes(current + L"\\DLEngine.dll", &bytes));
    EXPECT_EQ(bytes, "not ours");
    EXPECT_EQ(GetWrittenPayloadCount(), 0);
}

TEST(PayloadCleanup, RecordKeepsEachPathOnce)
{
    RemoveWrittenPayloads();
    std::wstring folder = MakeTestFolder(L"cleanup-once");
    ASSERT_TRUE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"a.bin"));
    ASSERT_TRUE(ExtractResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"A.BIN"));
    EXPECT_EQ(GetWrittenPayloadCount(), 1);
    RemoveWrittenPayloads();
    EXPECT_FALSE(FileExists(folder + L"\\a.bin"));
}

TEST(PayloadCleanup, LoadedLibraryIsDeletedAfterRelease)
{
    std::wstring path;
    HMODULE hLib = ExtractAndLoadLibrary(L"cleanup-loaded", &path);
    ASSERT_NE(hLib, (HMODULE)NULL);
    // In use, the file cannot go: start-up releases the library before the clean-up.
    EXPECT_FALSE(::DeleteFileW(path.c_str()));
    ::FreeLibrary(hLib);
    RemoveWrittenPayloads();
    EXPECT_FALSE(FileExists(path));
}

// The value Windows reads at the next start (pairs of paths, an empty second one for
// "delete"), in lower case.
static std::wstring PendingRenames()
{
    std::wstring pending;
    HKEY hKey = NULL;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                        &hKey) != ERROR_SUCCESS)
        return pending;
    DWORD cb = 0;
    if (::RegQueryValueExW(hKey, L"PendingFileRenameOperations", NULL, NULL, NULL, &cb) == ERROR_SUCCESS) {
        pending.resize(cb / sizeof(WCHAR) + 1);
        ::RegQueryValueExW(hKey, L"PendingFileRenameOperations", NULL, NULL, (LPBYTE)&pending[0], &cb);
    }
    ::RegCloseKey(hKey);
    for (WCHAR& c : pending)
        c = (WCHAR)towlower(c);
    return pending;
}

TEST(PayloadCleanup, FileStillInUseIsLeftForTheNextRestart)
{
    // A folder name no earlier run can have used: the prefix keeps the renames of every run.
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    WCHAR szName[64];
    ::wnsprintfW(szName, 64, L"cleanup-busy-%08lx%08lx", ft.dwHighDateTime, ft.dwLowDateTime);
    std::wstring path;
    HMODULE hLib = ExtractAndLoadLibrary(szName, &path);
    ASSERT_NE(hLib, (HMODULE)NULL);
    std::wstring lowerName = path.substr(0, path.rfind(L'\\'));
    lowerName = lowerName.substr(lowerName.rfind(L'\\') + 1);
    for (WCHAR& c : lowerName)
        c = (WCHAR)towlower(c);
    ASSERT_EQ(PendingRenames().find(lowerName), std::wstring::npos) << "the folder name was used before";

    RemoveWrittenPayloads();
    EXPECT_TRUE(FileExists(path));
    EXPECT_NE(PendingRenames().find(lowerName), std::wstring::npos) << "no deletion scheduled for the file in use";

    ::FreeLibrary(hLib);
    ::DeleteFileW(path.c_str());
}
