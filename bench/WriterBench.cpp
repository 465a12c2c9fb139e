// The recording writer's CPU per second of recording, against the tools a
// person would use to write the same bytes, run in the same program:
//  - the WAV loop writing 96 kHz 24-bit stereo, against sox turning the same
//    raw samples into a WAV file;
//  - the MOV loop writing a 7.5 Mbit/s 1280 x 720 movie with 48 kHz 16-bit
//    sound, against "ffmpeg -c copy" putting the same stream and samples
//    into a MOV file.
// Frames and sound are queued as fast as the writer takes them; the time
// reported is the writer thread's (or the tool's) CPU time per second of
// recording.
#include "DrvLib/Msp430.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"
#include "Media/RemainMedia.h"
#include "Media/Writer.h"
#include "Middleware/Audio/AudioCapture.h"
#include "Middleware/GUI/Recorder.h"
#include "Middleware/VPFE/Capture.h"
#include "sim/board/Board.h"
#include "sim/board/BoardLayout.h"
#include "tests/media/support/Mpeg4Stream.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef VREC_BENCH_DIR
#error "VREC_BENCH_DIR must name a folder of the build tree for the benchmarks' files"
#endif

namespace {

constexpr int kSeconds = 60;

double ThreadCpuSeconds(pthread_t thread)
{
    clockid_t clock;
    struct timespec t = {};
    if (pthread_getcpuclockid(thread, &clock) == 0)
        clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

bool PowerOnBenchBoard()
{
    static bool ready = [] {
        std::string root = std::string(VREC_BENCH_DIR) + "/writer-board";
        std::string why;
        setenv("VRECSIM_ROOT", root.c_str(), 1);
        if (!vrec::board::PrepareBoardRoot(root, &why) || !vrec::board::Board::Reopen(root, &why)) {
            std::fprintf(stderr, "bench board: %s\n", why.c_str());
            return false;
        }
        return true;
    }();
    return ready;
}

std::string HostPath(const std::string& devicePath)
{
    return vrec::board::Board::Get().paths().Map(devicePath);
}

// Removes the recordings of the last run.
void EmptyRecordingFolder()
{
    const std::string folder = HostPath("/sdcard/MY_FOLDER");
    if (DIR* d = opendir(folder.c_str())) {
        while (struct dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                unlink((folder + "/" + e->d_name).c_str());
        closedir(d);
    }
    SetParameter("/Setup/FILE NAME/CURRENT", 0.0f);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return std::fclose(fp) == 0 && ok;
}

// One second of a stereo tone, repeated for every second.
std::vector<uint8_t> ToneSecond(int rate, int bits)
{
    std::vector<uint8_t> v;
    const int bytes = bits / 8;
    for (int i = 0; i < rate; ++i) {
        double x = 0.3 * std::sin(2 * M_PI * 1000.0 * i / rate);
        int32_t s = static_cast<int32_t>(std::lround(x * (bits == 24 ? 8388607.0 : 32767.0)));
        for (int ch = 0; ch < 2; ++ch)
            for (int b = 0; b < bytes; ++b)
                v.push_back(static_cast<uint8_t>(s >> (8 * b)));
    }
    return v;
}

// The writer thread fed by this program: its encoded-frame queues, and the
// capture thread's sound queues with five buffers.
class FedWriter
{
public:
    FedWriter()
    {
        g_hRendezvousInit = Rendezvous_create(2, &Rendezvous_Attrs_DEFAULT);
        g_hRendezvousCleanup = Rendezvous_create(2, &Rendezvous_Attrs_DEFAULT);
        env_.hInFifo = Fifo_create(&Fifo_Attrs_DEFAULT);
        env_.hFreeFifo = Fifo_create(&Fifo_Attrs_DEFAULT);
        g_hAudioCaptureOut = Fifo_create(&Fifo_Attrs_DEFAULT);
        g_hAudioCaptureFree = Fifo_create(&Fifo_Attrs_DEFAULT);
        sound_ = BufTab_create(AUDIO_CAPTURE_BUFFERS, AUDIO_CAPTURE_BUFFER_SIZE, &Buffer_Attrs_DEFAULT);
        for (int i = 0; i < AUDIO_CAPTURE_BUFFERS; ++i)
            Fifo_put(g_hAudioCaptureFree, BufTab_getBuf(sound_, i));
        g_Msp430_nBatteryLevel = 7;
        pthread_create(&thread_, nullptr, WriterThread, &env_);
        Rendezvous_meet(g_hRendezvousInit);
    }

    ~FedWriter()
    {
        g_bRecording = 0;
        g_bRecorder = 0;
        g_bQuit = 1;
        Rendezvous_meet(g_hRendezvousCleanup);
        pthread_join(thread_, nullptr);
        g_bQuit = 0;
        Fifo_delete(g_hAudioCaptureOut);
        Fifo_delete(g_hAudioCaptureFree);
        g_hAudioCaptureOut = nullptr;
        g_hAudioCaptureFree = nullptr;
        BufTab_delete(sound_);
        Fifo_delete(env_.hInFifo);
        Fifo_delete(env_.hFreeFifo);
        Rendezvous_delete(g_hRendezvousCleanup);
        Rendezvous_delete(g_hRendezvousInit);
        g_hRendezvousInit = nullptr;
        g_hRendezvousCleanup = nullptr;
    }

    void Queue(Fifo_Handle free, Fifo_Handle out, const uint8_t* data, size_t bytes)
    {
        Buffer_Handle buf = nullptr;
        while (Fifo_getPoll(free, &buf, 1000) != Dmai_EOK || !buf) {
        }
        std::memcpy(Buffer_getUserPtr(buf), data, bytes);
        Buffer_setNumBytesUsed(buf, static_cast<int32_t>(bytes));
        Fifo_put(out, buf);
    }
    void QueueFrame(const std::vector<uint8_t>& frame) { Queue(env_.hFreeFifo, env_.hInFifo, frame.data(), frame.size()); }
    void QueueSound(const uint8_t* data, size_t bytes) { Queue(g_hAudioCaptureFree, g_hAudioCaptureOut, data, bytes); }

    // Starts a recording in the mode; returns the writer's CPU seconds so far.
    double Start(int actionMode, int rate, int bits)
    {
        EmptyRecordingFolder();
        SetActionMode(actionMode);
        g_nAudioFreq = rate;
        g_nAudioBits = bits;
        g_nVideoRecordWidth = 1280;
        g_nVideoRecordHeight = 720;
        g_RemainMedia.Update();
        g_bRecorder = 1;
        g_bRecording = 1;
        return ThreadCpuSeconds(thread_);
    }

    // Ends it once everything queued is written; the writer's CPU seconds.
    double Stop()
    {
        while (Fifo_getNumEntries(env_.hInFifo) > 0 || Fifo_getNumEntries(g_hAudioCaptureOut) > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        REC_Stop();
        while (g_bMovWriterRunning || g_bWavWriterRunning)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        double cpu = ThreadCpuSeconds(thread_);
        g_bRecorder = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return cpu;
    }

private:
    WriterEnv env_ = {};
    BufTab_Handle sound_ = nullptr;
    pthread_t thread_{};
};

// CPU seconds of a program run to its end.
double ChildCpuSeconds(const std::vector<std::string>& argv)
{
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// ---- WAV: 96 kHz 24-bit ----------------------------------------------------

const std::vector<uint8_t>& WavSecond()
{
    static const std::vector<uint8_t> second = ToneSecond(96000, 24);
    return second;
}

void BM_WavWriter(benchmark::State& state)
{
    if (!PowerOnBenchBoard()) {
        state.SkipWithError("no board");
        return;
    }
    FedWriter writer;
    const std::vector<uint8_t>& second = WavSecond();
    const size_t buffer = second.size() / 10;
    for (auto _ : state) {
        double before = writer.Start(ACTION_MODE_SOUND, 96000, 24);
        for (int i = 0; i < kSeconds * 10; ++i)
            writer.QueueSound(second.data() + (i % 10) * buffer, buffer);
        double cpu = writer.Stop() - before;
        state.SetIterationTime(cpu / kSeconds);
    }
    EmptyRecordingFolder();
}

void BM_SoxWritesTheSameWav(benchmark::State& state)
{
    const std::string raw = std::string(VREC_BENCH_DIR) + "/writer-96k24.raw";
    const std::string wav = std::string(VREC_BENCH_DIR) + "/writer-sox.wav";
    std::vector<uint8_t> all;
    for (int s = 0; s < kSeconds; ++s)
        all.insert(all.end(), WavSecond().begin(), WavSecond().end());
    if (!WriteBytes(raw, all)) {
        state.SkipWithError("cannot write the samples");
        return;
    }
    for (auto _ : state) {
        double cpu = ChildCpuSeconds({"sox", "-t", "raw", "-r", "96000", "-b", "24", "-c", "2", "-e", "signed-integer",
                                      raw, wav});
        if (cpu < 0) {
            state.SkipWithError("sox failed");
            break;
        }
        state.SetIterationTime(cpu / kSeconds);
    }
    std::remove(raw.c_str());
    std::remove(wav.c_str());
}

// ---- MOV: 7.5 Mbit/s HD, 48 kHz 16-bit --------------------------------------

const vrec::test::RecorderVideo& MovieFrames()
{
    static vrec::test::RecorderVideo video = [] {
        vrec::test::RecorderVideo v;
        std::string error;
        if (!vrec::test::EncodeRecorderVideo(1280, 720, 60, &v, &error, 7500000))
            std::fprintf(stderr, "no frames: %s\n", error.c_str());
        return v;
    }();
    return video;
}

const std::vector<uint8_t>& MovieSoundSecond()
{
    static const std::vector<uint8_t> second = ToneSecond(48000, 16);
    return second;
}

// Stream frame i: the configuration header only on the first.
const std::vector<uint8_t>& Frame(int i)
{
    static std::vector<uint8_t> firstWithoutHeader;
    const vrec::test::RecorderVideo& video = MovieFrames();
    size_t k = static_cast<size_t>(i) % video.frames.size();
    if (i == 0 || k != 0)
        return video.frames[k];
    if (firstWithoutHeader.empty())
        firstWithoutHeader.assign(video.frames[0].begin() + vrec::test::kConfigHeaderSize, video.frames[0].end());
    return firstWithoutHeader;
}

void BM_MovWriter(benchmark::State& state)
{
    if (!PowerOnBenchBoard() || MovieFrames().frames.empty()) {
        state.SkipWithError("no board or no frames");
        return;
    }
    FedWriter writer;
    const std::vector<uint8_t>& second = MovieSoundSecond();
    const size_t buffer = second.size() / 10;
    double bytes = 0;
    for (auto _ : state) {
        double before = writer.Start(ACTION_MODE_MOVIE, 48000, 16);
        bytes = 0;
        for (int step = 0; step < kSeconds * 10; ++step) {
            for (int k = 0; k < 3; ++k) {
                writer.QueueFrame(Frame(3 * step + k));
                bytes += static_cast<double>(Frame(3 * step + k).size());
            }
            writer.QueueSound(second.data() + (step % 10) * buffer, buffer);
        }
        double cpu = writer.Stop() - before;
        state.SetIterationTime(cpu / kSeconds);
    }
    state.counters["video_Mbps"] = bytes * 8 / kSeconds / 1e6;
    EmptyRecordingFolder();
}

void BM_FfmpegCopiesTheSameMovie(benchmark::State& state)
{
    const std::string m4v = std::string(VREC_BENCH_DIR) + "/writer-hd.m4v";
    const std::string raw = std::string(VREC_BENCH_DIR) + "/writer-48k16.raw";
    const std::string mov = std::string(VREC_BENCH_DIR) + "/writer-ffmpeg.mov";
    std::vector<uint8_t> stream;
    for (int i = 0; i < kSeconds * 30; ++i)
        stream.insert(stream.end(), Frame(i).begin(), Frame(i).end());
    std::vector<uint8_t> sound;
    for (int s = 0; s < kSeconds; ++s)
        sound.insert(sound.end(), MovieSoundSecond().begin(), MovieSoundSecond().end());
    if (MovieFrames().frames.empty() || !WriteBytes(m4v, stream) || !WriteBytes(raw, sound)) {
        state.SkipWithError("cannot write the stream");
        return;
    }
    for (auto _ : state) {
        double cpu = ChildCpuSeconds({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "m4v", "-framerate", "30", "-i",
                                      m4v, "-f", "s16le", "-ar", "48000", "-ac", "2", "-i", raw, "-c", "copy", "-f",
                                      "mov", mov});
        if (cpu < 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
        state.SetIterationTime(cpu / kSeconds);
    }
    std::remove(m4v.c_str());
    std::remove(raw.c_str());
    std::remove(mov.c_str());
}

// Times are CPU seconds per second of recording.
BENCHMARK(BM_WavWriter)->Name("WavWrite96k24:WriterWavLoop")->UseManualTime()->Iterations(1)->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SoxWritesTheSameWav)->Name("WavWrite96k24:peer")->UseManualTime()->Iterations(1)->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MovWriter)->Name("MovWriteHD7.5M:WriterMovLoop")->UseManualTime()->Iterations(1)->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegCopiesTheSameMovie)->Name("MovWriteHD7.5M:peer")->UseManualTime()->Iterations(1)->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
