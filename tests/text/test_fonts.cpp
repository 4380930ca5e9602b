// The eight skin fonts: the table, one creation for the program, and the face chosen from
// what Wine's per-program Windows version setting makes GetVersion report.
#include <gtest/gtest.h>
#include "som/SomSkin.h"
#include "text/SomTextWnd.h"
#include "TestFiles.h"

namespace {

const LPCWSTR kYaHei = L"\u5FAE\u8F6F\u96C5\u9ED1";

LOGFONTW FontOf(HGDIOBJ h)
{
    LOGFONTW lf;
    ZeroMemory(&lf, sizeof(lf));
    GetObjectW(h, sizeof(lf), &lf);
    return lf;
}

struct ProbeResult
{
    bool bRan;
    DWORD dwExit;
    DWORD dwVersion;
    std::wstring strFace;
    std::wstring strLine;
};

// Runs a copy of the probe program under its own name with Wine's AppDefaults Version set
// for that name, and reads what it reports.
ProbeResult RunProbe(LPCWSTR pszProbe, LPCWSTR pszWineVersion)
{
    ProbeResult r = { false, 0, 0, L"", L"" };
    std::wstring name =
        std::wstring(L"kv_face_") + pszWineVersion + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" + pszProbe;
    std::wstring exe = TempDir() + name;
    std::wstring out = exe + L".out.txt";
    if (!CopyFileW((ProgramFolder() + L"\\" + pszProbe).c_str(), exe.c_str(), FALSE))
        return r;

    std::wstring key = L"Software\\Wine\\AppDefaults\\" + name;
    HKEY hKey = NULL;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey, NULL) ==
        ERROR_SUCCESS) {
        RegSetValueExW(hKey, L"Version", 0, REG_SZ, (const BYTE*)pszWineVersion,
                       (DWORD)((wcslen(pszWineVersion) + 1) * sizeof(WCHAR)));
        RegCloseKey(hKey);
    }

    std::wstring cmd = L"\"" + exe + L"\" \"" + out + L"\"";
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    std::wstring dir = TempDir();
    if (CreateProcessW(exe.c_str(), &cmd[0], NULL, NULL, FALSE, 0, NULL, dir.c_str(), &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
            r.bRan = true;
            GetExitCodeProcess(pi.hProcess, &r.dwExit);
        } else {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }

    r.strLine = ReadUtf8File(out);
    size_t v = r.strLine.find(L"version=");
    if (v != std::wstring::npos)
        r.dwVersion = wcstoul(r.strLine.c_str() + v + 8, NULL, 16);
    size_t f = r.strLine.find(L" face=");
    if (f != std::wstring::npos) {
        size_t end = r.strLine.find(L" f1=", f);
        r.strFace = r.strLine.substr(f + 6, end == std::wstring::npos ? std::wstring::npos : end - f - 6);
    }

    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    DeleteFileW(out.c_str());
    DeleteFileW(exe.c_str());
    return r;
}

std::string Utf8(const std::wstring& w)
{
    char buf[2048];
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), buf, sizeof(buf), NULL, NULL);
    return std::string(buf, n > 0 ? n : 0);
}

int Major(DWORD dwVersion) { return LOBYTE(LOWORD(dwVersion)); }

}  // namespace

TEST(SkinFonts, TableOfHeightsAndWeightsOverTheSystemFont)
{
    const LONG heights[] = { -11, -11, -12, -12, -13, -13, -16, -16 };
    const LOGFONTW sys = FontOf(GetStockObject(DEFAULT_GUI_FONT));
    const LONG weights[] = { sys.lfWeight, 700, 400, 700, 400, 700, 400, 700 };
    const std::wstring face = SomSkinFontFace(GetVersion());
    for (int i = 0; i < SOM_FONT_COUNT; ++i) {
        ASSERT_NE((HFONT)NULL, g_skin.m_hFonts[i]) << i;
        LOGFONTW lf = FontOf(g_skin.m_hFonts[i]);
        EXPECT_EQ(heights[i], lf.lfHeight) << "font " << i + 1;
        EXPECT_EQ(weights[i], lf.lfWeight) << "font " << i + 1;
        EXPECT_EQ(face, lf.lfFaceName) << "font " << i + 1;
        // Everything else is the system font's.
        EXPECT_EQ(sys.lfWidth, lf.lfWidth);
        EXPECT_EQ(sys.lfCharSet, lf.lfCharSet);
        EXPECT_EQ(sys.lfQuality, lf.lfQuality);
        EXPECT_EQ(sys.lfPitchAndFamily, lf.lfPitchAndFamily);
        EXPECT_EQ(sys.lfItalic, lf.lfItalic);
        EXPECT_EQ(sys.lfUnderline, lf.lfUnderline);
        EXPECT_EQ(sys.lfStrikeOut, lf.lfStrikeOut);
        EXPECT_EQ(sys.lfOutPrecision, lf.lfOutPrecision);
        for (int j = 0; j < i; ++j)
            EXPECT_NE(g_skin.m_hFonts[j], g_skin.m_hFonts[i]);
    }
}

