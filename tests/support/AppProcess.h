// The device program run as a process on a board, as the front end runs it.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace vrec::test {

class AppProcess
{
public:
    // root: the board root; the program runs in the build's working
    // directory with its console on a pipe. wrapper: a command put before it
    // (for example strace), empty for none.
    explicit AppProcess(std::string root, std::vector<std::string> wrapper = {});
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    bool Start();
    // Writes a console line (a newline is added).
    void Send(const std::string& line);
    // Ends the console input (end of file).
    void CloseInput();
    // Waits for the program to end; false on time-out.
    bool Wait(int timeoutMs);
    void Kill();

    bool exited() const { return exited_; }
    int exitStatus() const { return status_; }  // exit code, or 128 + signal
    std::string Output() const;                 // standard output so far
    std::string Errors() const;                 // standard error so far
    // Waits until the standard output holds text; false on time-out.
    bool WaitForOutput(const std::string& text, int timeoutMs);

private:
    std::string root_;
    std::vector<std::string> wrapper_;
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    int input_ = -1;
    bool exited_ = false;
    int status_ = -1;
};

}  // namespace vrec::test
