#include "RunFiles.h"
#include "engine/EngineBinding.h"
#include "startup/Payload.h"
#include "startup/PayloadRecord.h"

HMODULE CRunFiles::WriteAndLoadEngine()
{
    if (!m_folder.IsCreated())
        return NULL;
    // Our engine library uses msvcrt.dll, which every supported Windows ships: only the
    // engine and its zlib are carried.
    if (!ExtractHeldResourceFile(PAYLOAD_ID_ENGINE, m_folder.Path(), DLENGINE_FILE_NAME, &m_engineFile))
        return NULL;
    if (!ExtractHeldResourceFile(PAYLOAD_ID_ZLIB, m_folder.Path(), L"ZLib1.dll", &m_zlibFile))
        return NULL;
    m_hEngine = LoadDLEngine(m_folder.Path());
    return m_hEngine;
}

void CRunFiles::Remove()
{
    // A loaded library cannot be deleted: released just before its file goes.
    if (m_hEngine != NULL)
        ::FreeLibrary(m_hEngine);
    m_hEngine = NULL;
    m_engineFile.Release();
    m_zlibFile.Release();
    RemoveWrittenPayloads();
    m_folder.Remove();
}
