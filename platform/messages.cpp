#include "platform/messages.h"

#include "platform/clock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <shared_mutex>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace plat {
namespace {

struct Timer {
    uint32_t id;
    uint32_t periodMs;
    uint32_t nextDue;  // tick count
    bool pending;  // a WM_TIMER of this timer sits in the queue
};

// One per thread. The queue is shared with posters (under the mutex); the
// timers are touched by the owning thread only.
struct ThreadQueue {
    std::mutex mutex;
    std::deque<Message> messages;
    bool closed = false;
    int wakeFd = -1;  // eventfd: readable while messages are queued
    std::vector<Timer> timers;

    ThreadQueue() : wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) { }
    ~ThreadQueue()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;
};

struct Registry {
    std::mutex mutex;
    std::map<ThreadId, std::shared_ptr<ThreadQueue>> queues;
    ThreadId nextThread = 1;
};

Registry& Threads()
{
    static Registry registry;
    return registry;
}

struct ThreadSlot {
    ThreadId id = 0;
    std::shared_ptr<ThreadQueue> queue;
    ~ThreadSlot()
    {
        if (id != 0) {
            CloseThreadQueue();
        }
    }
};

thread_local ThreadSlot tSlot;

ThreadQueue& OwnQueue()
{
    if (tSlot.id == 0) {
        auto& r = Threads();
        std::lock_guard lock(r.mutex);
        tSlot.id = r.nextThread++;
        if (r.nextThread == 0)
            r.nextThread = 1;
        tSlot.queue = std::make_shared<ThreadQueue>();
        r.queues[tSlot.id] = tSlot.queue;
    }
    return *tSlot.queue;
}

void Signal(ThreadQueue& q)
{
    const uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(q.wakeFd, &one, sizeof one);
}

void Drain(ThreadQueue& q)
{
    uint64_t value = 0;
    [[maybe_unused]] auto n = ::read(q.wakeFd, &value, sizeof value);
}

int32_t TicksUntil(uint32_t due, uint32_t now)
{
    return static_cast<int32_t>(due - now);
}

// Queues WM_TIMER for each due timer that has none pending. Owner thread only.
void GenerateTimerMessages(ThreadQueue& q)
{
    if (q.timers.empty())
        return;
    const uint32_t now = GetTickCount();
    std::lock_guard lock(q.mutex);
    for (auto& t : q.timers) {
        if (t.pending || TicksUntil(t.nextDue, now) > 0)
            continue;
        t.pending = true;
        t.nextDue = now + t.periodMs;
        q.messages.push_back({WM_TIMER, t.id, 0});
    }
}

struct Window {
    DeliverFn deliver;
    std::shared_ptr<std::shared_mutex> inUse;  // held shared while delivering
};

struct WindowRegistry {
    std::mutex mutex;
    std::map<WindowHandle, Window> windows;
    WindowHandle next = 0x10000;
};

WindowRegistry& Windows()
{
    static WindowRegistry registry;
    return registry;
}

}  // namespace

ThreadId CurrentThreadId()
{
    OwnQueue();
    return tSlot.id;
}

bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    std::shared_ptr<ThreadQueue> q;
    {
        auto& r = Threads();
        std::lock_guard lock(r.mutex);
        auto it = r.queues.find(thread);
        if (it == r.queues.end())
            return false;
        q = it->second;
    }
    {
        std::lock_guard lock(q->mutex);
        if (q->closed)
            return false;
        q->messages.push_back({message, wParam, lParam});
    }
    Signal(*q);
    return true;
}

std::optional<Message> PeekMessage()
{
    ThreadQueue& q = OwnQueue();
    GenerateTimerMessages(q);
    std::lock_guard lock(q.mutex);
    if (q.messages.empty()) {
        Drain(q);
        return std::nullopt;
    }
    Message m = q.messages.front();
    q.messages.pop_front();
    if (m.message == WM_TIMER) {
        for (auto& t : q.timers)
            if (t.id == m.wParam)
                t.pending = false;
    }
    if (q.messages.empty())
        Drain(q);
    return m;
}

int64_t MsUntilNextTimer()
{
    ThreadQueue& q = OwnQueue();
    if (q.timers.empty())
        return -1;
    const uint32_t now = GetTickCount();
    int64_t best = -1;
    for (const auto& t : q.timers) {
        if (t.pending)
            continue;  // nothing new can come from it until the pending one is taken
        const int64_t left = std::max<int32_t>(0, TicksUntil(t.nextDue, now));
        if (best < 0 || left < best)
            best = left;
    }
    return best;
}

