// The run's private folder, held files and the engine written, checked and bound from that
// folder: fresh unpredictable names, the folder's access rights read back, what a hold lets
// other openers do, payload bytes changed between writing and holding, and the clean-up.
#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlwapi.h>
#include <string>
#include "RunFiles.h"
#include "startup/HeldFile.h"
#include "startup/Payload.h"
#include "startup/PrivateFolder.h"
#include "AppTestFiles.h"

namespace {

std::wstring TempFolder()
{
    WCHAR sz[MAX_PATH];
    ::GetTempPathW(MAX_PATH, sz);
    return sz;
}

bool IsPrivateName(LPCWSTR pszPath)
{
    LPCWSTR pszName = ::PathFindFileNameW(pszPath);
    if (::StrCmpNW(pszName, L"kv-", 3) != 0 || lstrlenW(pszName) != 35)
        return false;
    for (int i = 3; i < 35; ++i) {
        if (!((pszName[i] >= L'0' && pszName[i] <= L'9') || (pszName[i] >= L'a' && pszName[i] <= L'f')))
            return false;
    }
    return true;
}

bool IsFolder(const std::wstring& path)
{
    DWORD dw = ::GetFileAttributesW(path.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens path as another program would; the handle is closed again. The error of a failed
// open, or 0.
DWORD OpenError(const std::wstring& path, DWORD dwAccess, DWORD dwShare, DWORD dwFlags = 0)
{
    HANDLE h = ::CreateFileW(path.c_str(), dwAccess, dwShare, NULL, OPEN_EXISTING, dwFlags, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    ::CloseHandle(h);
    return 0;
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Payload bytes changed by somebody else right after they were written.
void FlipFirstByte(LPCWSTR pszPath)
{
    std::string bytes;
    if (ReadBytes(pszPath, &bytes) && !bytes.empty()) {
        bytes[0] ^= 0x55;
        WriteBytes(pszPath, bytes);
    }
}

class PayloadGap : public ::testing::Test
{
protected:
    void TearDown() override { g_pfnPayloadWritten = NULL; }
};

}  // namespace

TEST(PrivateFolder, FreshUnpredictableNameUnderTempEachTimeAndRemoved)
{
    CPrivateFolder a, b;
    ASSERT_TRUE(a.Create());
    ASSERT_TRUE(b.Create());
    EXPECT_TRUE(IsPrivateName(a.Path())) << a.Path();
    EXPECT_TRUE(IsPrivateName(b.Path())) << b.Path();
    EXPECT_NE(std::wstring(a.Path()), std::wstring(b.Path()));
    std::wstring parent = a.Path();
    parent.resize(parent.size() - 35);
    EXPECT_EQ(::lstrcmpiW(parent.c_str(), TempFolder().c_str()), 0) << parent;

    std::wstring path = a.Path();
    ASSERT_TRUE(WriteBytes(path + L"\\DLEngine.dll", "x"));
    a.Remove();
    EXPECT_FALSE(IsFolder(path)) << "the folder and its file stay after Remove";
    EXPECT_TRUE(IsFolder(b.Path()));
}

TEST(PrivateFolder, MissingParentGivesNoFolder)
{
    CPrivateFolder f;
    std::wstring parent = UnusedTestPath(L"private-no-parent");
    EXPECT_FALSE(f.Create(parent.c_str()));
    EXPECT_FALSE(f.IsCreated());
    EXPECT_FALSE(IsFolder(parent));
}

// Only SYSTEM and the Administrators may use the folder, its DACL inherits nothing from
// %TEMP%, and the Administrators own it.
void ExpectOnlySystemAndAdministrators(PSECURITY_DESCRIPTOR pSD)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(pSD, &control, &dwRevision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "the DACL inherits from %TEMP%";
    BOOL bPresent = FALSE, bDefaulted = FALSE;
    PACL pDacl = NULL;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(pSD, &bPresent, &pDacl, &bDefaulted));
    ASSERT_TRUE(bPresent && pDacl != NULL) << "a null DACL grants everybody everything";
    PSID pOwner = NULL;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(pSD, &pOwner, &bDefaulted));

    BYTE sidSystem[SECURITY_MAX_SID_SIZE], sidAdmins[SECURITY_MAX_SID_SIZE];
    DWORD cb = sizeof(sidSystem);
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, NULL, sidSystem, &cb));
    cb = sizeof(sidAdmins);
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, sidAdmins, &cb));
    EXPECT_TRUE(pOwner != NULL && ::EqualSid(pOwner, sidAdmins)) << "owner is not the Administrators group";

    EXPECT_EQ(pDacl->AceCount, 2);
    for (WORD i = 0; i < pDacl->AceCount; ++i) {
        ACE_HEADER* pAce = NULL;
        ASSERT_TRUE(::GetAce(pDacl, i, (LPVOID*)&pAce));
        ASSERT_EQ(pAce->AceType, ACCESS_ALLOWED_ACE_TYPE);
        ACCESS_ALLOWED_ACE* pAllowed = (ACCESS_ALLOWED_ACE*)pAce;
        PSID pSid = &pAllowed->SidStart;
        EXPECT_TRUE(::EqualSid(pSid, sidSystem) || ::EqualSid(pSid, sidAdmins))
            << "ACE " << i << " grants a third party";
        EXPECT_EQ(pAce->AceFlags & INHERITED_ACE, 0);
    }
}

