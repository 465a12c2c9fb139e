// Answers the screen manager's confirmation boxes of the firmware running in
// this process, as a person would, and keeps their texts.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vrec::test {

class BoxAnswerer
{
public:
    // answer: the result every confirmation box gets (1 yes, 0 no).
    explicit BoxAnswerer(int answer = 1);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // Texts of the boxes answered so far, in order.
    std::vector<std::string> Texts();
    // True when some answered box held text.
    bool Saw(const std::string& text);

private:
    void Run();

    int answer_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

}  // namespace vrec::test