short WaitForMessageOrFd(int fd, short events, int timeoutMs)
{
    ThreadQueue& q = OwnQueue();
    {
        std::lock_guard lock(q.mutex);
        if (!q.messages.empty())
            return 0;
    }
    int64_t limit = timeoutMs;
    const int64_t timer = MsUntilNextTimer();
    if (timer >= 0 && (limit < 0 || timer < limit))
        limit = timer;
    if (limit == 0)
        return 0;
    pollfd fds[2] = {{q.wakeFd, POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    const int realMs = limit < 0 ? -1 : RealTimeoutMs(limit);
    int rc;
    do {
        rc = ::poll(fds, count, realMs);
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0 || count < 2)
        return 0;
    return fds[1].revents;
}

uint32_t SetThreadTimer(uint32_t timerId, uint32_t ms)
{
    ThreadQueue& q = OwnQueue();
    if (ms == 0)
        ms = 1;
    const uint32_t due = GetTickCount() + ms;
    for (auto& t : q.timers) {
        if (t.id == timerId) {
            t.periodMs = ms;
            t.nextDue = due;
            return timerId;
        }
    }
    q.timers.push_back({timerId, ms, due, false});
    return timerId;
}

void KillThreadTimer(uint32_t timerId)
{
    ThreadQueue& q = OwnQueue();
    std::erase_if(q.timers, [&](const Timer& t) { return t.id == timerId; });
    std::lock_guard lock(q.mutex);
    std::erase_if(q.messages, [&](const Message& m) { return m.message == WM_TIMER && m.wParam == timerId; });
}

void CloseThreadQueue(const std::function<void(const Message&)>& discard)
{
    if (tSlot.id == 0)
        return;
    std::deque<Message> left;
    {
        auto& r = Threads();
        std::lock_guard lock(r.mutex);
        r.queues.erase(tSlot.id);
    }
    {
        std::lock_guard lock(tSlot.queue->mutex);
        tSlot.queue->closed = true;
        left.swap(tSlot.queue->messages);
    }
    tSlot.queue->timers.clear();
    if (discard)
        for (const auto& m : left)
            discard(m);
    tSlot.id = 0;
    tSlot.queue.reset();
}

WindowHandle RegisterWindow(DeliverFn deliver)
{
    auto& r = Windows();
    std::lock_guard lock(r.mutex);
    WindowHandle h = r.next++;
    if (r.next == 0)
        r.next = 0x10000;
    r.windows[h] = {std::move(deliver), std::make_shared<std::shared_mutex>()};
    return h;
}

void UnregisterWindow(WindowHandle window)
{
    std::shared_ptr<std::shared_mutex> inUse;
    {
        auto& r = Windows();
        std::lock_guard lock(r.mutex);
        auto it = r.windows.find(window);
        if (it == r.windows.end())
            return;
        inUse = it->second.inUse;
        r.windows.erase(it);
    }
    // Wait for deliveries already under way.
    std::unique_lock wait(*inUse);
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    DeliverFn deliver;
    std::shared_ptr<std::shared_mutex> inUse;
    std::shared_lock<std::shared_mutex> using_;
    {
        auto& r = Windows();
        std::lock_guard lock(r.mutex);
        auto it = r.windows.find(window);
        if (it == r.windows.end())
            return false;
        inUse = it->second.inUse;
        using_ = std::shared_lock(*inUse);
        deliver = it->second.deliver;
    }
    deliver({message, wParam, lParam});
    return true;
}

bool IsWindow(WindowHandle window)
{
    auto& r = Windows();
    std::lock_guard lock(r.mutex);
    return r.windows.count(window) != 0;
}

}  // namespace plat

namespace plat {
namespace {

struct BlockTable {
    std::mutex mutex;
    std::map<uint32_t, void*> blocks;
    uint32_t next = 1;
};

BlockTable& Blocks()
{
    static BlockTable table;
    return table;
}

}  // namespace

uint32_t PutBlock(void* block)
{
    if (!block)
        return 0;
    auto& t = Blocks();
    std::lock_guard lock(t.mutex);
    while (t.next == 0 || t.blocks.count(t.next))
        ++t.next;
    const uint32_t h = t.next++;
    t.blocks[h] = block;
    return h;
}

void* TakeBlock(uint32_t handle)
{
    auto& t = Blocks();
    std::lock_guard lock(t.mutex);
    auto it = t.blocks.find(handle);
    if (it == t.blocks.end())
        return nullptr;
    void* p = it->second;
    t.blocks.erase(it);
    return p;
}

}  // namespace plat
