// The markup parser, grouped by rule, and the one-line layout and hit-test.
#include <gtest/gtest.h>
#include <limits.h>
#include "text/SomMarkup.h"
#include "som/SomSkin.h"
#include "DibSurface.h"

namespace {

std::vector<SomTextRun> Parse(LPCWSTR psz)
{
    std::vector<SomTextRun> runs;
    SomParseMarkup(psz, &runs);
    return runs;
}

HFONT Font(int n) { return g_skin.GetFont(n); }

void ExpectRun(const SomTextRun& run, LPCWSTR pszText, HFONT hFont, LONG crColor, LPCWSTR pszLink)
{
    EXPECT_EQ(std::wstring(pszText), run.strText);
    EXPECT_EQ(hFont, run.hFont) << "run " << testing::PrintToString(run.strText);
    EXPECT_EQ(crColor, run.crColor) << "run " << testing::PrintToString(run.strText);
    EXPECT_EQ(std::wstring(pszLink), run.strLink);
}

LONG ColorOf(LPCWSTR pszValue)
{
    std::wstring s = std::wstring(L"{&#color=") + pszValue + L"}x";
    std::vector<SomTextRun> runs = Parse(s.c_str());
    EXPECT_EQ(1u, runs.size());
    return runs.empty() ? 0x12345678 : runs[0].crColor;
}

}  // namespace

TEST(MarkupTags, EmptyOrTagOnlyStringsGiveNoRuns)
{
    EXPECT_TRUE(Parse(NULL).empty());
    EXPECT_TRUE(Parse(L"").empty());
    EXPECT_TRUE(Parse(L"{&#font=6}{&#/font}").empty());
    EXPECT_TRUE(Parse(L"{&#}{&#unknown}{&#a=x}{&#/a}{&#color=1}").empty());
}

TEST(MarkupTags, OpeningWithoutLaterBraceIsLiteral)
{
    std::vector<SomTextRun> runs = Parse(L"ab{&#font=6");
    ASSERT_EQ(1u, runs.size());
    ExpectRun(runs[0], L"ab{&#font=6", NULL, -1, L"");

    // A brace before the opening does not count.
    runs = Parse(L"x}{&#color=5");
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(L"x}{&#color=5", runs[0].strText);

    // A tag is still a tag up to the last brace; what follows it is literal.
    runs = Parse(L"{&#font=6}a{&#/font}b{&#color=5");
    ASSERT_EQ(2u, runs.size());
    ExpectRun(runs[0], L"a", Font(6), -1, L"");
    ExpectRun(runs[1], L"b{&#color=5", NULL, -1, L"");

    // "{" and "{&" alone are ordinary characters, also with a brace later.
    runs = Parse(L"{&x}{y}");
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(L"{&x}{y}", runs[0].strText);
}

TEST(MarkupTags, TagEndsAtFirstBrace)
{
    std::vector<SomTextRun> runs = Parse(L"{&#a=x}y}z{&#/a}");
    ASSERT_EQ(1u, runs.size());
    ExpectRun(runs[0], L"y}z", NULL, -1, L"x");
}

TEST(MarkupTags, UnrecognisedTagSplitsIntoEqualRuns)
{
    std::vector<SomTextRun> runs = Parse(L"{&#font=5}{&#color=0x112233}ab{&#bold}cd{&#}ef");
    ASSERT_EQ(3u, runs.size());
    ExpectRun(runs[0], L"ab", Font(5), 0x112233, L"");
    ExpectRun(runs[1], L"cd", Font(5), 0x112233, L"");
    ExpectRun(runs[2], L"ef", Font(5), 0x112233, L"");
}

TEST(MarkupTags, NamesMatchInAnyCase)
{
    std::vector<SomTextRun> runs =
        Parse(L"{&#FONT=6}a{&#/Font}{&#CoLoR=0x10}b{&#/COLOR}{&#ACOLOR=3}{&#A=Button:1}c{&#/ACOLOR}d{&#/A}e");
    ASSERT_EQ(5u, runs.size());
    ExpectRun(runs[0], L"a", Font(6), -1, L"");
    ExpectRun(runs[1], L"b", NULL, 0x10, L"");
    ExpectRun(runs[2], L"c", NULL, 3, L"Button:1");
    ExpectRun(runs[3], L"d", NULL, -1, L"Button:1");
    ExpectRun(runs[4], L"e", NULL, -1, L"");
}

