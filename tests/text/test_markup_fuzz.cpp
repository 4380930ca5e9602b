// Bounded fuzzing of parse and layout: random and mutated markup never breaks them, and the
// runs always spell exactly the string's literal text.
#include <gtest/gtest.h>
#include <random>
#include "text/SomMarkup.h"
#include "som/SomSkin.h"

namespace {

// The literal text by the tag rule alone, scanning naively: "{&#" opens a tag when a "}"
// comes later, and the tag ends at the first such "}".
std::wstring LiteralText(const std::wstring& s)
{
    std::wstring out;
    size_t i = 0;
    while (i < s.size()) {
        if (s.compare(i, 3, L"{&#") == 0) {
            size_t close = s.find(L'}', i + 3);
            if (close != std::wstring::npos) {
                i = close + 1;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

const LPCWSTR kPieces[] = {
    L"{&#",     L"}",     L"{",     L"&",      L"#",        L"{&",      L"a=",          L"/a", L"acolor=",
    L"/acolor", L"font=", L"/font", L"color=", L"/color",   L"FONT=",   L"/ACOLOR",     L"0x", L"#",
    L"-",       L"1",     L"6",     L"9",      L"FFFFFFFF", L"button:", L"http://h/",   L"\"", L" ",
    L"x",       L"Win",   L"推荐",  L"（",     L"\u00A0",   L"\t",      L"99999999999",
};

const LPCWSTR kSeeds[] = {
    L"{&#font=6}{&#color=0x484848}WinXP{&#/color}（{&#color=0x0080ff}推荐{&#/color}）{&#/font}",
    L"{&#font=6}{&#color=0x00888888}{&#a=button:0x0401}最小化安装{&#/a}{&#/color}{&#/font}",
    L"{&#font=1}{&#color=0xC0C0C0}buile time : 2024-01-02 03:04.05{&#/color}{&#/font}",
    L"{&#acolor=0x0000ff}{&#a=button:1}L{&#/acolor}M{&#/a}N",
};

std::wstring RandomPieces(std::mt19937& rng)
{
    std::uniform_int_distribution<int> count(0, 24);
    std::uniform_int_distribution<int> pick(0, (int)(sizeof(kPieces) / sizeof(kPieces[0])) - 1);
    std::wstring s;
    for (int n = count(rng); n > 0; --n)
        s += kPieces[pick(rng)];
    return s;
}

std::wstring RandomChars(std::mt19937& rng)
{
    static const WCHAR kChars[] = L"{}&#/=aAcCfFoOlLrRnNtT0123456789xX-+ \"汉";
    std::uniform_int_distribution<int> len(0, 40);
    std::uniform_int_distribution<int> pick(0, (int)(sizeof(kChars) / sizeof(kChars[0])) - 2);
    std::wstring s;
    for (int n = len(rng); n > 0; --n)
        s += kChars[pick(rng)];
    return s;
}

std::wstring Mutate(std::mt19937& rng, std::wstring s)
{
    std::uniform_int_distribution<int> edits(1, 6);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<int> pick(0, (int)(sizeof(kPieces) / sizeof(kPieces[0])) - 1);
    for (int n = edits(rng); n > 0; --n) {
        size_t pos = s.empty() ? 0 : std::uniform_int_distribution<size_t>(0, s.size())(rng);
        switch (kind(rng)) {
        case 0:
            if (pos < s.size())
                s.erase(pos, 1);
            break;
        case 1:
            s.insert(pos, kPieces[pick(rng)]);
            break;
        case 2:
            if (pos < s.size())
                s[pos] = (WCHAR)std::uniform_int_distribution<int>(1, 0xFFFF)(rng);
            break;
        default:
            if (pos < s.size())
                s.erase(pos, std::uniform_int_distribution<size_t>(1, s.size() - pos)(rng));
            break;
        }
    }
    // No embedded terminators: the markup is a NUL-terminated string.
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == 0)
            s[i] = L'?';
    return s;
}

bool IsSkinFontOrNull(HFONT h)
{
    if (h == NULL)
        return true;
    for (int i = 0; i < SOM_FONT_COUNT; ++i)
        if (g_skin.m_hFonts[i] == h)
            return true;
    return false;
}

void CheckOne(const std::wstring& s, int iCase)
{
    std::vector<SomTextRun> runs;
    SomParseMarkup(s.c_str(), &runs);
    SIZE line = { -1, -1 };
    SomLayoutRuns(&runs, g_skin.GetFont(3), &line);

    std::wstring joined;
    LONG x = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        const SomTextRun& r = runs[i];
        ASSERT_FALSE(r.strText.empty()) << "case " << iCase;
        ASSERT_TRUE(IsSkinFontOrNull(r.hFont)) << "case " << iCase;
        ASSERT_EQ(x, r.rc.left) << "case " << iCase;
        ASSERT_GE(r.rc.right, r.rc.left) << "case " << iCase;
        ASSERT_EQ(line.cy, r.rc.bottom) << "case " << iCase;
        ASSERT_GE(r.rc.top, 0) << "case " << iCase;
        x = r.rc.right;
        joined += r.strText;
    }
    ASSERT_EQ(x, line.cx) << "case " << iCase;
    ASSERT_EQ(LiteralText(s), joined) << "case " << iCase << ": " << testing::PrintToString(s);
}

}  // namespace

TEST(MarkupFuzz, RandomAndMutatedStringsKeepTheirLiteralText)
{
    std::mt19937 rng(20240517);
    const int kCases = 20000;
    for (int i = 0; i < kCases; ++i) {
        std::wstring s;
        switch (i % 3) {
        case 0:
            s = RandomPieces(rng);
            break;
        case 1:
            s = RandomChars(rng);
            break;
        default:
            s = Mutate(rng, kSeeds[(i / 3) % (sizeof(kSeeds) / sizeof(kSeeds[0]))]);
            break;
        }
        CheckOne(s, i);
        if (testing::Test::HasFatalFailure())
            return;
    }
}

TEST(MarkupFuzz, LongStringsAndDeepNesting)
{
    std::wstring s;
    for (int i = 0; i < 3000; ++i)
        s += L"{&#font=6}{&#a=x}{&#color=1}z";
    for (int i = 0; i < 4000; ++i)
        s += L"{&#/font}{&#/a}}{&#";
    CheckOne(s, -1);
    std::wstring literal(100000, L'{');
    CheckOne(literal, -2);
}
