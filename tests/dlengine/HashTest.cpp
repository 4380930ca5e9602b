// SHA-256 and the file hasher the engine checks finished downloads with: the standard test
// vectors on each compression path, the two paths against each other over every short
// length and split, the hexadecimal form, and real files (match, mismatch, wrong sizes,
// a file that shrinks, abort, progress, sharing with the engine's own handle).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <string.h>
#include <string>
#include <vector>
#include "FileHasher.h"
#include "Internal.h"
#include "Sha256.h"

namespace {

const DWORD KiB = 1024;
const DWORD MiB = 1024 * 1024;

// The compression paths this processor runs: always the portable one, SHA-NI where CPUID has it.
std::vector<CSha256::Path> Paths()
{
    std::vector<CSha256::Path> v(1, CSha256::PATH_PORTABLE);
    if (CSha256::CpuHasShaNi())
        v.push_back(CSha256::PATH_SHA_NI);
    return v;
}

std::string Hex(const BYTE* pDigest)
{
    char sz[SHA256_HEX_CHARS + 1];
    EXPECT_TRUE(CSha256::FormatHex(pDigest, sz, sizeof(sz)));
    return sz;
}

// Reproducible, incompressible bytes.
std::vector<BYTE> RandomBytes(size_t cb, DWORD dwSeed)
{
    std::vector<BYTE> v(cb);
    DWORD x = dwSeed * 2654435761u + 1;
    for (size_t i = 0; i < cb; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v[i] = (BYTE)(x >> 24);
    }
    return v;
}

// Digest of p fed to Update in pieces that end at each of the split points (then the rest).
std::string Digest(CSha256::Path ePath, const BYTE* p, size_t cb, const std::vector<size_t>& splits = {})
{
    CSha256 sha;
    EXPECT_TRUE(sha.SetPath(ePath));
    size_t o = 0;
    for (size_t s : splits) {
        if (s > o && s <= cb) {
            sha.Update(p + o, s - o);
            o = s;
        }
    }
    sha.Update(p + o, cb - o);
    BYTE ab[SHA256_DIGEST_SIZE];
    sha.Final(ab);
    return Hex(ab);
}

TEST(Sha256, StandardVectorsOnEachPath)
{
    struct Case
    {
        const char* pszPiece;
        size_t nRepeat;
        const char* pszHex;
    };
    static const Case kCases[] = {
        { "", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855" },
        { "abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad" },
        { "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
          "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1" },
        { "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrs"
          "tnopqrstu",
          1, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1" },
        { "aaaaaaaaaaaaaaaaaaaaaaaaa", 40000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0" },
    };
    for (CSha256::Path ePath : Paths()) {
        for (const Case& c : kCases) {
            SCOPED_TRACE(testing::Message() << "path " << ePath << ", \"" << c.pszPiece << "\" x" << c.nRepeat);
            CSha256 sha;
            ASSERT_TRUE(sha.SetPath(ePath));
            EXPECT_EQ(sha.GetPath(), ePath);
            for (size_t i = 0; i < c.nRepeat; ++i)
                sha.Update(c.pszPiece, strlen(c.pszPiece));
            BYTE ab[SHA256_DIGEST_SIZE];
            sha.Final(ab);
            EXPECT_EQ(Hex(ab), c.pszHex);
            // Final starts a new digest: the object is reusable.
            sha.Update("abc", 3);
            sha.Final(ab);
            EXPECT_EQ(Hex(ab), kCases[1].pszHex);
        }
    }
    // The million 'a' in one call, across the 32-bit bit-count boundary of block handling.
    std::string s(1000000, 'a');
    for (CSha256::Path ePath : Paths())
        EXPECT_EQ(Digest(ePath, (const BYTE*)s.data(), s.size()), kCases[4].pszHex);
}

TEST(Sha256, AutomaticPathIsTheFastestThisProcessorHas)
{
    CSha256 sha;
    EXPECT_EQ(sha.GetPath(), CSha256::CpuHasShaNi() ? CSha256::PATH_SHA_NI : CSha256::PATH_PORTABLE);
    EXPECT_TRUE(sha.SetPath(CSha256::PATH_PORTABLE));
    EXPECT_EQ(sha.GetPath(), CSha256::PATH_PORTABLE);
    EXPECT_TRUE(sha.SetPath(CSha256::PATH_AUTO));
    EXPECT_NE(sha.GetPath(), CSha256::PATH_AUTO);
    EXPECT_EQ(sha.SetPath(CSha256::PATH_SHA_NI), CSha256::CpuHasShaNi());
}

TEST(Sha256, PathsAgreeOnEveryLengthAndSplit)
{
    if (!CSha256::CpuHasShaNi())
        GTEST_SKIP() << "this processor has no SHA extensions";
    std::vector<BYTE> data = RandomBytes(300, 7);
    for (size_t cb = 0; cb <= 300; ++cb) {
        SCOPED_TRACE(testing::Message() << "length " << cb);
        std::string whole = Digest(CSha256::PATH_PORTABLE, data.data(), cb);
        ASSERT_EQ(Digest(CSha256::PATH_SHA_NI, data.data(), cb), whole);
        // Odd pieces: within a block, across one, pending bytes completed by the next call.
        const std::vector<size_t> kSplits[] = { { 1 },
                                                { 3, 7, 70 },
                                                { 55, 56, 57 },
                                                { 63, 65, 129 },
                                                { 1, 2, 3, 4, 5, 127, 191, 255 },
                                                { cb / 2, cb / 2 + 1 } };
        for (const std::vector<size_t>& splits : kSplits) {
            ASSERT_EQ(Digest(CSha256::PATH_SHA_NI, data.data(), cb, splits), whole);
            ASSERT_EQ(Digest(CSha256::PATH_PORTABLE, data.data(), cb, splits), whole);
        }
    }
    // Long runs of blocks in one call, unaligned in memory.
    std::vector<BYTE> big = RandomBytes(MiB + 67, 8);
    EXPECT_EQ(Digest(CSha256::PATH_SHA_NI, big.data() + 3, big.size() - 3),
              Digest(CSha256::PATH_PORTABLE, big.data() + 3, big.size() - 3));
}

TEST(Sha256, ParsesOnlySixtyFourHexDigits)
{
    const char kHex[] = "00FFa5B7c9d1e3f5061728394a5B6c7D8e9F0A1b2C3d4E5f60718293A4b5c6d7";
    BYTE ab[SHA256_DIGEST_SIZE];
    ASSERT_TRUE(CSha256::ParseHex(kHex, ab));
    EXPECT_EQ(ab[0], 0x00);
    EXPECT_EQ(ab[1], 0xFF);
    EXPECT_EQ(ab[2], 0xA5);
    EXPECT_EQ(ab[31], 0xD7);
    EXPECT_EQ(Hex(ab), "00ffa5b7c9d1e3f5061728394a5b6c7d8e9f0a1b2c3d4e5f60718293a4b5c6d7");

    // The wide form reads the same, and formats back in lowercase.
    WCHAR wsz[SHA256_HEX_CHARS + 1];
    for (int i = 0; i <= SHA256_HEX_CHARS; ++i)
        wsz[i] = (WCHAR)kHex[i];
    BYTE abWide[SHA256_DIGEST_SIZE];
    ASSERT_TRUE(CSha256::ParseHex(wsz, abWide));
    EXPECT_EQ(memcmp(ab, abWide, sizeof(ab)), 0);
    WCHAR wszOut[SHA256_HEX_CHARS + 1];
    ASSERT_TRUE(CSha256::FormatHex(ab, wszOut, SHA256_HEX_CHARS + 1));
    EXPECT_STREQ(wszOut, L"00ffa5b7c9d1e3f5061728394a5b6c7d8e9f0a1b2c3d4e5f60718293a4b5c6d7");

    std::string good(kHex);
    std::vector<std::string> bad = {
        "",
        good.substr(1),
        good + "0",
        good.substr(0, 62),
        " " + good.substr(1),
        good.substr(0, 63) + " ",
        good.substr(0, 30) + " " + good.substr(31),
        good.substr(0, 10) + "g" + good.substr(11),
        good.substr(0, 20) + "x" + good.substr(21),
        good.substr(0, 63) + "\n",
        "0x" + good.substr(2),
        good.substr(0, 40) + "-" + good.substr(41),
        good.substr(0, 63) + ":",
        good.substr(0, 5) + "@" + good.substr(6),
        good.substr(0, 5) + "`" + good.substr(6),
        good.substr(0, 5) + "G" + good.substr(6),
    };
    BYTE abKept[SHA256_DIGEST_SIZE];
    memset(abKept, 0x5A, sizeof(abKept));
    for (const std::string& s : bad) {
        SCOPED_TRACE("\"" + s + "\"");
        EXPECT_FALSE(CSha256::ParseHex(s.c_str(), abKept));
        std::wstring w(s.begin(), s.end());
        EXPECT_FALSE(CSha256::ParseHex(w.c_str(), abKept));
    }
    for (BYTE b : abKept)
        ASSERT_EQ(b, 0x5A) << "a refused string changed the output";
    EXPECT_FALSE(CSha256::ParseHex((const char*)NULL, abKept));
    EXPECT_FALSE(CSha256::ParseHex((LPCWSTR)NULL, abKept));
    // A wide character whose low byte is a digit is not a digit.
    wsz[10] = (WCHAR)(0x0100 + L'5');
    EXPECT_FALSE(CSha256::ParseHex(wsz, abKept));
    // An embedded terminator ends the string early.
    std::string withNul = good;
    withNul[32] = '\0';
    EXPECT_FALSE(CSha256::ParseHex(withNul.c_str(), abKept));
}

TEST(Sha256, FormatRefusesAShortBuffer)
{
    BYTE ab[SHA256_DIGEST_SIZE];
    memset(ab, 0xAB, sizeof(ab));
    char sz[SHA256_HEX_CHARS + 1];
    memset(sz, 'z', sizeof(sz));
    EXPECT_FALSE(CSha256::FormatHex(ab, sz, SHA256_HEX_CHARS));
    EXPECT_EQ(sz[0], '\0');
    EXPECT_EQ(sz[1], 'z') << "wrote past the first character of a refused buffer";
    WCHAR wsz[4] = { L'z', L'z', L'z', L'z' };
    EXPECT_FALSE(CSha256::FormatHex(ab, wsz, 4));
    EXPECT_EQ(wsz[0], L'\0');
    EXPECT_FALSE(CSha256::FormatHex(ab, wsz, 0));
    EXPECT_TRUE(CSha256::FormatHex(ab, sz, sizeof(sz)));
    EXPECT_EQ(sz[SHA256_HEX_CHARS], '\0');
    for (int i = 0; i < SHA256_HEX_CHARS; ++i)
        ASSERT_EQ(sz[i], (i & 1) ? 'b' : 'a');
}

// A folder of this process's own under the temporary folder, with files written into it.
class FileHasherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WCHAR szTemp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, szTemp);
        wnsprintfW(m_szDir, MAX_PATH, L"%skv-hash-%lu", szTemp, ::GetCurrentProcessId());
        ::CreateDirectoryW(m_szDir, NULL);
    }

    void TearDown() override
    {
        for (const std::wstring& s : m_files)
            ::DeleteFileW(s.c_str());
        ::RemoveDirectoryW(m_szDir);
    }

    std::wstring PathOf(LPCWSTR pszName)
    {
        WCHAR sz[MAX_PATH];
        wnsprintfW(sz, MAX_PATH, L"%s\\%s", m_szDir, pszName);
        m_files.push_back(sz);
        return sz;
    }

    std::wstring Write(LPCWSTR pszName, const std::vector<BYTE>& data)
    {
        std::wstring path = PathOf(pszName);
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        size_t o = 0;
        while (o < data.size()) {
            DWORD cb = (DWORD)std::min<size_t>(data.size() - o, 4 * MiB), cbDone = 0;
            if (!::WriteFile(h, data.data() + o, cb, &cbDone, NULL) || cbDone != cb) {
                ADD_FAILURE() << "writing the test file failed";
                break;
            }
            o += cb;
        }
        ::CloseHandle(h);
        return path;
    }

    static void DigestOf(const std::vector<BYTE>& data, size_t cb, BYTE ab[SHA256_DIGEST_SIZE])
    {
        CSha256 sha;
        sha.Update(data.data(), cb);
        sha.Final(ab);
    }

    // cb random bytes (from dwSeed) in the file pszName; pData and abDigest get them and their digest.
    std::wstring WriteRandom(LPCWSTR pszName, size_t cb, DWORD dwSeed, std::vector<BYTE>* pData,
                             BYTE abDigest[SHA256_DIGEST_SIZE])
    {
        *pData = RandomBytes(cb, dwSeed);
        DigestOf(*pData, cb, abDigest);
        return Write(pszName, *pData);
    }

    WCHAR m_szDir[MAX_PATH];
    std::vector<std::wstring> m_files;
};

const DWORD kModes[] = { 0, CFileHasher::OPT_SEQUENTIAL_SCAN, CFileHasher::OPT_READ_THREAD,
                         CFileHasher::OPT_SEQUENTIAL_SCAN | CFileHasher::OPT_READ_THREAD };

TEST_F(FileHasherTest, MatchesInEveryReadMode)
{
    std::vector<BYTE> data;
    BYTE abWant[SHA256_DIGEST_SIZE];
    std::wstring path = WriteRandom(L"image.bin", 3 * MiB + 12345, 1, &data, abWant);
    for (DWORD dwMode : kModes) {
        for (DWORD cbRead :
             { (DWORD)CFileHasher::MIN_READ_SIZE, MiB, 3 * MiB + 64 * KiB, (DWORD)CFileHasher::MAX_READ_SIZE }) {
            SCOPED_TRACE(testing::Message() << "mode " << dwMode << ", reads of " << cbRead);
            CFileHasher hasher;
            hasher.SetOptions(dwMode);
            hasher.SetReadSize(cbRead);
            EXPECT_EQ(hasher.Verify(path.c_str(), data.size(), abWant, NULL), DLE_OK);
            EXPECT_EQ(hasher.BytesDone(), data.size());
            EXPECT_EQ(hasher.BytesTotal(), data.size());
            BYTE ab[SHA256_DIGEST_SIZE];
            EXPECT_EQ(hasher.Compute(path.c_str(), CFileHasher::WHOLE_FILE, NULL, ab), DLE_OK);
            EXPECT_EQ(Hex(ab), Hex(abWant));
        }
    }
    // The portable path gives the same verdict.
    CFileHasher portable;
    ASSERT_TRUE(portable.SetPath(CSha256::PATH_PORTABLE));
    EXPECT_EQ(portable.Verify(path.c_str(), data.size(), abWant, NULL), DLE_OK);
}

TEST_F(FileHasherTest, ReportsAMismatchAfterReadingEverything)
{
    std::vector<BYTE> data;
    BYTE abWant[SHA256_DIGEST_SIZE];
    std::wstring path = WriteRandom(L"image.bin", 2 * MiB + 1, 2, &data, abWant);
    for (DWORD dwMode : kModes) {
        SCOPED_TRACE(testing::Message() << "mode " << dwMode);
        CFileHasher hasher;
        hasher.SetOptions(dwMode);
        BYTE abWrong[SHA256_DIGEST_SIZE];
        memcpy(abWrong, abWant, sizeof(abWrong));
        abWrong[31] ^= 0x01;
        EXPECT_EQ(hasher.Verify(path.c_str(), data.size(), abWrong, NULL), DLE_CHECKSUM);
        EXPECT_EQ(hasher.BytesDone(), data.size());
    }
    // One byte changed in the middle of the file.
    data[MiB + 17] ^= 0x80;
    Write(L"image.bin", data);
    CFileHasher hasher;
    EXPECT_EQ(hasher.Verify(path.c_str(), data.size(), abWant, NULL), DLE_CHECKSUM);
}

TEST_F(FileHasherTest, SizesOtherThanExpected)
{
    std::vector<BYTE> data = RandomBytes(MiB + 100, 3);
    std::wstring path = Write(L"image.bin", data);
    BYTE abAll[SHA256_DIGEST_SIZE], abPrefix[SHA256_DIGEST_SIZE], ab[SHA256_DIGEST_SIZE];
    DigestOf(data, data.size(), abAll);
    DigestOf(data, data.size() - 1, abPrefix);
    for (DWORD dwMode : kModes) {
        SCOPED_TRACE(testing::Message() << "mode " << dwMode);
        CFileHasher hasher;
        hasher.SetOptions(dwMode);
        // Shorter or longer than expected: refused before any byte is hashed.
        EXPECT_EQ(hasher.Verify(path.c_str(), data.size() + 1, abAll, NULL), DLE_SIZE_MISMATCH);
        EXPECT_EQ(hasher.BytesDone(), 0u);
        EXPECT_EQ(hasher.Verify(path.c_str(), data.size() - 1, abPrefix, NULL), DLE_SIZE_MISMATCH);
        EXPECT_EQ(hasher.Verify(path.c_str(), 0, abPrefix, NULL), DLE_SIZE_MISMATCH);
        // Computing covers the first bytes only, and refuses more than there are.
        EXPECT_EQ(hasher.Compute(path.c_str(), data.size() - 1, NULL, ab), DLE_OK);
        EXPECT_EQ(Hex(ab), Hex(abPrefix));
        EXPECT_EQ(hasher.BytesTotal(), data.size() - 1);
        EXPECT_EQ(hasher.Compute(path.c_str(), data.size() + 1, NULL, ab), DLE_SIZE_MISMATCH);
        // Any size when it is not known.
        EXPECT_EQ(hasher.Verify(path.c_str(), CFileHasher::WHOLE_FILE, abAll, NULL), DLE_OK);
    }
    // An empty file has the empty message's digest.
    std::wstring empty = Write(L"empty.bin", std::vector<BYTE>());
    BYTE abEmpty[SHA256_DIGEST_SIZE];
    ASSERT_TRUE(CSha256::ParseHex("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855", abEmpty));
    CFileHasher hasher;
    EXPECT_EQ(hasher.Verify(empty.c_str(), 0, abEmpty, NULL), DLE_OK);
    EXPECT_EQ(hasher.Verify(empty.c_str(), 0, abAll, NULL), DLE_CHECKSUM);
    EXPECT_EQ(hasher.Verify(empty.c_str(), 1, abEmpty, NULL), DLE_SIZE_MISMATCH);
}

TEST_F(FileHasherTest, MissingOrUnreadableFiles)
{
    CFileHasher hasher;
    BYTE ab[SHA256_DIGEST_SIZE];
    std::wstring missing = PathOf(L"missing.bin");
    EXPECT_EQ(hasher.Verify(missing.c_str(), 10, ab, NULL), DLE_WORKFILE_MISSING);
    EXPECT_EQ(hasher.LastWin32Error(), (DWORD)ERROR_FILE_NOT_FOUND);
    std::wstring deeper = PathOf(L"no-such-folder\\image.bin");
    EXPECT_EQ(hasher.Compute(deeper.c_str(), 10, NULL, ab), DLE_WORKFILE_MISSING);
    // A folder is no file to read.
    EXPECT_EQ(hasher.Compute(m_szDir, CFileHasher::WHOLE_FILE, NULL, ab), DLE_CREATE_FILE);
    EXPECT_NE(hasher.LastWin32Error(), 0u);
    EXPECT_EQ(hasher.Compute(NULL, 10, NULL, ab), DLE_INVALID_ARG);
    EXPECT_EQ(hasher.Compute(L"", 10, NULL, ab), DLE_INVALID_ARG);
}

TEST_F(FileHasherTest, SharesTheFileWithTheEngine)
{
    std::vector<BYTE> data;
    BYTE abWant[SHA256_DIGEST_SIZE];
    std::wstring path = WriteRandom(L"image.bin", MiB, 4, &data, abWant);
    // The engine keeps its data file open for writing and lets others only read it.
    HANDLE hEngine = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(hEngine, INVALID_HANDLE_VALUE);
    for (DWORD dwMode : kModes) {
        CFileHasher hasher;
        hasher.SetOptions(dwMode);
        EXPECT_EQ(hasher.Verify(path.c_str(), data.size(), abWant, NULL), DLE_OK) << "mode " << dwMode;
    }
    ::CloseHandle(hEngine);
    // Nothing is left open afterwards: the file can be renamed at once.
    std::wstring moved = PathOf(L"moved.bin");
    EXPECT_TRUE(::MoveFileW(path.c_str(), moved.c_str()));
}

// The installer hands the verified image to the restore tool the moment the engine calls it
// finished: by then no handle of the hasher's may be open, in any mode, match or not.
TEST_F(FileHasherTest, LetsGoOfTheFileBeforeItReturns)
{
    std::vector<BYTE> data;
    BYTE abWant[SHA256_DIGEST_SIZE];
    std::wstring path = WriteRandom(L"image.bin", 256 * KiB + 3, 6, &data, abWant);
    BYTE abWrong[SHA256_DIGEST_SIZE];
    memcpy(abWrong, abWant, sizeof(abWrong));
    abWrong[0] ^= 0x01;
    for (DWORD dwMode : kModes) {
        for (int i = 0; i < 40; ++i) {
            CFileHasher hasher;
            hasher.SetOptions(dwMode);
            hasher.SetReadSize(CFileHasher::MIN_READ_SIZE);
            ASSERT_EQ(hasher.Verify(path.c_str(), data.size(), (i & 1) ? abWrong : abWant, NULL),
                      (i & 1) ? DLE_CHECKSUM : DLE_OK);
            HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, NULL);
            ASSERT_NE(h, INVALID_HANDLE_VALUE)
                << "mode " << dwMode << ", run " << i << ": still open, error " << ::GetLastError();
            ::CloseHandle(h);
        }
    }
}

