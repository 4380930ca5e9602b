// Test helper: copies a library folder built beside the test program (engine_dll or
// engine_stub) into a fresh folder under %TEMP%, as the installer unpacks its engine there,
// and loads it by full path from there (LoadDLEngine(Dir())). Removed again by Remove().
#pragma once
#include <windows.h>

class CStagedLibrary
{
public:
    CStagedLibrary() { m_szDir[0] = L'\0'; }
    ~CStagedLibrary() { Remove(); }

    BOOL Stage(LPCWSTR pszSubdir);
    void Remove();
    LPCWSTR Dir() const { return m_szDir; }

private:
    WCHAR m_szDir[MAX_PATH];
};
