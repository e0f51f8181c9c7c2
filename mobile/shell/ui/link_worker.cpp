#include "mobile/shell/ui/link_worker.h"

#include "quorlink/codecs/phone_strings.h"

#include <vector>

#if TELVANE_HAVE_LINK_WORKER
#include "quorlink/link/comm_thread.h"
#endif

namespace shellui {

#if TELVANE_HAVE_LINK_WORKER
namespace {
class QuorlinkThread final : public shell::LinkThread {
public:
    explicit QuorlinkThread(quorlink::link::CommThreadPtr t) : thread_(std::move(t)) { }
    [[nodiscard]] plat::ThreadId threadId() const override { return thread_->threadId(); }
    [[nodiscard]] bool isRunning() const override { return thread_->isRunning(); }

private:
    quorlink::link::CommThreadPtr thread_;
};
}  // namespace

std::unique_ptr<shell::LinkThread> StartLinkWorker(plat::ThreadId guiThread, plat::WindowHandle window)
{
    quorlink::link::CommThreadPtr t(StartCommThread(guiThread, window));
    if (!t)
        return nullptr;
    return std::make_unique<QuorlinkThread>(std::move(t));
}
#else
std::unique_ptr<shell::LinkThread> StartLinkWorker(plat::ThreadId, plat::WindowHandle)
{
    return nullptr;
}
#endif

std::string PhoneFileName(std::string_view name)
{
    const std::string_view cut = name.substr(0, 49);
    std::vector<char> buffer((8 * cut.size() + 2) / 3 + 2, '\0');
    std::copy(cut.begin(), cut.end(), buffer.begin());
    StringToPosix(buffer.data());
    return std::string(buffer.data());
}

}  // namespace shellui