TEST(MarkupTags, NamesArePrefixesTestedInTableOrder)
{
    // Extra letters after a closing name are ignored.
    std::vector<SomTextRun> runs = Parse(L"{&#font=6}a{&#/fontXYZ}b");
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(NULL, runs[1].hFont);

    // "/acolor..." closes the link colour, while "/abc" closes the link.
    runs = Parse(L"{&#acolor=9}{&#a=L}a{&#/acolorful}b{&#/abc}c");
    ASSERT_EQ(3u, runs.size());
    ExpectRun(runs[0], L"a", NULL, 9, L"L");
    ExpectRun(runs[1], L"b", NULL, -1, L"L");
    ExpectRun(runs[2], L"c", NULL, -1, L"");

    // A name needs its "=": "colorful" and "fonts" are unrecognised.
    runs = Parse(L"{&#colorful}a{&#fonts=6}b");
    ASSERT_EQ(2u, runs.size());
    ExpectRun(runs[1], L"b", NULL, -1, L"");
}

TEST(MarkupFont, OneToEightSelectSkinFonts)
{
    for (int n = 1; n <= 8; ++n) {
        std::wstring s = L"{&#font=" + std::to_wstring(n) + L"}x";
        std::vector<SomTextRun> runs = Parse(s.c_str());
        ASSERT_EQ(1u, runs.size());
        EXPECT_EQ(g_skin.m_hFonts[n - 1], runs[0].hFont) << n;
        EXPECT_NE((HFONT)NULL, runs[0].hFont);
    }
}

TEST(MarkupFont, ValueIsReadAsDecimalWcstol)
{
    LPCWSTR valid[] = { L"6", L" 6", L"+6", L"06", L"6px", L"6 " };
    for (LPCWSTR v : valid) {
        std::wstring s = std::wstring(L"{&#font=") + v + L"}x";
        std::vector<SomTextRun> runs = Parse(s.c_str());
        ASSERT_EQ(1u, runs.size());
        EXPECT_EQ(Font(6), runs[0].hFont) << testing::PrintToString(std::wstring(v));
    }
    LPCWSTR invalid[] = { L"", L"abc", L"0", L"9", L"-1", L"0x6", L"99999999999", L"-6" };
    for (LPCWSTR v : invalid) {
        std::wstring s = std::wstring(L"{&#font=") + v + L"}x";
        std::vector<SomTextRun> runs = Parse(s.c_str());
        ASSERT_EQ(1u, runs.size());
        EXPECT_EQ(NULL, runs[0].hFont) << testing::PrintToString(std::wstring(v));
    }
}

TEST(MarkupFont, InvalidFontInsideFontSixKeepsSixAndItsCloserClosesSix)
{
    std::vector<SomTextRun> runs = Parse(L"{&#font=6}a{&#font=9}b{&#/font}c{&#/font}d");
    ASSERT_EQ(4u, runs.size());
    ExpectRun(runs[0], L"a", Font(6), -1, L"");
    ExpectRun(runs[1], L"b", Font(6), -1, L"");
    ExpectRun(runs[2], L"c", NULL, -1, L"");
    ExpectRun(runs[3], L"d", NULL, -1, L"");
}

TEST(MarkupColor, HexAfterHashOrZeroXInColorrefOrder)
{
    EXPECT_EQ(0x00FF0000, ColorOf(L"#FF0000"));
    EXPECT_EQ(0x0080FF, ColorOf(L"0x0080ff"));
    EXPECT_EQ(0x0080FF, ColorOf(L"0X0080FF"));
    EXPECT_EQ(0xABCDEF, ColorOf(L"#abcdef"));
    EXPECT_EQ(0x12, ColorOf(L"#12zz"));
}

TEST(MarkupColor, DecimalOtherwise)
{
    EXPECT_EQ(255, ColorOf(L"255"));
    EXPECT_EQ(-1, ColorOf(L"-1"));
    EXPECT_EQ(12, ColorOf(L" 12"));
    EXPECT_EQ(0, ColorOf(L"x0080ff"));
    EXPECT_EQ(0, ColorOf(L"ff"));  // no decimal digit: black
    EXPECT_EQ(0, ColorOf(L""));
    EXPECT_EQ(0, ColorOf(L"0x"));
    EXPECT_EQ(0, ColorOf(L"#"));
}

