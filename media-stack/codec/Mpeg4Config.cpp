#include "media-stack/codec/Mpeg4Config.h"

#include <utility>

namespace mediastack {

namespace {

class BitReader
{
public:
    BitReader(const uint8_t* data, size_t bits) : data_(data), bits_(bits) {}
    uint32_t Read(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (pos_ >= bits_) {
                ok_ = false;
                return 0;
            }
            v = (v << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
            ++pos_;
        }
        return v;
    }
    size_t left() const { return bits_ - pos_; }
    bool ok() const { return ok_; }

private:
    const uint8_t* data_;
    size_t bits_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class BitWriter
{
public:
    void Put(uint32_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            if (used_ % 8 == 0)
                out_.push_back(0);
            if ((v >> i) & 1u)
                out_.back() |= static_cast<uint8_t>(0x80u >> (used_ % 8));
            ++used_;
        }
    }
    // MPEG-4 stuffing: a zero, then ones up to the byte boundary.
    void Stuff()
    {
        Put(0, 1);
        while (used_ % 8 != 0)
            Put(1, 1);
    }
    Bytes Take() { return std::move(out_); }

private:
    Bytes out_;
    size_t used_ = 0;
};

// Bits of a header up to its stuffing (a zero followed by up to seven ones).
size_t PayloadBits(const Bytes& bytes, size_t from)
{
    size_t bits = (bytes.size() - from) * 8;
    uint8_t last = bytes.back();
    int ones = 0;
    while (ones < 8 && ((last >> ones) & 1u))
        ++ones;
    return ones >= 8 ? bits : bits - ones - 1;
}

size_t NextStartCode(const uint8_t* p, size_t size, size_t from)
{
    for (size_t i = from; i + 2 < size; ++i)
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1)
            return i;
    return size;
}

}  // namespace

bool StartsWithCode(const uint8_t* p, size_t size, uint8_t code)
{
    return size >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == code;
}

size_t FindCode(const uint8_t* p, size_t size, size_t from, uint8_t code)
{
    for (size_t i = from; i + 3 < size; ++i)
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == code)
            return i;
    return size;
}

Bytes RewriteVol(const Bytes& vol)
{
    if (vol.size() < 6 || !StartsWithCode(vol.data(), vol.size(), vol[3]) || (vol[3] & 0xF0) != 0x20)
        return {};
    BitReader in(vol.data() + 4, PayloadBits(vol, 4));
    BitWriter out;
    out.Put(in.Read(1), 1);  // random accessible VOL
    out.Put(in.Read(8), 8);  // object type
    if (in.Read(1)) {        // object-layer identifier
        uint32_t verid = in.Read(4);
        in.Read(3);
        if (verid != 1)
            return {};  // later fields depend on it
    }
    out.Put(0, 1);
    uint32_t aspect = in.Read(4);
    out.Put(aspect, 4);
    if (aspect == 15)
        out.Put(in.Read(16), 16);
    if (in.Read(1)) {  // VOL control parameters
        in.Read(3);    // chroma format, low delay
        if (in.Read(1))
            in.Read(79);  // VBV parameters
    }
    out.Put(0, 1);
    while (in.left() > 0) {
        int n = in.left() >= 16 ? 16 : static_cast<int>(in.left());
        out.Put(in.Read(n), n);
    }
    if (!in.ok())
        return {};
    out.Stuff();
    Bytes body = out.Take();
    Bytes result(vol.begin(), vol.begin() + 4);
    result.insert(result.end(), body.begin(), body.end());
    return result;
}

Bytes RecorderConfigHeader(const uint8_t* headers, size_t size)
{
    size_t vol = size;
    for (uint8_t code = 0x20; code <= 0x2F && vol == size; ++code)
        vol = FindCode(headers, size, 0, code);
    if (vol == size)
        return {};
    Bytes volHeader(headers + vol, headers + NextStartCode(headers, size, vol + 4));
    Bytes rewritten = RewriteVol(volHeader);
    if (rewritten.empty())
        return {};
    Bytes config = {0, 0, 1, kVideoObjectCode};
    config.insert(config.end(), rewritten.begin(), rewritten.end());
    if (config.size() != kMpeg4ConfigSize)
        return {};
    return config;
}

}  // namespace mediastack
