// The run's private folder: %TEMP%\kv-<32 random hex digits>, created for this run only with
// a protected DACL that lets only SYSTEM and the Administrators write (no inherited user
// access), and held open so that nobody can rename or delete it while the run uses it.
// The engine library, its zlib and the catalogue copy live there; Remove() deletes it.
#pragma once
#include <windows.h>
#include "HeldFile.h"

#define PRIVATE_FOLDER_PREFIX L"kv-"
// The folder's security descriptor: owner Administrators, protected DACL with full access
// for SYSTEM and the Administrators only, inherited by files and subfolders.
#define PRIVATE_FOLDER_SDDL   L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"

class CPrivateFolder
{
public:
    CPrivateFolder() { m_szPath[0] = L'\0'; }
    ~CPrivateFolder() { Remove(); }

    // Creates a folder of a new random name under pszParent (null: the user's temporary
    // folder). A name that already exists is never taken over: another name is drawn.
    // FALSE when no folder could be created (or no random name drawn).
    BOOL Create(LPCWSTR pszParent = NULL);

    // Deletes every file in the folder and the folder; what cannot be deleted now (a
    // library still loaded) is left to the system to delete at the next restart.
    void Remove();

    BOOL IsCreated() const { return m_szPath[0] != L'\0'; }
    LPCWSTR Path() const { return m_szPath; }  // empty before Create

private:
    BOOL CreateNamed(LPCWSTR pszPath);

    WCHAR m_szPath[MAX_PATH + 4];
    CHeldFile m_hold;  // the folder itself, against rename and delete
};

// 2 * cb lower-case hex digits from the system's cryptographic random source into pszOut
// (at least 2 * cb + 1 characters). FALSE when the source is unavailable.
BOOL RandomHex(LPWSTR pszOut, DWORD cb);
