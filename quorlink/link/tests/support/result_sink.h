#pragma once
// A window that collects what the worker posts to it (result records,
// link-lost notices), copying and freeing each record as the GUI would.

#include "quorlink/link/link_protocol.h"
#include "platform/clock.h"
#include "platform/messages.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace linktest {

struct Posted {
    uint32_t message = 0;
    uint32_t wParam = 0;
    int32_t status = 0;
    int32_t code = 0;
    std::string text;
    int32_t current = 0;
    int32_t total = 0;
};

class ResultSink {
public:
    ResultSink() : window_(plat::RegisterWindow([this](const plat::Message& m) { Take(m); })) { }
    ~ResultSink() { plat::UnregisterWindow(window_); }
    ResultSink(const ResultSink&) = delete;
    ResultSink& operator=(const ResultSink&) = delete;

    [[nodiscard]] plat::WindowHandle window() const { return window_; }

    // Called on the posting thread just after a record is stored.
    void OnPost(std::function<void(const Posted&)> hook)
    {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }

    [[nodiscard]] std::vector<Posted> All() const
    {
        std::lock_guard lock(mutex_);
        return posted_;
    }
    [[nodiscard]] std::vector<Posted> Results() const
    {
        std::vector<Posted> out;
        for (const auto& p : All())
            if (p.message == WM_LINK_RESULT)
                out.push_back(p);
        return out;
    }
    [[nodiscard]] size_t Count(uint32_t message) const
    {
        size_t n = 0;
        for (const auto& p : All())
            n += p.message == message;
        return n;
    }

    // Waits (real time, generous) until pred holds over the posted list.
    bool WaitUntil(const std::function<bool(const std::vector<Posted>&)>& pred, int realMs = 20000)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(realMs), [&] { return pred(posted_); });
    }
    // Waits until `count` final records (status 0 or 1) for wParam are in.
    bool WaitForFinal(uint32_t wParam, int realMs = 20000, size_t count = 1)
    {
        return WaitUntil(
            [&](const std::vector<Posted>& all) {
                size_t n = 0;
                for (const auto& p : all)
                    n += p.message == WM_LINK_RESULT && p.wParam == wParam && p.status != LINK_INTERMEDIATE;
                return n >= count;
            },
            realMs);
    }

private:
    void Take(const plat::Message& m)
    {
        Posted p;
        p.message = m.message;
        p.wParam = static_cast<uint32_t>(m.wParam);
        if (m.message == WM_LINK_RESULT) {
            auto* r = reinterpret_cast<LinkResult*>(m.lParam);
            p.status = r->status;
            p.code = r->code;
            p.text = std::string(r->text, strnlen(r->text, sizeof r->text));
            p.current = r->progress.current;
            p.total = r->progress.total;
            std::free(r);
        }
        std::lock_guard lock(mutex_);
        posted_.push_back(p);
        if (hook_)
            hook_(p);
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Posted> posted_;
    std::function<void(const Posted&)> hook_;
    plat::WindowHandle window_;
};

// A zero-filled request record as the GUI allocates it.
inline LinkRequest* NewRequest(const std::string& text, uint32_t window, uint32_t argument = 0)
{
    auto* r = static_cast<LinkRequest*>(std::calloc(1, sizeof(LinkRequest)));
    r->guiThreadId = plat::CurrentThreadId();
    r->window = window;
    r->argument = argument;
    std::memcpy(r->text, text.data(), std::min(text.size(), sizeof r->text - 1));
    return r;
}

}  // namespace linktest
