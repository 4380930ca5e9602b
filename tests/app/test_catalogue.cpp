// Reading the catalogue: the draw of one address per system, counts, missing keys and
// sections, the 1023-character limit, letter case of names; every address of a section
// with the optional size and SHA-256, and the order a task gets them in.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "startup/Catalogue.h"
#include "startup/ImageSource.h"
#include "AppTestFiles.h"

namespace {

// The tick source the draws read: a scripted sequence, one value per call.
std::vector<DWORD> s_ticks;
size_t s_nextTick;
DWORD WINAPI ScriptedTick() { return s_nextTick < s_ticks.size() ? s_ticks[s_nextTick++] : 0; }

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

}  // namespace

TEST(CatalogueRandomIndex, ZeroCountGivesZero)
{
    s_ticks = { 12345 };
    s_nextTick = 0;
    EXPECT_EQ(RandomIndex(0, ScriptedTick), 0u);
}

TEST(CatalogueRandomIndex, TickModuloCount)
{
    s_ticks = { 0, 1, 2, 3, 0xFFFFFFFFu };
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
    Read({ 0, 2 });
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp1");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w3");
    Read({ 4, 3 });
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp2");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
    Read({ 5, 7 });
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
    for (DWORD t : { 0u, 1u, 7u }) {
        Read({ t, t });
        EXPECT_STREQ(g_szXPUrl, L"http://a/xp1");
        EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
    }
}

TEST_F(CatalogueRead, CountOfTwoWithOnlyKeyOne)
{
    Write("[WINXP]\r\nurlcount=2\r\nurl1=http://a/xp1\r\n[WIN7]\r\nurlcount=2\r\nurl1=http://a/w1\r\n");
    Read({ 0, 1 });
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp1");
    EXPECT_STREQ(g_szWin7Url, L"");
    Read({ 3, 2 });
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
}

TEST_F(CatalogueRead, LongValueCutTo1023Characters)
{
    std::string value;
    for (int i = 0; i < 1500; ++i)
        value += (char)('a' + (i * 7) % 26);
    Write("[WINXP]\r\nurlcount=1\r\nurl1=" + value + "\r\n[WIN7]\r\nurl1=" + value.substr(0, 1023) + "\r\n");
    Read({ 0, 0 });
    std::wstring expect(value.begin(), value.begin() + 1023);
    EXPECT_EQ(std::wstring(g_szXPUrl), expect);
    EXPECT_EQ(std::wstring(g_szWin7Url), expect);
    EXPECT_EQ(g_szXPUrl[1023], L'\0');
}

TEST_F(CatalogueRead, MissingSectionsGiveEmptyAddresses)
{
    Write("[OTHER]\r\nurlcount=1\r\nurl1=http://a/x\r\n");
    Read({ 0, 0 });
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"");
}

TEST_F(CatalogueRead, FileThatIsNoProfileGivesEmptyAddresses)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += (char)((i * 131 + 17) & 0xFF);
    Write(junk);
    Read({ 0, 0 });
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"");
}

TEST_F(CatalogueRead, MissingFileGivesEmptyAddresses)
{
    Read({ 0, 0 });
    EXPECT_STREQ(g_szXPUrl, L"");
    EXPECT_STREQ(g_szWin7Url, L"");
}

TEST_F(CatalogueRead, NamesMatchInAnyLetterCase)
{
    Write("[winxp]\r\nURLCOUNT=2\r\nURL2=http://a/xp2\r\n[Win7]\r\nUrlCount=1\r\nuRl1=http://a/w1\r\n");
    Read({ 1, 0 });
    EXPECT_STREQ(g_szXPUrl, L"http://a/xp2");
    EXPECT_STREQ(g_szWin7Url, L"http://a/w1");
}

// ---- every address, size and SHA-256 of a section (ImageSource.h) ----

TEST_F(CatalogueRead, EveryNonEmptyAddressOfBothSectionsIsKeptInKeyOrder)
{
    Write("[WINXP]\r\nurlcount=4\r\nurl1=http://a/xp1\r\nurl2=\r\nurl3=http://b/xp3\r\nurl4=http://c/xp4\r\n"
          "url5=http://d/beyond-count\r\n[WIN7]\r\nurl1=http://a/w1\r\nurl2=http://a/w2\r\n");
    Read({ 1, 0 });
    EXPECT_STREQ(g_szXPUrl, L"") << "the draw is unchanged: key 2 is empty";
    ASSERT_EQ(3, g_srcXP.nUrls);
    EXPECT_STREQ(L"http://a/xp1", g_srcXP.aszUrls[0]);
    EXPECT_STREQ(L"http://b/xp3", g_srcXP.aszUrls[1]);
    EXPECT_STREQ(L"http://c/xp4", g_srcXP.aszUrls[2]);
    ASSERT_EQ(1, g_srcWin7.nUrls) << "no count: key 1 only, as the draw";
    EXPECT_STREQ(L"http://a/w1", g_srcWin7.aszUrls[0]);
    EXPECT_EQ(0u, g_srcXP.ullSize);
    EXPECT_STREQ(L"", g_srcXP.szSha256);
}

