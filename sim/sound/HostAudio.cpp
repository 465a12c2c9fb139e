#include "sim/sound/HostAudio.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

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

// The environment of this process without the board's ALSA set-up, so the
// child reaches the host's devices and never the board's card.
std::vector<std::string> ChildEnvironment(int rate, int bits)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "ALSA_CONFIG_PATH=", 17) == 0 || std::strncmp(*e, "VREC_SOUND_", 11) == 0)
            continue;
        env.emplace_back(*e);
    }
    env.push_back("VREC_SOUND_RATE=" + std::to_string(rate));
    env.push_back(std::string("VREC_SOUND_FORMAT=") + (bits == 16 ? "S16_LE" : "S24_3LE"));
    return env;
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
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        *why = std::string("pipe: ") + std::strerror(errno);
        failed_ = true;
        return false;
    }
    bool fromHost = direction == Direction::kFromHost;
    int ours = fromHost ? pipeFds[0] : pipeFds[1];
    int theirs = fromHost ? pipeFds[1] : pipeFds[0];

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, fromHost ? STDOUT_FILENO : STDIN_FILENO);
    if (!fromHost) {
        // The speakers' player has nothing to say on the firmware's console.
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    std::string command = CommandFor(direction);
    std::vector<std::string> env = ChildEnvironment(rate, bits);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char* argv[] = {shell, dashC, &command[0], nullptr};
    pid_t pid;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(theirs);
    if (rc != 0) {
        close(ours);
        *why = std::string("cannot start the host sound command: ") + std::strerror(rc);
        failed_ = true;
        return false;
    }
    fcntl(ours, F_SETFL, fcntl(ours, F_GETFL) | O_NONBLOCK);
    fd_ = ours;
    child_ = pid;
    return true;
}

void HostAudioPipe::Stop()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (child_ > 0) {
        // Closing the pipe ends the command's input or output; give it a
        // moment to finish its own way before it is stopped.
        for (int i = 0; i < 40; ++i) {
            if (waitpid(child_, nullptr, WNOHANG) == child_) {
                child_ = -1;
                return;
            }
            struct timespec pause = {0, 5 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        kill(child_, SIGTERM);
        waitpid(child_, nullptr, 0);
    }
    child_ = -1;
}

void HostAudioPipe::Lost()
{
    Stop();
    failed_ = true;
}

size_t HostAudioPipe::Read(uint8_t* data, size_t bytes)
{
    if (fd_ < 0)
        return 0;
    size_t got = 0;
    while (got < bytes) {
        ssize_t n = read(fd_, data + got, bytes - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            Lost();  // the host command ended: no capture device, or it failed
            break;
        }
        if (errno == EAGAIN)
            break;
    }
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