TEST(MarkupColor, ReadingSaturatesAtSigned32Bits)
{
    EXPECT_EQ(0x7FFFFFFF, ColorOf(L"#FFFFFFFF"));
    EXPECT_EQ(0x7FFFFFFF, ColorOf(L"0xFFFFFFFF"));
    EXPECT_EQ(0x7FFFFFFF, ColorOf(L"99999999999"));
    EXPECT_EQ(LONG_MIN, ColorOf(L"-99999999999"));
    EXPECT_EQ(-5, ColorOf(L"#-5"));
    EXPECT_EQ(0x7FFFFFFF, SomParseColor(L"#FFFFFFFFFF"));
}

TEST(MarkupLink, EmptyValueIsNoLink)
{
    std::vector<SomTextRun> runs = Parse(L"{&#a=}x{&#/a}");
    ASSERT_EQ(1u, runs.size());
    EXPECT_FALSE(runs[0].IsLink());
    // A plain run takes its colour from the text-colour stack.
    runs = Parse(L"{&#color=7}{&#acolor=9}{&#a=}x");
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(7, runs[0].crColor);
}

TEST(MarkupLink, ValueIsTakenVerbatim)
{
    std::vector<SomTextRun> runs = Parse(L"{&#a=\"http://h/a b\"}x{&#a= Button:0x1 }y");
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(L"\"http://h/a b\"", runs[0].strLink);
    EXPECT_EQ(L" Button:0x1 ", runs[1].strLink);
}

TEST(MarkupLink, ColourComesOnlyFromLinkColourStack)
{
    std::vector<SomTextRun> runs =
        Parse(L"{&#font=6}{&#color=0x00888888}{&#a=button:0x0401}最小化安装{&#/a}{&#/color}{&#/font}");
    ASSERT_EQ(1u, runs.size());
    ExpectRun(runs[0], L"最小化安装", Font(6), -1, L"button:0x0401");

    // After the link, the text colour applies again.
    runs = Parse(L"{&#color=7}{&#a=L}x{&#/a}y");
    ASSERT_EQ(2u, runs.size());
    ExpectRun(runs[0], L"x", NULL, -1, L"L");
    ExpectRun(runs[1], L"y", NULL, 7, L"");
}

TEST(MarkupLink, AcolorColoursCommandLinkAndItsCloserKeepsTheLink)
{
    std::vector<SomTextRun> runs = Parse(L"{&#acolor=0x0000ff}{&#a=button:1}L{&#/acolor}M{&#/a}N");
    ASSERT_EQ(3u, runs.size());
    ExpectRun(runs[0], L"L", NULL, 0xFF, L"button:1");
    ExpectRun(runs[1], L"M", NULL, -1, L"button:1");
    ExpectRun(runs[2], L"N", NULL, -1, L"");
}

TEST(MarkupLink, StyleChangeInsideLinkGivesRunsSharingTheLink)
{
    std::vector<SomTextRun> runs = Parse(L"{&#a=http://h/}ab{&#font=6}cd{&#/font}{&#acolor=5}ef{&#/acolor}{&#/a}");
    ASSERT_EQ(3u, runs.size());
    ExpectRun(runs[0], L"ab", NULL, -1, L"http://h/");
    ExpectRun(runs[1], L"cd", Font(6), -1, L"http://h/");
    ExpectRun(runs[2], L"ef", NULL, 5, L"http://h/");
}

TEST(MarkupNesting, EachStackIsIndependent)
{
    std::vector<SomTextRun> runs = Parse(L"{&#font=6}{&#color=1}a{&#/font}b{&#/color}c");
    ASSERT_EQ(3u, runs.size());
    ExpectRun(runs[0], L"a", Font(6), 1, L"");
    ExpectRun(runs[1], L"b", NULL, 1, L"");
    ExpectRun(runs[2], L"c", NULL, -1, L"");

    // Links nest and unwind like the other stacks.
    runs = Parse(L"{&#a=A}w{&#a=B}x{&#/a}y{&#/a}z");
    ASSERT_EQ(4u, runs.size());
    EXPECT_EQ(L"A", runs[0].strLink);
    EXPECT_EQ(L"B", runs[1].strLink);
    EXPECT_EQ(L"A", runs[2].strLink);
    EXPECT_EQ(L"", runs[3].strLink);
}

