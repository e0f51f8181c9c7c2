#include "mobile/shell/core/link_thread.h"

#include "platform/clock.h"
#include "quorlink/codecs/phone_strings.h"
#include "quorlink/link/comm_thread.h"

#include <vector>

namespace shell {

namespace {
class QuorlinkThread final : public LinkThread {
public:
    explicit QuorlinkThread(quorlink::link::CommThreadPtr t) : thread_(std::move(t)) { }
    [[nodiscard]] plat::ThreadId threadId() const override { return thread_->threadId(); }
    [[nodiscard]] bool isRunning() const override { return thread_->isRunning(); }

private:
    quorlink::link::CommThreadPtr thread_;
};
}  // namespace

std::unique_ptr<LinkThread> StartLinkWorker(plat::ThreadId guiThread, plat::WindowHandle window)
{
    quorlink::link::CommThreadPtr t(StartCommThread(guiThread, window));
    if (!t)
        return nullptr;
    return std::make_unique<QuorlinkThread>(std::move(t));
}

std::string PhoneFileName(std::string_view name)
{
    const std::string_view cut = name.substr(0, 49);
    std::vector<char> buffer((8 * cut.size() + 2) / 3 + 2, '\0');
    std::copy(cut.begin(), cut.end(), buffer.begin());
    StringToPosix(buffer.data());
    return std::string(buffer.data());
}

void StopLinkThread(std::unique_ptr<LinkThread>& thread)
{
    if (!thread)
        return;
    (void)plat::PostThreadMessage(thread->threadId(), plat::WM_QUIT, 0, 0);
    while (thread->isRunning())
        plat::Sleep(1);
    thread.reset();
}

}  // namespace shell
