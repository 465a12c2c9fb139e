#include "sim/frontend/FirmwareProcess.h"

#include "sim/board/Boot.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vrec::frontend {

namespace {

constexpr size_t kErrorLinesKept = 40;
constexpr size_t kConsoleKept = 1 << 20;

void WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace

FirmwareProcess::FirmwareProcess(FirmwareConfig config) : config_(std::move(config)) {}

FirmwareProcess::~FirmwareProcess()
{
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        Wait(5000);
    }
    StopReader();
    if (input_ >= 0)
        close(input_);
    if (logFd_ >= 0)
        close(logFd_);
}

bool FirmwareProcess::Start(std::string* why)
{
    StopReader();
    if (input_ >= 0)
        close(input_);
    input_ = -1;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        *why = std::string("cannot make pipes: ") + std::strerror(errno);
        return false;
    }
    if (logFd_ < 0 && !config_.logPath.empty())
        logFd_ = open(config_.logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    {
        std::lock_guard<std::mutex> guard(lock_);
        errorLines_.clear();
        console_.clear();
    }
    // What a power-on starts: the application installed in the flash, or the build's.
    board::BootApplication boot =
        board::ChooseBootApplication(config_.boardRoot, config_.program, config_.workDir);
    if (!boot.note.empty()) {
        std::string line = "board: " + boot.note + "\n";
        WriteAll(STDERR_FILENO, line.data(), line.size());
        if (logFd_ >= 0)
            WriteAll(logFd_, line.data(), line.size());
    }
    pid_t pid = fork();
    if (pid < 0) {
        *why = std::string("cannot start the firmware: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        if (chdir(boot.workDir.c_str()) != 0) {
            std::fprintf(stderr, "vrecsim: cannot enter %s: %s\n", boot.workDir.c_str(), std::strerror(errno));
            _exit(126);
        }
        setenv("VRECSIM_ROOT", config_.boardRoot.c_str(), 1);
        execl(boot.program.c_str(), boot.program.c_str(), static_cast<char*>(nullptr));
        std::fprintf(stderr, "vrecsim: cannot run %s: %s\n", boot.program.c_str(), std::strerror(errno));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    pid_ = pid;
    input_ = in[1];
    ended_ = false;
    status_ = 0;
    signal_ = 0;
    wakeFd_ = eventfd(0, EFD_CLOEXEC);
    outputEnded_ = false;
    int outFd = out[0], errFd = err[0];
    reader_ = std::thread([this, outFd, errFd] { ReadOutput(outFd, errFd); });
    return true;
}

bool FirmwareProcess::Collect(int fd, bool isError, std::string& partial)
{
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof(buf));
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (n <= 0)
        return false;  // end of file: the program and all that shared the pipe are gone
    if (config_.echo)
        WriteAll(isError ? STDERR_FILENO : STDOUT_FILENO, buf, static_cast<size_t>(n));
    if (logFd_ >= 0)
        WriteAll(logFd_, buf, static_cast<size_t>(n));
    std::lock_guard<std::mutex> guard(lock_);
    if (!isError) {
        console_.append(buf, static_cast<size_t>(n));
        if (console_.size() > kConsoleKept)
            console_.erase(0, console_.size() - kConsoleKept);
        return true;
    }
    partial.append(buf, static_cast<size_t>(n));
    size_t newline;
    while ((newline = partial.find('\n')) != std::string::npos) {
        errorLines_.push_back(partial.substr(0, newline));
        partial.erase(0, newline + 1);
        if (errorLines_.size() > kErrorLinesKept)
            errorLines_.pop_front();
    }
    return true;
}

void FirmwareProcess::ReadOutput(int outFd, int errFd)
{
    std::string partial;
    bool open[2] = {true, true};
    const int fds[2] = {outFd, errFd};
    while (open[0] || open[1]) {
        pollfd watch[3] = {{open[0] ? outFd : -1, POLLIN, 0}, {open[1] ? errFd : -1, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int r = poll(watch, 3, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (watch[2].revents & POLLIN))
            break;
        for (int i = 0; i < 2; ++i)
            if (watch[i].revents & (POLLIN | POLLHUP | POLLERR))
                open[i] = Collect(fds[i], i == 1, partial);
    }
    if (!partial.empty()) {
        std::lock_guard<std::mutex> guard(lock_);
        errorLines_.push_back(partial);
    }
    close(outFd);
    close(errFd);
    outputEnded_ = true;
}

void FirmwareProcess::StopReader()
{
    if (!reader_.joinable())
        return;
    // Let the last output arrive, then stop waiting for processes the
    // firmware left behind that still hold the pipes.
    for (int i = 0; i < 20 && pid_ > 0 && !ended_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof(one)) < 0) {
    }
    reader_.join();
    close(wakeFd_);
    wakeFd_ = -1;
}

void FirmwareProcess::Reap(int status)
{
    ended_ = true;
    if (WIFEXITED(status)) {
        status_ = WEXITSTATUS(status);
        signal_ = 0;
    } else if (WIFSIGNALED(status)) {
        signal_ = WTERMSIG(status);
        status_ = 128 + signal_;
    }
}

bool FirmwareProcess::Running()
{
    if (pid_ <= 0 || ended_)
        return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        Reap(status);
        // What it wrote last is still in the pipes: let the reader take it
        // before anyone asks how it ended (processes it left behind may keep
        // the pipes open, so not for long).
        for (int i = 0; i < 50 && !outputEnded_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return false;
    }
    return true;
}

bool FirmwareProcess::Wait(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void FirmwareProcess::Signal(int sig)
{
    if (pid_ > 0 && !ended_)
        kill(pid_, sig);
}

void FirmwareProcess::SendLine(const std::string& line)
{
    if (input_ < 0)
        return;
    std::string text = line + "\n";
    WriteAll(input_, text.data(), text.size());
}

std::string FirmwareProcess::Ending() const
{
    if (!ended_)
        return "still running";
    if (signal_ != 0)
        return "killed by signal " + std::to_string(signal_) + " (" + strsignal(signal_) + ")";
    return "exited with status " + std::to_string(status_);
}

std::string FirmwareProcess::LastErrorLines(size_t count) const
{
    std::lock_guard<std::mutex> guard(lock_);
    std::string text;
    size_t first = errorLines_.size() > count ? errorLines_.size() - count : 0;
    for (size_t i = first; i < errorLines_.size(); ++i)
        text += errorLines_[i] + "\n";
    return text;
}

std::string FirmwareProcess::ConsoleText() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return console_;
}

}  // namespace vrec::frontend
