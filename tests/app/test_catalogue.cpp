// Reading the catalogue: the draw of one address per system, counts, missing keys and
// sections, the 1023-character limit, letter case of names.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "startup/Catalogue.h"
#include "AppTestFiles.h"

namespace {

// The tick source the draws read: a scripted sequence, one value per call.
std::vector<DWORD> s_ticks;
size_t s_nextTick;
DWORD WINAPI ScriptedTick()
{
    return s_nextTick < s_ticks.size() ? s_ticks[s_nextTick++] : 0;
}

class CatalogueRead : public ::testing::Test
{
protected:
    std::wstring m_path;

    void SetUp() override
    {
        // A fresh file name per test: the profile reader may keep a file it read before.
        m_path = MakeTestFolder(L"catalogue") + L"\\vantoir.ini";
        ::lstrcpynW(g_szXPUrl, L"stale xp", CATALOGUE_URL_CCH);
        ::lstrcpynW(g_szWin7Url, L"stale win7", CATALOGUE_URL_CCH);
    }

    void Write(const std::string& text) { WriteBytes(m_path, text); }

    void Read(std::vector<DWORD> ticks)
    {
        s_ticks = ticks;
        s_nextTick = 0;
        ReadCatalogue(m_path.c_str(), ScriptedTick);
    }
};

const char* const kThreeEach =
    "[WINXP]\r\nurlcount=3\r\nurl1=http://a/xp1\r\nurl2=http://a/xp2\r\nurl3=http://a/xp3\r\n"
    "[WIN7]\r\nurlcount=3\r\nurl1=http://a/w1\r\nurl2=http://a/w2\r\nurl3=http://a/w3\r\n";

} // namespace

TEST(CatalogueRandomIndex, ZeroCountGivesZero)
{
    s_ticks = {12345};
    s_nextTick = 0;
    EXPECT_EQ(RandomIndex(0, ScriptedTick), 0u);
}

TEST(CatalogueRandomIndex, TickModuloCount)
{
    s_ticks = {0, 1, 2, 3, 0xFFFFFFFFu};
    s_nextTick = 0;
    EXPECT_EQ(RandomIndex(3, ScriptedTick), 0u);
    EXPECT_EQ(RandomIndex(3, ScriptedTick), 1u);
    EXPECT_EQ(RandomIndex(3, ScriptedTick), 2u);
    EXPECT_EQ(RandomIndex(3, ScriptedTick), 0u);
    EXPECT_EQ(RandomIndex(7, ScriptedTick), 0xFFFFFFFFu % 7);
    for (int i = 0; i < 50; ++i)
        EXPECT_LT(RandomIndex(5), 5u);
}

TEST_F(CatalogueRead, CountOfThreePicksByTick)
{
    Write(kThreeEach);
    // The XP draw reads the tick first, then the Windows 7 draw.
    Read({0, 2});
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp1");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w3");
    Read({4, 3});
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp2");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
    Read({5, 7});
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp3");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w2");
}

TEST_F(CatalogueRead, CountOfThreeWithTheRealTickPicksOneOfThree)
{
    Write(kThreeEach);
    ReadCatalogue(m_path.c_str());
    std::wstring xp = g_szXPUrl, w7 = g_szWin7Url;
    EXPECT_TRUE(xp == L"http://a/xp1" || xp == L"http://a/xp2" || xp == L"http://a/xp3") << xp;
    EXPECT_TRUE(w7 == L"http://a/w1" || w7 == L"http://a/w2" || w7 == L"http://a/w3") << w7;
}

TEST_F(CatalogueRead, MissingCountUsesKeyOne)
{
    Write("[WINXP]\r\nurl1=http://a/xp1\r\nurl2=http://a/xp2\r\n[WIN7]\r\nurlcount=x\r\nurl1=http://a/w1\r\n");
    for (DWORD t : {0u, 1u, 7u}) {
        Read({t, t});
        EXPECT_STREQ(g_szXPUrl, L"http://a/xp1");
        EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
    }
}

TEST_F(CatalogueRead, CountOfTwoWithOnlyKeyOne)
{
    Write("[WINXP]\r\nurlcount=2\r\nurl1=http://a/xp1\r\n[WIN7]\r\nurlcount=2\r\nurl1=http://a/w1\r\n");
    Read({0, 1});
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp1");
    EXPECT_STREQ(g_szWin7Url, L"");
    Read({3, 2});
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
}

TEST_F(CatalogueRead, LongValueCutTo1023Characters)
{
    std::string value;
    for (int i = 0; i < 1500; ++i)
        value += (char)('a' + (i * 7) % 26);
    Write("[WINXP]\r\nurlcount=1\r\nurl1=" + value + "\r\n[WIN7]\r\nurl1=" + value.substr(0, 1023) + "\r\n");
    Read({0, 0});
    std::wstring expect(value.begin(), value.begin() + 1023);
    EXPECT_EQ(std::wstring(g_szXPUrl), expect);
    EXPECT_EQ(std::wstring(g_szWin7Url), expect);
    EXPECT_EQ(g_szXPUrl[1023], L'\0');
}

TEST_F(CatalogueRead, MissingSectionsGiveEmptyAddresses)
{
    Write("[OTHER]\r\nurlcount=1\r\nurl1=http://a/x\r\n");
    Read({0, 0});
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"");
}

TEST_F(CatalogueRead, FileThatIsNoProfileGivesEmptyAddresses)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += (char)((i * 131 + 17) & 0xFF);
    Write(junk);
    Read({0, 0});
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"");
}

TEST_F(CatalogueRead, MissingFileGivesEmptyAddresses)
{
    Read({0, 0});
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"");
}

TEST_F(CatalogueRead, NamesMatchInAnyLetterCase)
{
    Write("[winxp]\r\nURLCOUNT=2\r\nURL2=http://a/xp2\r\n[Win7]\r\nUrlCount=1\r\nuRl1=http://a/w1\r\n");
    Read({1, 0});
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp2");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
}
