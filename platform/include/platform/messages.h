#pragma once
// Thread message queues, thread timers and window handles.
//
// Every thread that calls CurrentThreadId() or takes messages gets a queue
// and a non-zero 32-bit id. Posting to a thread id never blocks and is safe
// from any thread. Only the owning thread takes messages from its queue.
//
// Thread timers belong to the thread that sets them and produce WM_TIMER
// messages in its queue; like their Win32 originals, a timer has at most one
// WM_TIMER pending at a time, however long the thread takes to look.
//
// Window handles name receivers (a GUI object, a test sink). A post to a
// handle calls the receiver's deliver function on the poster's thread; the
// receiver is expected to hand the message over to its own thread (Qt:
// postEvent). A post to a handle that no longer exists is refused, and the
// caller keeps (and frees) the record it meant to pass.

#include <cstdint>
#include <functional>
#include <optional>

namespace plat {

using ThreadId = uint32_t;
using WindowHandle = uint32_t;

constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_USER = 0x0400;

struct Message {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// The calling thread's id; creates its queue on first use.
[[nodiscard]] ThreadId CurrentThreadId();

// Appends a message to a thread's queue. False when no thread has that id
// (it never started or has ended); the caller then still owns lParam.
bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Takes the oldest message of the calling thread's queue, without waiting.
// Due timers are turned into WM_TIMER messages first.
[[nodiscard]] std::optional<Message> PeekMessage();

// Waits until the calling thread's queue has a message (or a timer is due),
// or fd (if >= 0) has one of the poll events, or timeoutMs of program time
// has passed (-1: no limit). Does not take the message. Returns the poll
// revents of fd (0 if fd was not ready).
short WaitForMessageOrFd(int fd, short events, int timeoutMs);

// Program-time milliseconds until the calling thread's next timer is due
// (0 if one is due now), or -1 without timers.
[[nodiscard]] int64_t MsUntilNextTimer();

// Sets (or resets) a timer of the calling thread with the given id; returns
// the id. ms of 0 is taken as 1.
uint32_t SetThreadTimer(uint32_t timerId, uint32_t ms);
// Stops a timer of the calling thread and removes its pending WM_TIMER.
void KillThreadTimer(uint32_t timerId);

// Ends the calling thread's queue: later posts to its id are refused and
// pending messages are handed to discard (to free their records).
void CloseThreadQueue(const std::function<void(const Message&)>& discard = {});

// Window handles.
using DeliverFn = std::function<void(const Message&)>;
// Registers a receiver; returns its new non-zero handle.
[[nodiscard]] WindowHandle RegisterWindow(DeliverFn deliver);
// Removes a receiver. Returns once no deliver call for it is running, so the
// receiver may be destroyed right after.
void UnregisterWindow(WindowHandle window);
// Calls the receiver's deliver function. False when the handle is unknown;
// the caller then still owns lParam.
bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// True while the handle is registered.
[[nodiscard]] bool IsWindow(WindowHandle window);

}  // namespace plat

namespace plat {

// Heap blocks passed by a 32-bit word. Records keep their fixed layouts with
// 32-bit argument words, so a block that travels with a message is parked
// here and named by a non-zero handle; whoever takes it owns it. Blocks are
// malloc'ed and freed with free().
[[nodiscard]] uint32_t PutBlock(void* block);
// Removes and returns the block, or nullptr if the handle names none.
[[nodiscard]] void* TakeBlock(uint32_t handle);

}  // namespace plat
