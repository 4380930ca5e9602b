#include "PngWriter.h"

namespace {

DWORD Crc32(const BYTE* p, size_t n, DWORD crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBE32(std::vector<BYTE>& out, DWORD v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back((BYTE)(v >> s));
}

void PutChunk(std::vector<BYTE>& out, const char* pszType, const std::vector<BYTE>& data)
{
    PutBE32(out, (DWORD)data.size());
    std::vector<BYTE> body(pszType, pszType + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBE32(out, Crc32(body.data(), body.size()));
}

// zlib stream of stored (uncompressed) deflate blocks.
std::vector<BYTE> ZlibStore(const std::vector<BYTE>& raw)
{
    std::vector<BYTE> z;
    z.push_back(0x78);
    z.push_back(0x01);
    size_t pos = 0;
    do {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back((BYTE)n);
        z.push_back((BYTE)(n >> 8));
        z.push_back((BYTE)~n);
        z.push_back((BYTE)(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    DWORD a = 1, b = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        a = (a + raw[i]) % 65521;
        b = (b + a) % 65521;
    }
    PutBE32(z, b << 16 | a);
    return z;
}

}  // namespace

std::vector<BYTE> EncodePng(int cx, int cy, int nColorType, const std::vector<BYTE>& pixels,
                            const std::vector<BYTE>& palette)
{
    const int nChannels = nColorType == 6 ? 4 : nColorType == 2 ? 3 : 1;
    std::vector<BYTE> out;
    const BYTE sig[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    out.assign(sig, sig + 8);
    std::vector<BYTE> ihdr;
    PutBE32(ihdr, (DWORD)cx);
    PutBE32(ihdr, (DWORD)cy);
    const BYTE tail[5] = { 8, (BYTE)nColorType, 0, 0, 0 };
    ihdr.insert(ihdr.end(), tail, tail + 5);
    PutChunk(out, "IHDR", ihdr);
    if (nColorType == 3)
        PutChunk(out, "PLTE", palette);
    std::vector<BYTE> raw;
    for (int y = 0; y < cy; ++y) {
        raw.push_back(0);  // filter: none
        const BYTE* pRow = pixels.data() + (size_t)y * cx * nChannels;
        raw.insert(raw.end(), pRow, pRow + (size_t)cx * nChannels);
    }
    PutChunk(out, "IDAT", ZlibStore(raw));
    PutChunk(out, "IEND", std::vector<BYTE>());
    return out;
}
