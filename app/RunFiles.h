// What the run writes for itself and loads: the private folder (startup/PrivateFolder.h)
// with the catalogue copy, the engine library and its zlib, each library held and checked
// against the program's own resource before the engine is bound from that folder. The
// destructor (every exit of the entry point) releases the engine and removes the folder and
// every other payload the run wrote.
#pragma once
#include <windows.h>
#include "startup/HeldFile.h"
#include "startup/PrivateFolder.h"

class CRunFiles
{
public:
    CRunFiles() : m_hEngine(NULL) {}
    ~CRunFiles() { Remove(); }

    // The private folder under pszParent (null: the temporary folder).
    BOOL CreateFolder(LPCWSTR pszParent = NULL) { return m_folder.Create(pszParent); }
    LPCWSTR Folder() const { return m_folder.Path(); }

    // Writes "DLEngine.dll" and "ZLib1.dll" into the private folder, holds both, checks
    // them and binds the engine from there. Null when either cannot be written or does not
    // match the resource, or the engine does not bind: nothing is loaded from any other copy.
    HMODULE WriteAndLoadEngine();

    // Releases the engine library (the engine object must be gone) and the holds, and
    // deletes what the run wrote: the private folder and the payloads elsewhere.
    void Remove();

private:
    CPrivateFolder m_folder;
    CHeldFile m_engineFile;
    CHeldFile m_zlibFile;
    HMODULE m_hEngine;  // owned: released by Remove
};
