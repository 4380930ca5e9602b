// The re-launch parameters, the elevation marker, and the elevation step with stand-ins
// for the administrator test and the shell call.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "app/Relaunch.h"
#include <shellapi.h>

namespace {

// Builds into a 512-character buffer inside a larger one whose tail must stay untouched.
std::wstring Build(const std::wstring& args, bool* pTailIntact = nullptr)
{
    WCHAR buf[RELAUNCH_PARAMS_CCH + 32];
    for (WCHAR& c : buf)
        c = L'#';
    EXPECT_TRUE(BuildRelaunchParams(args.c_str(), buf, RELAUNCH_PARAMS_CCH));
    bool intact = true;
    for (int i = RELAUNCH_PARAMS_CCH; i < RELAUNCH_PARAMS_CCH + 32; ++i)
        intact = intact && buf[i] == L'#';
    if (pTailIntact)
        *pTailIntact = intact;
    return std::wstring(buf);
}

}  // namespace

TEST(RelaunchParams, EmptyArgumentsBecomeTheMarker)
{
    EXPECT_EQ(Build(L""), L"/uac");
    WCHAR buf[RELAUNCH_PARAMS_CCH];
    ASSERT_TRUE(BuildRelaunchParams(NULL, buf, RELAUNCH_PARAMS_CCH));
    EXPECT_STREQ(buf, L"/uac");
}

TEST(RelaunchParams, MarkerAppendedWithoutBlank)
{
    EXPECT_EQ(Build(L"abc"), L"abc/uac");
    EXPECT_EQ(Build(L"-x \"C:\\a b\\\" "), L"-x \"C:\\a b\\\" /uac");
}

TEST(RelaunchParams, LongestArgumentsThatFitAreKept)
{
    std::wstring args(507, L'a');
    EXPECT_EQ(Build(args), args + L"/uac");
}

TEST(RelaunchParams, OverlongArgumentsAreCutAndKeepTheMarker)
{
    for (size_t n : { 508u, 511u, 512u, 513u, 2000u, 40000u }) {
        std::wstring args;
        for (size_t i = 0; i < n; ++i)
            args += (WCHAR)(L'a' + i % 26);
        bool intact = false;
        std::wstring out = Build(args, &intact);
        EXPECT_TRUE(intact) << n;
        ASSERT_EQ(out.size(), 511u) << n;
        EXPECT_EQ(out.substr(0, 507), args.substr(0, 507)) << n;
        EXPECT_EQ(out.substr(507), L"/uac") << n;
        EXPECT_TRUE(HasElevationMarker(out.c_str())) << n;
    }
}

TEST(RelaunchParams, CutNeverSplitsASurrogatePair)
{
    std::wstring args(506, L'a');
    args += L"\xD83D\xDE00";  // one character outside the BMP across the cut
    args += L"tail";
    std::wstring out = Build(args);
    EXPECT_EQ(out, std::wstring(506, L'a') + L"/uac");
}

TEST(RelaunchParams, TinyBufferRefused)
{
    WCHAR buf[4] = { L'x', L'x', L'x', L'x' };
    EXPECT_FALSE(BuildRelaunchParams(L"a", buf, 4));
    EXPECT_EQ(buf[0], L'x');
}

TEST(ElevationMarker, RecognisedInAnyCaseAnywhere)
{
    EXPECT_TRUE(HasElevationMarker(L"/uac"));
    EXPECT_TRUE(HasElevationMarker(L"/UaC"));
    EXPECT_TRUE(HasElevationMarker(L"foo/UAC"));
    EXPECT_TRUE(HasElevationMarker(L"a /uAc b"));
    EXPECT_TRUE(HasElevationMarker(L"x/uacy"));
}

TEST(ElevationMarker, AbsentMarkerNotRecognised)
{
    EXPECT_FALSE(HasElevationMarker(L""));
    EXPECT_FALSE(HasElevationMarker(NULL));
    EXPECT_FALSE(HasElevationMarker(L"uac"));
    EXPECT_FALSE(HasElevationMarker(L"/ua c"));
    EXPECT_FALSE(HasElevationMarker(L"\\uac"));
}

namespace {

// What the elevation step asked of the shell.
struct ShellCall
{
    HWND hWnd;
    std::wstring verb, file, params;
    bool bNullDir;
    INT nShow;
};

BOOL s_bAdmin = FALSE;
HINSTANCE s_hShellResult = (HINSTANCE)42;
std::vector<ShellCall> s_calls;

BOOL WINAPI FakeIsUserAnAdmin() { return s_bAdmin; }

HINSTANCE WINAPI FakeShellExecute(HWND hWnd, LPCWSTR pszVerb, LPCWSTR pszFile, LPCWSTR pszParams, LPCWSTR pszDir,
                                  INT nShow)
{
    s_calls.push_back({ hWnd, pszVerb ? pszVerb : L"(null)", pszFile ? pszFile : L"(null)",
                        pszParams ? pszParams : L"(null)", pszDir == NULL, nShow });
    return s_hShellResult;
}

// Puts the stand-ins in place for one test and the system's calls back afterwards.
class ElevationStep : public ::testing::Test
{
protected:
    void SetUp() override
    {
        s_bAdmin = FALSE;
        s_hShellResult = (HINSTANCE)42;
        s_calls.clear();
        g_pfnIsUserAnAdmin = FakeIsUserAnAdmin;
        g_pfnShellExecuteW = FakeShellExecute;
    }
    void TearDown() override
    {
        g_pfnIsUserAnAdmin = NULL;
        g_pfnShellExecuteW = NULL;
    }
};

const WCHAR kModule[] = L"C:\\Program Files\\Korvane\\Korvane.exe";

}  // namespace

TEST_F(ElevationStep, AdministratorGoesOnWithoutAnyShellCall)
{
    s_bAdmin = TRUE;
    EXPECT_TRUE(EnsureElevated(kModule, L""));
    EXPECT_TRUE(EnsureElevated(kModule, L"-x /UAC"));
    EXPECT_TRUE(s_calls.empty());
}

TEST_F(ElevationStep, WithoutRightsStartsItselfOnceElevatedWithTheMarker)
{
    EXPECT_FALSE(EnsureElevated(kModule, L""));
    EXPECT_FALSE(EnsureElevated(kModule, L"-x \"a b\""));
    ASSERT_EQ(s_calls.size(), 2u);
    for (const ShellCall& call : s_calls) {
        EXPECT_EQ(call.hWnd, (HWND)NULL);
        EXPECT_EQ(call.verb, L"runas");
        EXPECT_EQ(call.file, kModule);
        EXPECT_TRUE(call.bNullDir);
        EXPECT_EQ(call.nShow, SW_SHOWNORMAL);
    }
    EXPECT_EQ(s_calls[0].params, L"/uac");
    EXPECT_EQ(s_calls[1].params, L"-x \"a b\"/uac");
}

TEST_F(ElevationStep, RefusedPromptEndsTheProgramAllTheSame)
{
    s_hShellResult = (HINSTANCE)SE_ERR_ACCESSDENIED;
    EXPECT_FALSE(EnsureElevated(kModule, L"a"));
    ASSERT_EQ(s_calls.size(), 1u) << "the start is tried once, never again";
    EXPECT_EQ(s_calls[0].params, L"a/uac");
}

TEST_F(ElevationStep, OverlongArgumentsStillCarryTheMarker)
{
    EXPECT_FALSE(EnsureElevated(kModule, std::wstring(3000, L'z').c_str()));
    ASSERT_EQ(s_calls.size(), 1u);
    EXPECT_EQ(s_calls[0].params, std::wstring(507, L'z') + L"/uac");
}
