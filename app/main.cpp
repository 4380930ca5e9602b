// Entry point of Korvane.exe: elevation, single instance, the server catalogue, the engine
// library written out and bound, the main dialog run modally, and the clean-up after it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include "FailureBox.h"
#include "Relaunch.h"
#include "SingleInstance.h"
#include "engine/EngineBinding.h"
#include "install/MainDlg.h"
#include "som/SomSkin.h"
#include "startup/Catalogue.h"
#include "startup/KorvaneConfig.h"
#include "startup/Payload.h"
#include "startup/PayloadRecord.h"

// The skin, its fonts and the shared drawing surfaces live from program start to end.
class CSkinLifetime
{
public:
    CSkinLifetime() { SomStartup(); }
    ~CSkinLifetime() { SomShutdown(); }
};

static int RunMainDialog()
{
    // The dialog owns the engine object: both are gone when this returns.
    CMainDlg dlg;
    return (int)dlg.DoModal(::GetActiveWindow());
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR pszCmdLine, int)
{
    CSkinLifetime skin;

    WCHAR szModule[520];
    ::GetModuleFileNameW(hInstance, szModule, ARRAYSIZE(szModule));

    if (!EnsureElevated(szModule, pszCmdLine))
        return 0;

    if (IsAnotherInstanceRunning()) {
        RaiseRunningInstance();
        return 0;
    }

    if (!LoadCatalogue(KORVANE_CATALOGUE_URL)) {
        ShowFailureBox(L"未能连接云服务器", L"检测到您的电脑不能连接Korvane一键装机云服务器，不能装机。",
                       L"请插好网线接入网络后再次尝试。");
        return 0;
    }

    WCHAR szTemp[MAX_PATH + 4];
    if (::GetTempPathW(ARRAYSIZE(szTemp), szTemp) == 0)
        szTemp[0] = L'\0';
    ::SetDllDirectoryW(szTemp);
    // Our engine library uses msvcrt.dll, which every supported Windows ships: only the
    // engine and its zlib are carried.
    ExtractResourceFile(PAYLOAD_ID_ENGINE, szTemp, L"DLEngine.dll");
    ExtractResourceFile(PAYLOAD_ID_ZLIB, szTemp, L"ZLib1.dll");

    HMODULE hEngine = LoadDLEngine();
    if (hEngine == NULL) {
        ShowFailureBox(L"加载下载引擎失败", L"检测到您的Korvane一键装机程序被恶意篡改，",
                       L"请从" KORVANE_SITE_URL L"下载最新版后再次尝试。");
        return 0;
    }

    ::CoInitialize(NULL);
    INITCOMMONCONTROLSEX icc = { sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES };
    ::InitCommonControlsEx(&icc);

    int nRet = RunMainDialog();

    // The engine object has shut the engine down with the dialog; a loaded library cannot
    // be deleted, so it is released just before its file is removed.
    ::FreeLibrary(hEngine);
    RemoveWrittenPayloads();

    ::CoUninitialize();
    return nRet;
}
