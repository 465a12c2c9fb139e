#include "sim/board/ChildPipe.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vrec::board {

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& dropPrefixes,
                                          const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        bool dropped = false;
        for (const std::string& prefix : dropPrefixes)
            dropped = dropped || std::strncmp(*e, prefix.c_str(), prefix.size()) == 0;
        if (!dropped)
            env.emplace_back(*e);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

ChildPipe::~ChildPipe()
{
    Stop();
}

bool ChildPipe::Start(const std::string& command, const std::vector<std::string>& environment, Direction direction,
                      std::string* why)
{
    Stop();
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        *why = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    bool fromChild = direction == Direction::kFromChild;
    int ours = fromChild ? pipeFds[0] : pipeFds[1];
    int theirs = fromChild ? pipeFds[1] : pipeFds[0];

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, fromChild ? STDOUT_FILENO : STDIN_FILENO);
    if (!fromChild) {
        // A command fed by the board has nothing to say on the firmware's console.
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    std::string line = command;
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char* argv[] = {shell, dashC, &line[0], nullptr};
    pid_t pid;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(theirs);
    if (rc != 0) {
        close(ours);
        *why = std::string("cannot start the host command: ") + std::strerror(rc);
        return false;
    }
    fcntl(ours, F_SETFL, fcntl(ours, F_GETFL) | O_NONBLOCK);
    fd_ = ours;
    child_ = pid;
    return true;
}

void ChildPipe::Stop()
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

size_t ChildPipe::Read(uint8_t* data, size_t bytes, bool* ended)
{
    *ended = false;
    if (fd_ < 0)
        return 0;
    size_t got = 0;
    while (got < bytes) {
        ssize_t n = read(fd_, data + got, bytes - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            *ended = true;
        break;
    }
    return got;
}

}  // namespace vrec::board
