// The system proxy, as the user's Internet settings (static proxy, auto-detection or a
// configuration script) or the WinHTTP machine setting name it. When one applies, every
// address of the task goes through WinHTTP with it; otherwise plain http:// goes direct.
#pragma once
#include <windows.h>

// TRUE with the proxy list (and bypass list, possibly empty) when pszUrl would go through one.
BOOL FindSystemProxy(LPCWSTR pszUrl, LPWSTR pszProxy, int cchProxy, LPWSTR pszBypass, int cchBypass);
