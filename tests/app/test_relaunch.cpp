// The re-launch parameters and the elevation marker.
#include <gtest/gtest.h>
#include <string>
#include "app/Relaunch.h"

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

} // namespace

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
    for (size_t n : {508u, 511u, 512u, 513u, 2000u, 40000u}) {
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
    args += L"\xD83D\xDE00";    // one character outside the BMP across the cut
    args += L"tail";
    std::wstring out = Build(args);
    EXPECT_EQ(out, std::wstring(506, L'a') + L"/uac");
}

TEST(RelaunchParams, TinyBufferRefused)
{
    WCHAR buf[4] = {L'x', L'x', L'x', L'x'};
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
