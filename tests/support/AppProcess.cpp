#include "tests/support/AppProcess.h"

#include "sim/board/Boot.h"
#include "tests/support/BoardTest.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vrec::test {

AppProcess::AppProcess(std::string root, std::vector<std::string> wrapper)
    : root_(std::move(root)), wrapper_(std::move(wrapper)), outPath_(root_ + "/log/app.out"),
      errPath_(root_ + "/log/app.err")
{
}

AppProcess::~AppProcess()
{
    if (pid_ > 0 && !exited_)
        Kill();
    if (input_ >= 0)
        close(input_);
}

bool AppProcess::Start()
{
    int in[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        return false;
    std::string logDir = root_ + "/log";
    mkdir(logDir.c_str(), 0755);
    // As a power-on does: the application installed in the flash, if any.
    vrec::board::BootApplication boot = vrec::board::ChooseBootApplication(root_, VREC_APP, VREC_APP_ROOT);
    pid_ = fork();
    if (pid_ < 0)
        return false;
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (chdir(boot.workDir.c_str()) != 0)
            _exit(125);
        setenv("VRECSIM_ROOT", root_.c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& w : wrapper_)
            argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(const_cast<char*>(boot.program.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    input_ = in[1];
    return true;
}

void AppProcess::Send(const std::string& line)
{
    std::string text = line + "\n";
    if (input_ >= 0 && write(input_, text.data(), text.size()) < 0) {
    }
}

void AppProcess::CloseInput()
{
    if (input_ >= 0)
        close(input_);
    input_ = -1;
}

bool AppProcess::Wait(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exited_) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exited_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void AppProcess::Kill()
{
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        Wait(5000);
    }
}

std::string AppProcess::Output() const
{
    return ReadFile(outPath_);
}

std::string AppProcess::Errors() const
{
    return ReadFile(errPath_);
}

bool AppProcess::WaitForOutput(const std::string& text, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Output().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace vrec::test
