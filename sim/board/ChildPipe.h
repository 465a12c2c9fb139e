// A shell command run as a child process of the board and joined to it by
// a pipe: how the board reaches the host's own devices (sound, camera) only
// when the operator asks, without opening them itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vrec::board {

class ChildPipe
{
public:
    enum class Direction
    {
        kFromChild,  // we read the command's standard output
        kToChild,    // we write its standard input (its output is discarded)
    };

    ChildPipe() = default;
    ~ChildPipe();
    ChildPipe(const ChildPipe&) = delete;
    ChildPipe& operator=(const ChildPipe&) = delete;

    // Runs "/bin/sh -c command" with the environment given; our end of the
    // pipe does not block.
    bool Start(const std::string& command, const std::vector<std::string>& environment, Direction direction,
               std::string* why);
    // Closes the pipe and ends the child (politely first).
    void Stop();
    bool Running() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // What has arrived, up to bytes; sets *ended when the command has gone.
    size_t Read(uint8_t* data, size_t bytes, bool* ended);

private:
    int fd_ = -1;
    pid_t child_ = -1;
};

// This process's environment without the variables whose "NAME=" starts
// with one of the prefixes, followed by the extra entries.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& dropPrefixes,
                                          const std::vector<std::string>& extra);

}  // namespace vrec::board