TEST(SkinFonts, CreatedOnceAndDestroyedOnce)
{
    HFONT before[SOM_FONT_COUNT];
    for (int i = 0; i < SOM_FONT_COUNT; ++i)
        before[i] = g_skin.m_hFonts[i];
    EXPECT_TRUE(g_skin.CreateFonts());
    for (int i = 0; i < SOM_FONT_COUNT; ++i)
        EXPECT_EQ(before[i], g_skin.m_hFonts[i]);

    g_skin.DestroyFonts();
    for (int i = 0; i < SOM_FONT_COUNT; ++i) {
        EXPECT_EQ(NULL, g_skin.m_hFonts[i]);
        EXPECT_EQ(0u, GetObjectType(before[i])) << "font " << i + 1 << " still exists";
    }
    g_skin.DestroyFonts();              // a second end is harmless
    ASSERT_TRUE(g_skin.CreateFonts());  // later tests need them again
    for (int i = 0; i < SOM_FONT_COUNT; ++i)
        EXPECT_NE((HFONT)NULL, g_skin.m_hFonts[i]);
}

// Wine cannot be made to report the 9x family; the probes below cover NT 5, 6 and 10.
TEST(SkinFonts, NonNtFamilyGivesTahomaWhateverTheMajor)
{
    EXPECT_STREQ(L"Tahoma", SomSkinFontFace(0xC0000A04));  // Windows 98
    EXPECT_STREQ(L"Tahoma", SomSkinFontFace(0x80000006));  // major 6, bit 31 set
}

TEST(SkinFontsUnderWine, WindowsXpGivesTahoma)
{
    ProbeResult r = RunProbe(L"kv_face_probe.exe", L"winxp");
    ASSERT_TRUE(r.bRan);
    EXPECT_EQ(0u, r.dwExit) << testing::PrintToString(r.strLine);
    EXPECT_EQ(5, Major(r.dwVersion)) << testing::PrintToString(r.strLine);
    EXPECT_EQ(L"Tahoma", r.strFace);
    printf("[ probe    ] winxp: %s\n", Utf8(r.strLine).c_str());
}

TEST(SkinFontsUnderWine, Windows7GivesYaHei)
{
    ProbeResult r = RunProbe(L"kv_face_probe.exe", L"win7");
    ASSERT_TRUE(r.bRan);
    EXPECT_EQ(0u, r.dwExit) << testing::PrintToString(r.strLine);
    EXPECT_EQ(0x0106u, r.dwVersion & 0xFFFF) << testing::PrintToString(r.strLine);
    EXPECT_EQ(kYaHei, r.strFace);
    // The same with the installer's manifest.
    ProbeResult m = RunProbe(L"kv_face_probe_manifest.exe", L"win7");
    ASSERT_TRUE(m.bRan);
    EXPECT_EQ(kYaHei, m.strFace) << testing::PrintToString(m.strLine);
    printf("[ probe    ] win7: %s\n[ probe    ] win7, manifest: %s\n", Utf8(r.strLine).c_str(),
           Utf8(m.strLine).c_str());
}

TEST(SkinFontsUnderWine, Windows10GivesWhatGetVersionCallsFor)
{
    // Wine reports 6.2 to a program whose manifest does not declare Windows 10 (the
    // installer's declares only Windows 7), and 10.0 to one that does.
    const struct
    {
        LPCWSTR pszProbe;
        int nMajor;
    } probes[] = {
        { L"kv_face_probe.exe", 6 },
        { L"kv_face_probe_manifest.exe", 6 },
        { L"kv_face_probe_win10.exe", 10 },
    };
    for (auto& p : probes) {
        ProbeResult r = RunProbe(p.pszProbe, L"win10");
        ASSERT_TRUE(r.bRan) << testing::PrintToString(std::wstring(p.pszProbe));
        EXPECT_EQ(0u, r.dwExit);
        printf("[ probe    ] win10, %s\n", Utf8(p.pszProbe + std::wstring(L": ") + r.strLine).c_str());
        EXPECT_EQ(p.nMajor, Major(r.dwVersion)) << std::hex << r.dwVersion;
        EXPECT_EQ(std::wstring(Major(r.dwVersion) == 6 ? kYaHei : L"Tahoma"), r.strFace)
            << testing::PrintToString(r.strLine);
    }
}
