#include "tests/support/BoxAnswerer.h"

#include "Middleware/GUI/ScreenManager.h"

#include <unistd.h>

namespace vrec::test {

namespace {

// The GUI thread writes the box fields as plain words; read them whole.
int Load(const int& value)
{
    return __atomic_load_n(&value, __ATOMIC_ACQUIRE);
}

}  // namespace

BoxAnswerer::BoxAnswerer(int answer) : answer_(answer), thread_([this] { Run(); }) {}

BoxAnswerer::~BoxAnswerer()
{
    stop_ = true;
    thread_.join();
}

void BoxAnswerer::Run()
{
    while (!stop_) {
        if (Load(g_ScreenManager.m_nBoxState) == BOX_CONFIRM && Load(g_ScreenManager.m_nBoxResult) == -1) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                texts_.emplace_back(g_ScreenManager.m_szBoxText);
            }
            __atomic_store_n(&g_ScreenManager.m_nBoxResult, answer_, __ATOMIC_RELEASE);
        }
        usleep(10 * 1000);
    }
}

std::vector<std::string> BoxAnswerer::Texts()
{
    std::lock_guard<std::mutex> guard(lock_);
    return texts_;
}

bool BoxAnswerer::Saw(const std::string& text)
{
    for (const std::string& box : Texts())
        if (box.find(text) != std::string::npos)
            return true;
    return false;
}

}  // namespace vrec::test