TEST_F(CatalogueRead, SixteenAddressesAtMostAlsoWhenTheCountNamesMore)
{
    std::string text = "[WINXP]\r\nurlcount=40\r\n";
    for (int i = 1; i <= 40; ++i)
        text += "url" + std::to_string(i) + "=http://m" + std::to_string(i) + "/xp\r\n";
    Write(text);
    Read({ 0, 0 });
    ASSERT_EQ(16, g_srcXP.nUrls);
    EXPECT_STREQ(L"http://m16/xp", g_srcXP.aszUrls[15]);
    EXPECT_EQ(0, g_srcWin7.nUrls) << "no section: no address";
}

TEST_F(CatalogueRead, SizeAndSha256AreReadWhenWellFormedAndLeftOutOtherwise)
{
    const std::string sha = "00112233445566778899AABBCCDDEEFF00112233445566778899aabbccddeeff";
    Write("[WINXP]\r\nurl1=http://a/xp\r\nsize=734003200\r\nsha256=" + sha +
          "\r\n"
          "[WIN7]\r\nurl1=http://a/w7\r\nsize=12x\r\nsha256=" +
          sha.substr(1) + "\r\n");
    Read({ 0, 0 });
    EXPECT_EQ(734003200u, g_srcXP.ullSize);
    EXPECT_STREQ(L"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff", g_srcXP.szSha256)
        << "either case, kept in lower case";
    EXPECT_EQ(0u, g_srcWin7.ullSize) << "malformed size: not used";
    EXPECT_STREQ(L"", g_srcWin7.szSha256) << "63 digits: not used";
    EXPECT_STREQ(L"http://a/w7", g_szWin7Url) << "a malformed key blocks nothing";
}

TEST(CatalogueKeys, SizeAndHashRules)
{
    ULONGLONG ull = 7;
    EXPECT_TRUE(ParseImageSize(L"18446744073709551615", &ull));
    EXPECT_EQ(~0ULL, ull);
    for (LPCWSTR bad :
         { L"", L"0", L"18446744073709551616", L"-5", L"+5", L" 5", L"5.0", L"0x10", L"123456789012345678901" })
        EXPECT_FALSE(ParseImageSize(bad, &ull)) << std::wstring(bad).c_str();
    EXPECT_TRUE(ParseImageSize(L"0042", &ull));
    EXPECT_EQ(42u, ull);

    WCHAR sz[65];
    std::wstring ok(64, L'A');
    EXPECT_TRUE(ParseSha256(ok.c_str(), sz));
    EXPECT_EQ(std::wstring(64, L'a'), sz);
    EXPECT_FALSE(ParseSha256(std::wstring(65, L'a').c_str(), sz));
    EXPECT_FALSE(ParseSha256((std::wstring(63, L'a') + L"g").c_str(), sz));
    EXPECT_FALSE(ParseSha256(L"", sz));
}

TEST(CatalogueKeys, DrawnAddressFirstThenTheOthersWithoutRepeats)
{
    static ImageSource src;
    ZeroMemory(&src, sizeof(src));
    for (LPCWSTR p : { L"http://a/x", L"http://b/x", L"http://a/x", L"http://c/x" })
        lstrcpynW(src.aszUrls[src.nUrls++], p, 1024);
    LPCWSTR out[IMAGE_SOURCE_MAX_URLS];
    ASSERT_EQ(3, OrderImageUrls(L"http://b/x", src, out, IMAGE_SOURCE_MAX_URLS));
    EXPECT_STREQ(L"http://b/x", out[0]);
    EXPECT_STREQ(L"http://a/x", out[1]);
    EXPECT_STREQ(L"http://c/x", out[2]);
    EXPECT_EQ(3, OrderImageUrls(L"", src, out, IMAGE_SOURCE_MAX_URLS)) << "an empty draw is skipped";
    EXPECT_STREQ(L"http://a/x", out[0]);
    EXPECT_EQ(2, OrderImageUrls(L"http://z/x", src, out, 2)) << "limit";
    EXPECT_STREQ(L"http://z/x", out[0]);
    ZeroMemory(&src, sizeof(src));
    EXPECT_EQ(0, OrderImageUrls(L"", src, out, IMAGE_SOURCE_MAX_URLS));
}
