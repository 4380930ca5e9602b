// The target rule on real drives: tmpfs mounts of chosen sizes mapped to drive letters by
// drive_scenarios.py, which runs each test here in the world its name stands for. The
// free-space figures come from Wine's volume query, so this also checks that the rule asks
// for the drive root the way Windows answers it.
#include <gtest/gtest.h>
#include "install/ImageTarget.h"

static std::wstring Target(int nKind)
{
    WCHAR sz[264];
    FindImageTarget(sz, 264, nKind);
    return sz;
}

// No drive mapped besides C:.
TEST(DriveScenario, OnlySystemDrive)
{
    EXPECT_EQ(L"", Target(IMAGE_KIND_XP));
    EXPECT_EQ(L"", Target(IMAGE_KIND_WIN7));
}

// D: a tmpfs of exactly 1 GiB.
TEST(DriveScenario, ExactlyOneGiB)
{
    EXPECT_EQ(L"D:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
    EXPECT_EQ(L"", Target(IMAGE_KIND_WIN7));
}

// D: a tmpfs of 1 GiB less one page (tmpfs sizes go by pages).
TEST(DriveScenario, JustBelowOneGiB) { EXPECT_EQ(L"", Target(IMAGE_KIND_XP)); }

// D: and E: tmpfs of 2 GiB each.
TEST(DriveScenario, EqualDrives) { EXPECT_EQ(L"D:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP)); }

// D: 2 GiB, E: 6 GiB, F: 5 GiB.
TEST(DriveScenario, MostFreeSpace)
{
    EXPECT_EQ(L"E:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
    EXPECT_EQ(L"E:\\ghofile\\win7u32.vex", Target(IMAGE_KIND_WIN7));
}

// E: 2 GiB holding ghofile\win7u32.vex.dl, F: 100 GiB.
TEST(DriveScenario, Win7PartialOnSmallDrive)
{
    EXPECT_EQ(L"", Target(IMAGE_KIND_WIN7)) << "the partial download stops the scan and fails 4 GiB";
    EXPECT_EQ(L"F:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP)) << "another image's partial file is ignored";
}

// E: 2 GiB holding ghofile\xp.vex.dl, F: 100 GiB.
TEST(DriveScenario, XpPartialWinsOverMoreSpace)
{
    EXPECT_EQ(L"E:\\ghofile\\xp.vex", Target(IMAGE_KIND_XP));
    EXPECT_EQ(L"F:\\ghofile\\win7u32.vex", Target(IMAGE_KIND_WIN7)) << "XP partial ignored for Win7";
}
