#include "sim/sound/HostAudio.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace vrec::sound {

namespace {

std::string CommandFor(HostAudioPipe::Direction direction)
{
    const char* name = direction == HostAudioPipe::Direction::kFromHost ? "VRECSIM_HOST_CAPTURE" : "VRECSIM_HOST_PLAYBACK";
    const char* custom = std::getenv(name);
    if (custom && *custom)
        return custom;
    if (direction == HostAudioPipe::Direction::kFromHost)
        return "exec arecord -q -t raw -f S16_LE -c 2 -r \"$VREC_SOUND_RATE\"";
    return "exec aplay -q -t raw -f \"$VREC_SOUND_FORMAT\" -c 2 -r \"$VREC_SOUND_RATE\"";
}

}  // namespace

HostAudioPipe::~HostAudioPipe()
{
    Stop();
}

bool HostAudioPipe::Start(Direction direction, int rate, int bits, std::string* why)
{
    Stop();
    failed_ = false;
    // The child reaches the host's devices and never the board's card.
    std::vector<std::string> env = board::ChildEnvironment(
        {"ALSA_CONFIG_PATH=", "VREC_SOUND_"},
        {"VREC_SOUND_RATE=" + std::to_string(rate),
         std::string("VREC_SOUND_FORMAT=") + (bits == 16 ? "S16_LE" : "S24_3LE")});
    bool fromHost = direction == Direction::kFromHost;
    if (!pipe_.Start(CommandFor(direction), env,
                     fromHost ? board::ChildPipe::Direction::kFromChild : board::ChildPipe::Direction::kToChild, why)) {
        failed_ = true;
        return false;
    }
    fd_ = pipe_.fd();
    return true;
}

void HostAudioPipe::Stop()
{
    pipe_.Stop();
    fd_ = -1;
}

void HostAudioPipe::Lost()
{
    Stop();
    failed_ = true;
}

size_t HostAudioPipe::Read(uint8_t* data, size_t bytes)
{
    bool ended = false;
    size_t got = pipe_.Read(data, bytes, &ended);
    if (ended)
        Lost();  // the host command ended: no capture device, or it failed
    return got;
}

void HostAudioPipe::Write(const uint8_t* data, size_t bytes, size_t frameBytes)
{
    if (fd_ < 0)
        return;
    // A reader that has gone must not end this process with SIGPIPE.
    sigset_t pipeSignal, old;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    // Whole frames only, so that a full pipe never shifts the channels.
    int capacity = fcntl(fd_, F_GETPIPE_SZ);
    int queued = 0;
    if (capacity > 0 && ioctl(fd_, FIONREAD, &queued) == 0) {
        size_t room = capacity > queued ? static_cast<size_t>(capacity - queued) : 0;
        if (bytes > room)
            bytes = room - room % frameBytes;
    }
    ssize_t n = bytes ? write(fd_, data, bytes) : 0;
    bool lost = n < 0 && errno == EPIPE;
    if (lost) {
        struct timespec zero = {0, 0};
        sigtimedwait(&pipeSignal, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (lost)
        Lost();
}

}  // namespace vrec::sound