PSECURITY_DESCRIPTOR ReadFolderDescriptor(LPCWSTR pszPath)
{
    PSECURITY_DESCRIPTOR pSD = NULL;
    if (::GetNamedSecurityInfoW(const_cast<LPWSTR>(pszPath), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, NULL, NULL, NULL, NULL,
                                &pSD) != ERROR_SUCCESS)
        return NULL;
    return pSD;
}

// Whether files here keep the descriptor they are created with: Windows does; a Wine whose
// files cannot hold one (no extended attributes) makes one up from the Linux mode bits.
bool FilesKeepDescriptors()
{
    std::wstring probe = UnusedTestPath(L"descriptor-probe");
    PSECURITY_DESCRIPTOR pAsked = NULL;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;SY)", SDDL_REVISION_1, &pAsked, NULL))
        return false;
    SECURITY_ATTRIBUTES sa = { sizeof(sa), pAsked, FALSE };
    bool bKept = false;
    if (::CreateDirectoryW(probe.c_str(), &sa)) {
        PSECURITY_DESCRIPTOR pRead = ReadFolderDescriptor(probe.c_str());
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD dwRevision = 0;
        bKept = pRead != NULL && ::GetSecurityDescriptorControl(pRead, &control, &dwRevision) &&
                (control & SE_DACL_PROTECTED) != 0;
        ::LocalFree(pRead);
        ::RemoveDirectoryW(probe.c_str());
    }
    ::LocalFree(pAsked);
    return bKept;
}

TEST(PrivateFolder, DescriptorAskedForGrantsOnlySystemAndAdministratorsAndInheritsNothing)
{
    PSECURITY_DESCRIPTOR pSD = NULL;
    ASSERT_TRUE(
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(PRIVATE_FOLDER_SDDL, SDDL_REVISION_1, &pSD, NULL));
    ExpectOnlySystemAndAdministrators(pSD);
    ::LocalFree(pSD);
}

// Wine does not enforce access rights, so what is checked is the security descriptor the
// folder carries: read back, it must be the one asked for.
TEST(PrivateFolder, FolderCarriesThatDescriptor)
{
    if (!FilesKeepDescriptors())
        GTEST_SKIP() << "files here keep no security descriptor (Wine without extended attributes)";
    CPrivateFolder f;
    ASSERT_TRUE(f.Create());
    PSECURITY_DESCRIPTOR pSD = ReadFolderDescriptor(f.Path());
    ASSERT_NE(pSD, (PSECURITY_DESCRIPTOR)NULL);
    ExpectOnlySystemAndAdministrators(pSD);
    ::LocalFree(pSD);
}

TEST(PrivateFolder, CannotBeRenamedOrDeletedWhileTheRunHoldsIt)
{
    CPrivateFolder f;
    ASSERT_TRUE(f.Create());
    std::wstring path = f.Path();
    std::wstring moved = path + L"-moved";
    EXPECT_FALSE(::MoveFileW(path.c_str(), moved.c_str())) << "renamed away";
    EXPECT_FALSE(::RemoveDirectoryW(path.c_str()));
    EXPECT_TRUE(IsFolder(path));
    ::RemoveDirectoryW(moved.c_str());
}

TEST(HeldFile, OthersReadAndLoadButCannotWriteRenameOrDelete)
{
    std::wstring folder = MakeTestFolder(L"held-file");
    std::wstring path = folder + L"\\kvzlib.dll";
    CHeldFile hold;
    ASSERT_TRUE(ExtractHeldResourceFile(TEST_PAYLOAD_DLL, folder.c_str(), L"kvzlib.dll", &hold));
    ASSERT_TRUE(hold.IsHeld());

    EXPECT_EQ(OpenError(path, GENERIC_READ, kShareAll), 0u) << "reading refused";
    EXPECT_EQ(OpenError(path, GENERIC_WRITE, kShareAll), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenError(path, DELETE, kShareAll), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(::DeleteFileW(path.c_str()));
    EXPECT_FALSE(::MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_REPLACE_EXISTING));
    HMODULE h = ::LoadLibraryW(path.c_str());
    EXPECT_NE(h, (HMODULE)NULL) << "a held library must still load";
    if (h != NULL)
        ::FreeLibrary(h);

    hold.Release();
    EXPECT_TRUE(::DeleteFileW(path.c_str())) << "the hold outlived Release";
}