// A run of the hasher on a thread of its own, as the engine runs it, over a file big enough
// (and hashed slowly enough: portable path, smallest reads) to be watched while it works.
class FileHasherRunTest : public FileHasherTest
{
protected:
    void SetUp() override
    {
        FileHasherTest::SetUp();
        m_path = WriteRandom(L"big.bin", 48 * MiB, 5, &m_data, m_abWant);
        m_hAbort = ::CreateEventW(NULL, TRUE, FALSE, NULL);
        ASSERT_TRUE(m_hAbort != NULL);
        ASSERT_TRUE(m_hasher.SetPath(CSha256::PATH_PORTABLE));
        m_hasher.SetReadSize(CFileHasher::MIN_READ_SIZE);
    }

    void TearDown() override
    {
        if (m_hThread) {
            ::SetEvent(m_hAbort);
            ::WaitForSingleObject(m_hThread, 30000);
            ::CloseHandle(m_hThread);
        }
        ::CloseHandle(m_hAbort);
        FileHasherTest::TearDown();
    }

    void Start(DWORD dwOptions)
    {
        m_hasher.SetOptions(dwOptions);
        m_hThread = ::CreateThread(NULL, 0, ThreadMain, this, 0, NULL);
        ASSERT_TRUE(m_hThread != NULL);
    }

