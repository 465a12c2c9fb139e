// The firmware program (`app`) run as a child process on a board: its
// console on a pipe, its output forwarded and remembered, and how it ended.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

namespace vrec::frontend {

struct FirmwareConfig
{
    std::string program;    // build/app
    std::string workDir;    // build/approot: img/, font/, default settings
    std::string boardRoot;  // VRECSIM_ROOT
    bool echo = true;       // forward its output to ours (else only to the log file)
    std::string logPath;    // everything it prints, appended
};

class FirmwareProcess
{
public:
    explicit FirmwareProcess(FirmwareConfig config);
    ~FirmwareProcess();
    FirmwareProcess(const FirmwareProcess&) = delete;
    FirmwareProcess& operator=(const FirmwareProcess&) = delete;

    bool Start(std::string* why);
    // True while the process runs; notices its end.
    bool Running();
    // Waits for the end; false on time-out.
    bool Wait(int timeoutMs);
    void Signal(int sig);

    // A line for the debug console.
    void SendLine(const std::string& line);

    // How the last run ended: "exited with status 1",
    // "killed by signal 11 (Segmentation fault)".
    std::string Ending() const;
    bool ExitedCleanly() const { return ended_ && signal_ == 0 && status_ == 0; }
    int ExitStatus() const { return status_; }
    int TermSignal() const { return signal_; }
    pid_t pid() const { return pid_; }

    // The last lines the program wrote on its standard error.
    std::string LastErrorLines(size_t count) const;
    // Its standard output since the last start (the console).
    std::string ConsoleText() const;

private:
    void ReadOutput(int outFd, int errFd);
    bool Collect(int fd, bool isError, std::string& partial);
    void Reap(int status);
    void StopReader();

    FirmwareConfig config_;
    pid_t pid_ = -1;
    int input_ = -1;
    bool ended_ = false;
    int status_ = 0;
    int signal_ = 0;

    std::thread reader_;
    std::atomic<bool> outputEnded_{false};  // the reader has seen both pipes end
    int wakeFd_ = -1;
    mutable std::mutex lock_;
    std::deque<std::string> errorLines_;
    std::string console_;
    int logFd_ = -1;
};

}  // namespace vrec::frontend