TEST(HeldFile, FileOpenForWritingElsewhereIsNotHeld)
{
    std::wstring folder = MakeTestFolder(L"held-busy");
    std::wstring path = folder + L"\\f.bin";
    ASSERT_TRUE(WriteBytes(path, "abc"));
    HANDLE hWriter = ::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hWriter, INVALID_HANDLE_VALUE);
    CHeldFile hold;
    EXPECT_FALSE(hold.Hold(path.c_str())) << "held while another program may still write it";
    ::CloseHandle(hWriter);
    ASSERT_TRUE(hold.Hold(path.c_str()));
    EXPECT_TRUE(hold.ContentEquals("abc", 3));
    EXPECT_FALSE(hold.ContentEquals("abd", 3));
    EXPECT_FALSE(hold.ContentEquals("abc", 2));
    EXPECT_FALSE(hold.HoldFolder(path.c_str())) << "a file held as a folder";
}

TEST(HeldFile, FolderKeepsItsFilesChangeableButCannotBeRenamed)
{
    std::wstring folder = MakeTestFolder(L"held-folder");
    CHeldFile hold;
    ASSERT_TRUE(hold.HoldFolder(folder.c_str()));
    EXPECT_TRUE(WriteBytes(folder + L"\\inside.txt", "x"));
    EXPECT_TRUE(::DeleteFileW((folder + L"\\inside.txt").c_str()));
    EXPECT_FALSE(::MoveFileW(folder.c_str(), (folder + L"-moved").c_str()));
    EXPECT_FALSE(hold.Hold(folder.c_str())) << "a folder held as a file";
}

TEST_F(PayloadGap, BytesChangedBeforeTheHoldAreRefused)
{
    std::wstring folder = MakeTestFolder(L"payload-gap");
    CHeldFile hold;
    g_pfnPayloadWritten = FlipFirstByte;
    EXPECT_FALSE(ExtractHeldResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"p.bin", &hold));
    EXPECT_FALSE(hold.IsHeld());
    g_pfnPayloadWritten = NULL;
    ASSERT_TRUE(ExtractHeldResourceFile(TEST_PAYLOAD_PATTERN, folder.c_str(), L"p.bin", &hold));
    EXPECT_TRUE(hold.IsHeld());
}

#ifdef KV_TEST_CARRIES_ENGINE
TEST_F(PayloadGap, TamperedEngineIsNeverLoaded)
{
    ASSERT_EQ(::GetModuleHandleW(L"DLEngine.dll"), (HMODULE)NULL);
    CRunFiles files;
    ASSERT_TRUE(files.CreateFolder());
    g_pfnPayloadWritten = FlipFirstByte;
    EXPECT_EQ(files.WriteAndLoadEngine(), (HMODULE)NULL);
    EXPECT_EQ(::GetModuleHandleW(L"DLEngine.dll"), (HMODULE)NULL) << "a changed engine was loaded";
    std::wstring folder = files.Folder();
    files.Remove();
    EXPECT_FALSE(IsFolder(folder));
}

TEST(RunFiles, EngineAndItsZlibComeFromThePrivateFolderWhichGoesAtTheEnd)
{
    // A library of the engine's name in %TEMP% and in the current folder must not be taken.
    std::wstring temp = TempFolder();
    std::wstring planted = temp + L"zlib1.dll";
    ASSERT_TRUE(WriteBytes(planted, "not a library"));
    CRunFiles files;
    ASSERT_TRUE(files.CreateFolder());
    std::wstring folder = files.Folder();
    WCHAR szOldCwd[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, szOldCwd);
    ::SetCurrentDirectoryW(temp.c_str());
    std::wstring zlib = ExpectedImportPath(folder, L"ZLib1.dll");
    HMODULE hEngine = files.WriteAndLoadEngine();
    ::SetCurrentDirectoryW(szOldCwd);
    ASSERT_NE(hEngine, (HMODULE)NULL);
    WCHAR sz[MAX_PATH];
    ::GetModuleFileNameW(hEngine, sz, MAX_PATH);
    EXPECT_EQ(::lstrcmpiW(sz, (folder + L"\\DLEngine.dll").c_str()), 0) << sz;
    std::wstring loaded = LoadedModulePath(L"zlib1.dll");
    EXPECT_EQ(::lstrcmpiW(loaded.c_str(), zlib.c_str()), 0) << std::string(loaded.begin(), loaded.end());
    EXPECT_EQ(OpenError(folder + L"\\DLEngine.dll", GENERIC_WRITE, kShareAll), (DWORD)ERROR_SHARING_VIOLATION);

    files.Remove();
    EXPECT_FALSE(IsFolder(folder)) << "the private folder stays";
    EXPECT_EQ(::GetModuleHandleW(L"DLEngine.dll"), (HMODULE)NULL);
    ::DeleteFileW(planted.c_str());
}
#endif