TEST(MarkupNesting, SurplusClosersCannotRemoveBottomEntries)
{
    std::vector<SomTextRun> runs =
        Parse(L"{&#/color}{&#/font}{&#/a}{&#/acolor}a{&#color=3}{&#/color}{&#/color}b{&#a=L}{&#/acolor}c");
    ASSERT_EQ(3u, runs.size());
    ExpectRun(runs[0], L"a", NULL, -1, L"");
    ExpectRun(runs[1], L"b", NULL, -1, L"");
    ExpectRun(runs[2], L"c", NULL, -1, L"L");
}

TEST(MarkupExample, RecommendedChoiceGivesFourRunsAndBoxes)
{
    std::vector<SomTextRun> runs =
        Parse(L"{&#font=6}{&#color=0x484848}WinXP{&#/color}（{&#color=0x0080ff}推荐{&#/color}）{&#/font}");
    ASSERT_EQ(4u, runs.size());
    ExpectRun(runs[0], L"WinXP", Font(6), 0x484848, L"");
    ExpectRun(runs[1], L"（", Font(6), -1, L"");
    ExpectRun(runs[2], L"推荐", Font(6), 0x0080FF, L"");
    ExpectRun(runs[3], L"）", Font(6), -1, L"");

    SIZE line;
    SomLayoutRuns(&runs, Font(3), &line);
    LONG x = 0;
    LONG h = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        SIZE sz = MeasureText(Font(6), runs[i].strText);
        EXPECT_GT(sz.cx, 0);
        if (i == 0)
            h = sz.cy;
        EXPECT_EQ(h, sz.cy);
        EXPECT_EQ(x, runs[i].rc.left) << i;
        EXPECT_EQ(0, runs[i].rc.top) << i;
        EXPECT_EQ(x + sz.cx, runs[i].rc.right) << i;
        EXPECT_EQ(h, runs[i].rc.bottom) << i;
        x += sz.cx;
    }
    EXPECT_EQ(x, line.cx);
    EXPECT_EQ(h, line.cy);
}

TEST(MarkupLayout, RunsAreBottomAlignedAndDefaultFontFillsIn)
{
    std::vector<SomTextRun> runs = Parse(L"{&#font=8}Big{&#/font}small{&#font=1}tiny");
    ASSERT_EQ(3u, runs.size());
    SIZE line;
    SomLayoutRuns(&runs, Font(3), &line);
    SIZE big = MeasureText(Font(8), L"Big");
    SIZE small = MeasureText(Font(3), L"small");
    SIZE tiny = MeasureText(Font(1), L"tiny");
    ASSERT_GT(big.cy, small.cy);
    EXPECT_EQ(big.cy, line.cy);
    EXPECT_EQ(big.cx + small.cx + tiny.cx, line.cx);
    RECT rcSmall = { big.cx, big.cy - small.cy, big.cx + small.cx, big.cy };
    EXPECT_TRUE(EqualRect(&rcSmall, &runs[1].rc));
    EXPECT_EQ(big.cy - tiny.cy, runs[2].rc.top);
    EXPECT_EQ(big.cy, runs[2].rc.bottom);

    std::vector<SomTextRun> none;
    SomLayoutRuns(&none, Font(3), &line);
    EXPECT_EQ(0, line.cx);
    EXPECT_EQ(0, line.cy);
}

TEST(MarkupHitTest, FirstRunWhoseBoxHoldsThePoint)
{
    std::vector<SomTextRun> runs = Parse(L"{&#font=8}Big{&#/font}{&#a=L}small");
    SIZE line;
    SomLayoutRuns(&runs, Font(3), &line);
    const RECT& a = runs[0].rc;
    const RECT& b = runs[1].rc;
    ASSERT_GT(b.top, 0);
    POINT pt;
    pt = { a.left, a.top };
    EXPECT_EQ(0, SomRunAt(runs, pt));  // left and top edges inside
    pt = { a.right, b.top };
    EXPECT_EQ(1, SomRunAt(runs, pt));  // a's right edge is b's left edge
    pt = { b.right, b.top };
    EXPECT_EQ(-1, SomRunAt(runs, pt));  // right edge outside
    pt = { b.left, b.bottom };
    EXPECT_EQ(-1, SomRunAt(runs, pt));  // bottom edge outside
    pt = { b.left, b.top - 1 };
    EXPECT_EQ(-1, SomRunAt(runs, pt));  // above the smaller run: in no run

    // Overlapping boxes: the first in list order decides.
    runs[1].rc = runs[0].rc;
    pt = { a.left + 1, a.top + 1 };
    EXPECT_EQ(0, SomRunAt(runs, pt));
}
