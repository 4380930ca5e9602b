#include "DownloadFailure.h"
#include "dlengine/DLEngineApi.h"

DownloadFailureCause CauseOfEngineError(LONG lError)
{
    switch (lError) {
    case DLE_HTTP_NOT_FOUND:
    case DLE_HTTP_REFUSED:
    case DLE_SIZE_MISMATCH:
    case DLE_REDIRECTS:
    case DLE_PROTOCOL:
        return DFC_MIRRORS_GONE;
    // A name that does not resolve is far more often a missing network than a missing host.
    case DLE_HOST_NOT_FOUND:
    case DLE_CONNECT:
    case DLE_NETWORK:
    case DLE_HTTP_SERVER:
    case DLE_SECURE:
        return DFC_NETWORK;
    case DLE_CHECKSUM:
        return DFC_CHECKSUM;
    case DLE_DISK_FULL:
        return DFC_DISK_FULL;
    case DLE_FILE_TOO_LARGE:
        return DFC_FILE_TOO_LARGE;
    case DLE_UNSUPPORTED_URL:
        return DFC_NO_ADDRESS;
    case DLE_WRITE:
    case DLE_CREATE_FILE:
    case DLE_READ:
        return DFC_WRITE;
    default:
        return DFC_OTHER;
    }
}

static const DownloadFailureTexts kTexts[] = {
    { L"下载地址已失效", L"检测到系统镜像的下载地址都已失效，暂时不能下载。", L"请稍后点击“一键安装”重新尝试。" },
    { L"网络连接中断", L"检测到您的电脑长时间不能连接下载服务器，下载已暂停。",
      L"请检查网络后点击“一键安装”继续下载。" },
    { L"系统镜像校验失败", L"检测到下载的系统镜像与云服务器公布的不一致，不能装机。", L"请点击“一键安装”重新下载。" },
    { L"磁盘空间不足", L"检测到下载系统镜像的磁盘空间已用完，不能继续下载。", L"请清除硬盘空间后再尝试操作。" },
    { L"磁盘格式不支持", L"检测到下载所用磁盘的格式不能存放这么大的系统镜像。",
      L"请将该磁盘转换为NTFS格式后再尝试操作。" },
    { L"没有可用的下载地址", L"检测到云服务器没有提供可用的系统镜像下载地址。", L"请稍后点击“一键安装”重新尝试。" },
    { L"写入磁盘失败", L"检测到系统镜像不能写入磁盘，下载已停止。", L"请检查磁盘后点击“一键安装”重新尝试。" },
    { L"下载失败", L"下载系统镜像时出现错误，下载已停止。", L"请稍后点击“一键安装”重新尝试。" },
};

const DownloadFailureTexts& TextsOfCause(DownloadFailureCause cause)
{
    int n = (int)cause;
    if (n < 0 || n >= (int)(sizeof(kTexts) / sizeof(kTexts[0])))
        n = DFC_OTHER;
    return kTexts[n];
}