    // Waits (bounded) until the run has hashed something; FALSE if it ended or never began.
    BOOL WaitForProgress()
    {
        DWORD dwStart = ::GetTickCount();
        while (::GetTickCount() - dwStart < 20000) {
            ULONGLONG ull = m_hasher.BytesDone();
            if (ull > 0)
                return ull < m_data.size();
            if (::WaitForSingleObject(m_hThread, 1) == WAIT_OBJECT_0)
                return FALSE;
        }
        return FALSE;
    }

    static DWORD WINAPI ThreadMain(LPVOID pv)
    {
        FileHasherRunTest* p = (FileHasherRunTest*)pv;
        p->m_lResult = p->m_hasher.Verify(p->m_path.c_str(), p->m_data.size(), p->m_abWant, p->m_hAbort);
        return 0;
    }

    std::vector<BYTE> m_data;
    std::wstring m_path;
    BYTE m_abWant[SHA256_DIGEST_SIZE];
    HANDLE m_hAbort = NULL;
    HANDLE m_hThread = NULL;
    CFileHasher m_hasher;
    volatile LONG m_lResult = 12345;
};

TEST_F(FileHasherRunTest, ProgressRisesToTheWholeFile)
{
    Start(CFileHasher::OPT_DEFAULT);
    ULONGLONG ullLast = 0;
    int nInside = 0;
    DWORD dwStart = ::GetTickCount();
    while (::WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT && ::GetTickCount() - dwStart < 60000) {
        ULONGLONG ull = m_hasher.BytesDone();
        ASSERT_GE(ull, ullLast) << "progress went back";
        ASSERT_LE(ull, m_data.size());
        if (ull > 0 && ull < m_data.size())
            ++nInside;
        ullLast = ull;
        ::Sleep(1);
    }
    ASSERT_EQ(::WaitForSingleObject(m_hThread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(m_lResult, DLE_OK);
    EXPECT_EQ(m_hasher.BytesDone(), m_data.size());
    EXPECT_EQ(m_hasher.BytesTotal(), m_data.size());
    EXPECT_GT(nInside, 0) << "no progress was visible before the end";
}

TEST_F(FileHasherRunTest, AbortEndsTheRunPromptly)
{
    for (DWORD dwMode : { (DWORD)CFileHasher::OPT_DEFAULT, (DWORD)CFileHasher::OPT_SEQUENTIAL_SCAN }) {
        SCOPED_TRACE(testing::Message() << "mode " << dwMode);
        ::ResetEvent(m_hAbort);
        Start(dwMode);
        ASSERT_TRUE(WaitForProgress()) << "the run ended before it could be watched";
        // While it reads, the engine can still open the file as it does to write it.
        HANDLE hEngine = ::CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(hEngine, INVALID_HANDLE_VALUE);
        if (hEngine != INVALID_HANDLE_VALUE)
            ::CloseHandle(hEngine);
        DWORD dwSignalled = ::GetTickCount();
        ::SetEvent(m_hAbort);
        ASSERT_EQ(::WaitForSingleObject(m_hThread, 2000), WAIT_OBJECT_0) << "still hashing 2 s after the abort";
        DWORD dwMs = ::GetTickCount() - dwSignalled;
        EXPECT_LT(dwMs, 500u);
        EXPECT_EQ(m_lResult, DLX_ABORTED);
        EXPECT_LT(m_hasher.BytesDone(), m_data.size());
        ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    // Signalled before the start: nothing is read.
    CFileHasher hasher;
    EXPECT_EQ(hasher.Verify(m_path.c_str(), m_data.size(), m_abWant, m_hAbort), DLX_ABORTED);
    EXPECT_EQ(hasher.BytesDone(), 0u);
    // A run after an abort starts again from the beginning.
    ::ResetEvent(m_hAbort);
    EXPECT_EQ(hasher.Verify(m_path.c_str(), m_data.size(), m_abWant, m_hAbort), DLE_OK);
}

TEST_F(FileHasherRunTest, AFileThatShrinksMeanwhileIsTooShort)
{
    for (DWORD dwMode : { (DWORD)CFileHasher::OPT_DEFAULT, (DWORD)CFileHasher::OPT_SEQUENTIAL_SCAN }) {
        SCOPED_TRACE(testing::Message() << "mode " << dwMode);
        Write(L"big.bin", m_data);
        Start(dwMode);
        ASSERT_TRUE(WaitForProgress()) << "the run ended before it could be watched";
        HANDLE h = ::CreateFileW(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        LARGE_INTEGER li;
        li.QuadPart = m_data.size() / 2;
        EXPECT_TRUE(::SetFilePointerEx(h, li, NULL, FILE_BEGIN) && ::SetEndOfFile(h));
        ::CloseHandle(h);
        ASSERT_EQ(::WaitForSingleObject(m_hThread, 30000), WAIT_OBJECT_0);
        EXPECT_EQ(m_lResult, DLE_SIZE_MISMATCH);
        EXPECT_LE(m_hasher.BytesDone(), m_data.size() / 2);
        ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
}

}  // namespace
