// Entry point of Korvane.exe: elevation, single instance, the server catalogue, the engine
// library written out and bound, the main dialog run modally, and the clean-up after it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include "FailureBox.h"
#include "Relaunch.h"
#include "RunFiles.h"
#include "SingleInstance.h"
#include "install/MainDlg.h"
#include "som/SomSkin.h"
#include "startup/Catalogue.h"
#include "startup/KorvaneConfig.h"

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

static void ShowEngineFailureBox()
{
    ShowFailureBox(L"加载下载引擎失败", L"检测到您的Korvane一键装机程序被恶意篡改，",
                   L"请从" KORVANE_SITE_URL L"下载最新版后再次尝试。");
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR pszCmdLine, int)
{
    CSkinLifetime skin;
    // The current folder is never searched for libraries: the program runs elevated, and
    // the folder it was started from may be anybody's.
    ::SetDllDirectoryW(L"");

    WCHAR szModule[520];
    ::GetModuleFileNameW(hInstance, szModule, ARRAYSIZE(szModule));

    if (!EnsureElevated(szModule, pszCmdLine))
        return 0;

    if (IsAnotherInstanceRunning()) {
        RaiseRunningInstance();
        return 0;
    }

    // Declared before anything it holds is used; its destructor removes what the run
    // wrote on every way out below.
    CRunFiles files;
    if (!files.CreateFolder()) {
        // Nowhere to put the engine that only administrators can change.
        ShowEngineFailureBox();
        return 0;
    }

    if (!LoadCatalogue(KORVANE_CATALOGUE_URL, files.Folder())) {
        ShowFailureBox(L"未能连接云服务器", L"检测到您的电脑不能连接Korvane一键装机云服务器，不能装机。",
                       L"请插好网线接入网络后再次尝试。");
        return 0;
    }

    if (files.WriteAndLoadEngine() == NULL) {
        ShowEngineFailureBox();
        return 0;
    }

    ::CoInitialize(NULL);
    INITCOMMONCONTROLSEX icc = { sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES };
    ::InitCommonControlsEx(&icc);

    int nRet = RunMainDialog();

    // The engine object has shut the engine down with the dialog.
    files.Remove();

    ::CoUninitialize();
    return nRet;
}
