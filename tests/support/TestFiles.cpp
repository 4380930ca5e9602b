#include "TestFiles.h"
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <vector>

namespace {

// Removes the folders this test program made (each run makes its own, named by its
// process id, so parallel runs never remove each other's).
class TestFolderCleanup : public ::testing::Environment
{
public:
    std::vector<std::wstring> m_folders;

    void TearDown() override
    {
        // A test may have left the current folder in one of them.
        WCHAR szTemp[MAX_PATH + 4];
        if (::GetTempPathW(MAX_PATH + 3, szTemp) != 0)
            ::SetCurrentDirectoryW(szTemp);
        for (const std::wstring& folder : m_folders) {
            std::wstring from = folder + L'\0';  // SHFileOperation wants a double terminator
            SHFILEOPSTRUCTW op = {};
            op.wFunc = FO_DELETE;
            op.pFrom = from.c_str();
            op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
            ::SHFileOperationW(&op);
        }
    }
};

// Registered before main, as GoogleTest expects; owned by GoogleTest.
TestFolderCleanup* const s_pCleanup =
    static_cast<TestFolderCleanup*>(::testing::AddGlobalTestEnvironment(new TestFolderCleanup));

}  // namespace

static std::wstring TestRoot()
{
    WCHAR szTemp[MAX_PATH + 4];
    ::GetTempPathW(MAX_PATH + 3, szTemp);
    ::PathAppendW(szTemp, L"kv-app-tests");
    ::CreateDirectoryW(szTemp, NULL);
    return szTemp;
}

std::wstring LoadedModulePath(const wchar_t* pszName)
{
    HMODULE hModule = ::GetModuleHandleW(pszName);
    WCHAR sz[MAX_PATH];
    if (hModule == NULL || ::GetModuleFileNameW(hModule, sz, MAX_PATH) == 0)
        return L"";
    return sz;
}

std::wstring ExpectedImportPath(const std::wstring& folder, const wchar_t* pszName)
{
    std::wstring loaded = LoadedModulePath(pszName);
    return loaded.empty() ? folder + L"\\" + pszName : loaded;
}

std::wstring UnusedTestPath(const wchar_t* pszName)
{
    static int s_n = 0;
    for (;;) {
        WCHAR szName[128];
        ::wnsprintfW(szName, 128, L"%s-%lu-%d", pszName, ::GetCurrentProcessId(), ++s_n);
        std::wstring path = TestRoot() + L"\\" + szName;
        if (!::PathFileExistsW(path.c_str())) {
            s_pCleanup->m_folders.push_back(path);
            return path;
        }
    }
}

std::wstring MakeTestFolder(const wchar_t* pszName)
{
    std::wstring path = UnusedTestPath(pszName);
    ::CreateDirectoryW(path.c_str(), NULL);
    return path;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD cb = 0;
    BOOL ok = ::WriteFile(h, bytes.data(), (DWORD)bytes.size(), &cb, NULL);
    ::CloseHandle(h);
    return ok && cb == bytes.size();
}

bool ReadBytes(const std::wstring& path, std::string* pBytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                             OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    pBytes->clear();
    char buf[65536];
    DWORD cb = 0;
    while (::ReadFile(h, buf, sizeof(buf), &cb, NULL) && cb > 0)
        pBytes->append(buf, cb);
    ::CloseHandle(h);
    return true;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ProgramFolder()
{
    WCHAR sz[1024];
    ::GetModuleFileNameW(NULL, sz, ARRAYSIZE(sz));
    ::PathRemoveFileSpecW(sz);
    if (::StrCmpNIW(sz, L"unix\\", 5) == 0)
        return std::wstring(L"\\\\?\\") + sz;
    return sz;
}

std::wstring TempDir()
{
    WCHAR sz[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH, sz);
    std::wstring s(sz, n);
    if (!s.empty() && s[s.size() - 1] != L'\\')
        s += L'\\';
    return s;
}

std::wstring WriteTempFile(const wchar_t* pszName, const std::vector<BYTE>& bytes)
{
    std::wstring path = TempDir() + pszName;
    WriteBytes(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

std::wstring ReadUtf8File(const std::wstring& path)
{
    std::string bytes;
    if (!ReadBytes(path, &bytes) || bytes.empty())
        return std::wstring();
    int cch = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), NULL, 0);
    std::wstring w(cch, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &w[0], cch);
    return w;
}
