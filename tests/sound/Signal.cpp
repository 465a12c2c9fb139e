#include "tests/sound/Signal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vrec::test {

namespace {

int32_t Sample(const uint8_t* p, int bits)
{
    if (bits == 16)
        return static_cast<int16_t>(p[0] | (p[1] << 8));
    int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
    return v >= 0x800000 ? v - 0x1000000 : v;
}

void Put(uint8_t* p, int bits, int32_t v)
{
    for (int i = 0; i < bits / 8; ++i)
        p[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

Stereo Unpack(const uint8_t* data, size_t bytes, int bits)
{
    Stereo s;
    size_t sampleBytes = bits / 8;
    double scale = bits == 16 ? 32768.0 : 8388608.0;
    for (size_t i = 0; i + 2 * sampleBytes <= bytes; i += 2 * sampleBytes) {
        s.left.push_back(Sample(data + i, bits) / scale);
        s.right.push_back(Sample(data + i + sampleBytes, bits) / scale);
    }
    return s;
}

std::vector<uint8_t> PackSine(int bits, int rate, size_t frames, double leftHz, double leftAmp, double rightHz,
                              double rightAmp)
{
    size_t sampleBytes = bits / 8;
    double full = bits == 16 ? 32767.0 : 8388607.0;
    std::vector<uint8_t> out(frames * 2 * sampleBytes);
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        int32_t l = static_cast<int32_t>(std::lround(full * leftAmp * std::sin(2 * M_PI * leftHz * t)));
        int32_t r = static_cast<int32_t>(std::lround(full * rightAmp * std::sin(2 * M_PI * rightHz * t)));
        Put(&out[i * 2 * sampleBytes], bits, l);
        Put(&out[i * 2 * sampleBytes + sampleBytes], bits, r);
    }
    return out;
}

double SineAmplitude(const std::vector<double>& x, double hz, double rate, size_t skip)
{
    // Normal equations of x ~ a sin + b cos + c.
    double ss = 0, cc = 0, sc = 0, s1 = 0, c1 = 0, n = 0, xs = 0, xc = 0, x1 = 0;
    for (size_t i = skip; i < x.size(); ++i) {
        double w = 2 * M_PI * hz * static_cast<double>(i) / rate;
        double s = std::sin(w), c = std::cos(w);
        ss += s * s;
        cc += c * c;
        sc += s * c;
        s1 += s;
        c1 += c;
        n += 1;
        xs += x[i] * s;
        xc += x[i] * c;
        x1 += x[i];
    }
    // Solve the 3x3 system by Cramer's rule.
    double m[3][3] = {{ss, sc, s1}, {sc, cc, c1}, {s1, c1, n}};
    double v[3] = {xs, xc, x1};
    auto det = [](double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double d = det(m);
    if (d == 0)
        return 0;
    double coef[2];
    for (int k = 0; k < 2; ++k) {
        double t[3][3];
        std::memcpy(t, m, sizeof(t));
        for (int r = 0; r < 3; ++r)
            t[r][k] = v[r];
        coef[k] = det(t) / d;
    }
    return std::hypot(coef[0], coef[1]);
}

double Peak(const std::vector<double>& x, size_t skip)
{
    double p = 0;
    for (size_t i = skip; i < x.size(); ++i)
        p = std::max(p, std::fabs(x[i]));
    return p;
}

double Rms(const std::vector<double>& x, size_t skip)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = skip; i < x.size(); ++i, ++n)
        sum += x[i] * x[i];
    return n ? std::sqrt(sum / n) : 0;
}

double Db(double ratio)
{
    return 20 * std::log10(ratio);
}

double ZeroCrossingHz(const std::vector<double>& x, double rate)
{
    size_t first = 0, last = 0, count = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            if (count == 0)
                first = i;
            last = i;
            ++count;
        }
    }
    if (count < 2)
        return 0;
    return (count - 1) * rate / static_cast<double>(last - first);
}

bool ReadWav(const std::string& path, WavData* wav)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(&file[8], "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    for (size_t pos = 12; pos + 8 <= file.size();) {
        uint32_t size = Le32(&file[pos + 4]);
        if (std::memcmp(&file[pos], "fmt ", 4) == 0 && pos + 24 <= file.size()) {
            wav->channels = file[pos + 10] | (file[pos + 11] << 8);
            wav->rate = static_cast<int>(Le32(&file[pos + 12]));
            wav->bits = file[pos + 22] | (file[pos + 23] << 8);
            haveFormat = true;
        } else if (std::memcmp(&file[pos], "data", 4) == 0) {
            size_t end = std::min(file.size(), pos + 8 + size);
            wav->data.assign(file.begin() + pos + 8, file.begin() + end);
            return haveFormat;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

bool WriteWav(const std::string& path, int rate, int bits, int channels, const std::vector<uint8_t>& data)
{
    uint8_t h[44];
    auto put32 = [&h](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            h[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto put16 = [&h](int at, uint32_t v) {
        h[at] = static_cast<uint8_t>(v);
        h[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    std::memcpy(h, "RIFF", 4);
    put32(4, 36 + static_cast<uint32_t>(data.size()));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, channels);
    put32(24, rate);
    put32(28, rate * channels * bits / 8);
    put16(32, channels * bits / 8);
    put16(34, bits);
    std::memcpy(h + 36, "data", 4);
    put32(40, static_cast<uint32_t>(data.size()));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(h), sizeof(h));
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

}  // namespace vrec::test
