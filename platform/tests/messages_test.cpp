#include "platform/clock.h"
#include "platform/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::vector<plat::Message> DrainAll()
{
    std::vector<plat::Message> out;
    while (auto m = plat::PeekMessage())
        out.push_back(*m);
    return out;
}

TEST(ThreadQueue, PostsFromOtherThreadsArriveInOrder)
{
    const plat::ThreadId self = plat::CurrentThreadId();
    ASSERT_NE(self, 0u);
    std::thread poster([&] {
        for (uintptr_t i = 0; i < 100; ++i)
            EXPECT_TRUE(plat::PostThreadMessage(self, plat::WM_USER, i, static_cast<intptr_t>(i * 2)));
    });
    poster.join();
    auto got = DrainAll();
    ASSERT_EQ(got.size(), 100u);
    for (uintptr_t i = 0; i < 100; ++i) {
        EXPECT_EQ(got[i].wParam, i);
        EXPECT_EQ(got[i].lParam, static_cast<intptr_t>(i * 2));
    }
}

TEST(ThreadQueue, PostToEndedThreadIsRefused)
{
    plat::ThreadId gone = 0;
    std::thread t([&] { gone = plat::CurrentThreadId(); });
    t.join();
    EXPECT_FALSE(plat::PostThreadMessage(gone, plat::WM_USER, 0, 0));
    EXPECT_FALSE(plat::PostThreadMessage(0xFFFFFFF0u, plat::WM_USER, 0, 0));
}

TEST(ThreadQueue, CloseHandsLeftoverMessagesToDiscard)
{
    std::vector<intptr_t> discarded;
    std::atomic<plat::ThreadId> id{0};
    std::atomic<bool> posted{false};
    std::thread t([&] {
        id = plat::CurrentThreadId();
        while (!posted)
            std::this_thread::yield();
        plat::CloseThreadQueue([&](const plat::Message& m) { discarded.push_back(m.lParam); });
    });
    while (id == 0)
        std::this_thread::yield();
    plat::PostThreadMessage(id, plat::WM_USER, 0, 7);
    plat::PostThreadMessage(id, plat::WM_USER, 0, 8);
    posted = true;
    t.join();
    EXPECT_EQ(discarded, (std::vector<intptr_t>{7, 8}));
}

TEST(ThreadTimer, AtMostOnePendingTimerMessage)
{
    plat::SetThreadTimer(22, 10);
    plat::Sleep(80);  // several periods pass without anyone looking
    auto first = DrainAll();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].message, plat::WM_TIMER);
    EXPECT_EQ(first[0].wParam, 22u);
    plat::KillThreadTimer(22);
    plat::Sleep(30);
    EXPECT_TRUE(DrainAll().empty());
}

TEST(ThreadTimer, WaitWakesForTimerAndForPost)
{
    plat::SetThreadTimer(5, 20);
    const uint32_t start = plat::GetTickCount();
    plat::WaitForMessageOrFd(-1, 0, 5000);
    EXPECT_LT(plat::GetTickCount() - start, 2000u);
    auto got = DrainAll();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, plat::WM_TIMER);
    plat::KillThreadTimer(5);

    const plat::ThreadId self = plat::CurrentThreadId();
    std::thread poster([&] {
        plat::Sleep(20);
        plat::PostThreadMessage(self, plat::WM_USER + 1, 0, 0);
    });
    plat::WaitForMessageOrFd(-1, 0, 5000);
    poster.join();
    got = DrainAll();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, plat::WM_USER + 1);
}

TEST(WindowHandle, PostDeliversUntilUnregistered)
{
    std::vector<uint32_t> seen;
    const plat::WindowHandle w = plat::RegisterWindow([&](const plat::Message& m) { seen.push_back(m.message); });
    EXPECT_TRUE(plat::IsWindow(w));
    EXPECT_TRUE(plat::PostMessage(w, 0x41B, 1, 0));
    plat::UnregisterWindow(w);
    EXPECT_FALSE(plat::IsWindow(w));
    EXPECT_FALSE(plat::PostMessage(w, 0x41B, 2, 0));
    EXPECT_EQ(seen, (std::vector<uint32_t>{0x41B}));
}

}  // namespace
