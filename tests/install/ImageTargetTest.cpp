// Image names and the target rule with stand-in free-space answers (the drives D: to Z:
// of the test prefix hold no partial downloads). The rule on real mounted drives of chosen
// sizes is in ImageTargetDrivesTest.cpp.
#include <gtest/gtest.h>
#include "InstallTestSupport.h"

static const ULONGLONG GiB = 1ULL << 30;

static std::wstring Target(int nKind, int cch = 264)
{
    WCHAR sz[264] = L"garbage";
    BOOL bRet = FindImageTarget(sz, cch, nKind);
    EXPECT_EQ(bRet, sz[0] != L'\0');
    return sz;
}

TEST(ImageName, Kinds)
{
    EXPECT_STREQ(L"xp", GetImageName(IMAGE_KIND_XP));
    EXPECT_STREQ(L"win7u32", GetImageName(IMAGE_KIND_WIN7));
    EXPECT_STREQ(L"win7u64", GetImageName(IMAGE_KIND_WIN7_X64));
    EXPECT_EQ(NULL, GetImageName(0));
    EXPECT_EQ(NULL, GetImageName(2));
}

TEST(ImageTarget, ScansDToZAndTakesTheVolumesFreeBytes)
{
    FakeDisks disks({ { L"C:", 500 * GiB }, { L"M:", 2 * GiB } });
    EXPECT_EQ(L"M:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
    ASSERT_EQ(23u, FakeDisks::s_asked.size());
    EXPECT_EQ(L"D:", FakeDisks::s_asked.front());
    EXPECT_EQ(L"Z:", FakeDisks::s_asked.back());
}

TEST(ImageTarget, OnlySystemDriveHasRoom)
{
    FakeDisks disks({ { L"C:", 500 * GiB } });
    EXPECT_EQ(L"", Target(IMAGE_KIND_XP));
    EXPECT_EQ(L"", Target(IMAGE_KIND_WIN7));
}

TEST(ImageTarget, XpMinimumIsOneGiBInclusive)
{
    {
        FakeDisks disks({ { L"E:", GiB } });
        EXPECT_EQ(L"E:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
    }
    FakeDisks disks({ { L"E:", GiB - 1 } });
    EXPECT_EQ(L"", Target(IMAGE_KIND_XP));
}

TEST(ImageTarget, Win7MinimumIsFourGiB)
{
    {
        FakeDisks disks({ { L"E:", 4 * GiB } });
        EXPECT_EQ(L"E:\\ghofile\\win7u32.vex", Target(IMAGE_KIND_WIN7));
    }
    FakeDisks disks({ { L"E:", 4 * GiB - 1 }, { L"F:", 3 * GiB } });
    EXPECT_EQ(L"", Target(IMAGE_KIND_WIN7));
    EXPECT_EQ(L"E:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
}

TEST(ImageTarget, MostFreeWinsEarlierLetterOnEqual)
{
    {
        FakeDisks disks({ { L"D:", 5 * GiB }, { L"E:", 5 * GiB }, { L"F:", 4 * GiB } });
        EXPECT_EQ(L"D:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
    }
    FakeDisks disks({ { L"D:", 5 * GiB }, { L"Y:", 5 * GiB + 1 } });
    EXPECT_EQ(L"Y:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
}

TEST(ImageTarget, NoMinimumForTheUnselectableKindAndNullName)
{
    FakeDisks disks({ { L"G:", 1 } });
    EXPECT_EQ(L"G:\\ghofile\\win7u64.vex", Target(IMAGE_KIND_WIN7_X64));
}

TEST(ImageTarget, ShortBufferIsCutNeverOverrun)
{
    FakeDisks disks({ { L"D:", 2 * GiB } });
    WCHAR sz[16];
    for (int i = 0; i < 16; ++i)
        sz[i] = L'#';
    EXPECT_TRUE(FindImageTarget(sz, 8, IMAGE_KIND_XP));
    EXPECT_EQ(L'#', sz[8]);
    EXPECT_LT(lstrlenW(sz), 8);
    EXPECT_EQ(0, wcsncmp(sz, L"D:\\ghofile", lstrlenW(sz)));
    EXPECT_FALSE(FindImageTarget(NULL, 264, IMAGE_KIND_XP));
}
