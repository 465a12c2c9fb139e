// Measuring sound in the tests: sines made and fitted independently of the
// code under test, PCM packing, and the board's WAV record of the line out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrec::test {

struct Stereo
{
    std::vector<double> left;
    std::vector<double> right;
};

// Interleaved stereo PCM (16-bit or packed 24-bit little-endian) to samples
// in full-scale units (-1 .. 1).
Stereo Unpack(const uint8_t* data, size_t bytes, int bits);
// One channel at the given frame offset (a one-frame delay between channels
// does not matter to a sine).
std::vector<uint8_t> PackSine(int bits, int rate, size_t frames, double leftHz, double leftAmp, double rightHz,
                              double rightAmp);

// Least-squares amplitude of a sine of this frequency in x (exact for a
// pure tone whatever the number of cycles), skipping `skip` samples.
double SineAmplitude(const std::vector<double>& x, double hz, double rate, size_t skip = 0);
double Peak(const std::vector<double>& x, size_t skip = 0);
double Rms(const std::vector<double>& x, size_t skip = 0);
double Db(double ratio);
// Frequency from the count of rising zero crossings.
double ZeroCrossingHz(const std::vector<double>& x, double rate);

// A WAV file's format and sound data; false when it is not one.
struct WavData
{
    int channels = 0;
    int rate = 0;
    int bits = 0;
    std::vector<uint8_t> data;
};
bool ReadWav(const std::string& path, WavData* wav);
bool WriteWav(const std::string& path, int rate, int bits, int channels, const std::vector<uint8_t>& data);

}  // namespace vrec::test
