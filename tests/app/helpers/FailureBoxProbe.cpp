// Shows one of the start-up failure boxes with the texts the installer must show, so a
// test can compare the installer's box with it picture for picture.
//   kv_failure_box.exe elevation|network|engine
//   kv_failure_box.exe download N     (the download failure box of DownloadFailureCause N)
#include <windows.h>
#include <stdlib.h>
#include "app/FailureBox.h"
#include "install/DownloadFailure.h"
#include "startup/KorvaneConfig.h"
#include "som/SomSkin.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    SomStartup();
    if (lstrcmpW(argv[1], L"elevation") == 0)
        ShowFailureBox(L"提权失败", L"Korvane一键装机需要提权运行", L"请使用管理员用户登录后再次尝试。");
    else if (lstrcmpW(argv[1], L"network") == 0)
        ShowFailureBox(L"未能连接云服务器", L"检测到您的电脑不能连接Korvane一键装机云服务器，不能装机。",
                       L"请插好网线接入网络后再次尝试。");
    else if (lstrcmpW(argv[1], L"engine") == 0)
        ShowFailureBox(L"加载下载引擎失败", L"检测到您的Korvane一键装机程序被恶意篡改，",
                       L"请从" KORVANE_SITE_URL L"下载最新版后再次尝试。");
    else if (lstrcmpW(argv[1], L"download") == 0 && argc >= 3) {
        const DownloadFailureTexts& t = TextsOfCause((DownloadFailureCause)_wtoi(argv[2]));
        ShowFailureBox(t.pszTitle, t.pszLine, t.pszHint);
    } else
        return 2;
    SomShutdown();
    return 0;
}
