#include "ErrorText.h"
#include "DLEngineApi.h"

LPCWSTR ErrorText(LONG lError)
{
    switch (lError) {
    case DLE_OK:
        return L"success";
    case DLE_INVALID_ARG:
        return L"invalid argument";
    case DLE_TOO_LONG:
        return L"path, URL or referrer too long";
    case DLE_NOT_INITIALIZED:
        return L"the download engine is not started";
    case DLE_UNKNOWN_TASK:
        return L"no task has this id";
    case DLE_BAD_STATE:
        return L"the task is not in a state that allows this";
    case DLE_UNSUPPORTED_URL:
        return L"not a supported http:// or https:// URL";
    case DLE_BUSY:
        return L"another task downloads to the same file";
    case DLE_NO_RESOURCES:
        return L"out of memory or threads";
    case DLE_WORKFILE_MISSING:
        return L"work file missing";
    case DLE_WORKFILE_CORRUPT:
        return L"work file record unreadable or damaged";
    case DLE_WORKFILE_MISMATCH:
        return L"work file record does not match the data file";
    case DLE_HOST_NOT_FOUND:
        return L"host name not found";
    case DLE_CONNECT:
        return L"could not connect to the server";
    case DLE_NETWORK:
        return L"connection reset or timed out";
    case DLE_HTTP_NOT_FOUND:
        return L"the server has no such file (404/410)";
    case DLE_HTTP_REFUSED:
        return L"the server refused the request (4xx)";
    case DLE_HTTP_SERVER:
        return L"server error (5xx, 408 or 429)";
    case DLE_PROTOCOL:
        return L"malformed or inconsistent server response";
    case DLE_REDIRECTS:
        return L"too many redirects or an unusable redirect";
    case DLE_DISK_FULL:
        return L"not enough space on the target drive";
    case DLE_WRITE:
        return L"writing the file failed";
    case DLE_CREATE_FILE:
        return L"could not create the target folder or file";
    case DLE_SECURE:
        return L"secure connection failed";
    default:
        return NULL;
    }
}
