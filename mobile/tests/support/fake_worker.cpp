#include "fake_worker.h"

#include <future>
#include <cstdlib>
#include <cstring>

namespace shelltest {

FakeWorker::FakeWorker(Script script, plat::WindowHandle lostTarget)
    : script_(std::move(script)), lostTarget_(lostTarget)
{
    std::promise<void> ready;
    std::future<void> started = ready.get_future();
    thread_ = std::thread([this, &ready] {
        id_ = plat::CurrentThreadId();
        ready.set_value();  // the constructor may return (and ready die) from here on
        run();
    });
    started.wait();
}

FakeWorker::~FakeWorker()
{
    if (running_)
        (void)plat::PostThreadMessage(id_, plat::WM_QUIT, 0, 0);
    if (thread_.joinable())
        thread_.join();
}

void FakeWorker::stop()
{
    (void)plat::PostThreadMessage(id_, plat::WM_QUIT, 0, 0);
    if (thread_.joinable())
        thread_.join();
}

void FakeWorker::loseLink()
{
    (void)plat::PostThreadMessage(id_, WM_FAKE_LOSE_LINK, 0, 0);
}

std::vector<SeenRequest> FakeWorker::seen() const
{
    std::lock_guard lock(mutex_);
    return seen_;
}

std::vector<int32_t> FakeWorker::seenCodes() const
{
    std::vector<int32_t> codes;
    for (const auto& s : seen())
        codes.push_back(s.code);
    return codes;
}

void FakeWorker::run()
{
    for (bool quit = false; !quit;) {
        (void)plat::WaitForMessageOrFd(-1, 0, -1);
        while (auto m = plat::PeekMessage()) {
            if (m->message == plat::WM_QUIT) {
                quit = true;
                break;
            }
            if (m->message == WM_FAKE_LOSE_LINK) {
                (void)plat::PostMessage(lostTarget_, WM_LINK_LOST, 0, 0);
                continue;
            }
            if (m->message != WM_LINK_REQUEST)
                continue;
            auto* req = reinterpret_cast<LinkRequest*>(m->lParam);
            SeenRequest s{int32_t(m->wParam),
                          std::string(req->text, strnlen(req->text, sizeof req->text)),
                          req->argument,
                          req->window,
                          {},
                          {}};
            if (s.code == REQ_UPLOAD || s.code == REQ_DOWNLOAD) {
                if (auto* block = static_cast<char*>(plat::TakeBlock(req->argument))) {
                    s.first.assign(block, strnlen(block, 256));
                    s.second.assign(block + 256, strnlen(block + 256, 256));
                    std::free(block);
                }
            }
            std::free(req);
            {
                std::lock_guard lock(mutex_);
                seen_.push_back(s);
            }
            if (s.code == REQ_DISCONNECT && lostTarget_)
                (void)plat::PostMessage(lostTarget_, WM_LINK_LOST, 0, 0);
            for (const Reply& reply : script_ ? script_(s) : std::vector<Reply>{}) {
                auto* r = static_cast<LinkResult*>(std::calloc(1, sizeof(LinkResult)));
                r->status = reply.status;
                r->code = reply.code;
                if (reply.progress) {
                    r->progress.current = reply.current;
                    r->progress.total = reply.total;
                } else {
                    std::strncpy(r->text, reply.text.c_str(), sizeof r->text - 1);
                }
                if (!plat::PostMessage(s.window, WM_LINK_RESULT, uintptr_t(s.code), reinterpret_cast<intptr_t>(r)))
                    std::free(r);
            }
        }
    }
    plat::CloseThreadQueue([](const plat::Message& m) {
        if (m.message == WM_LINK_REQUEST)
            std::free(reinterpret_cast<void*>(m.lParam));
    });
    running_ = false;
}

}  // namespace shelltest
