// The transfer and phone-service requests answered by arbitrary phone
// replies: each command the worker writes is answered with the next chunk
// of the input (its first byte sets the length). Every request must end
// with exactly one final record, within its time limit (no exchange may
// outlast the longest line time-out without progress, and the script
// bounds the exchanges), stay inside its buffers and leave no request
// pending, whatever the phone says. The program clock runs fast, so the
// phone's silences end at once.

#include "quorlink/link/file_transfer.h"
#include "quorlink/link/link_port.h"
#include "quorlink/link/phone_link_for_testing.h"
#include "quorlink/link/phone_services.h"
#include "platform/clock.h"
#include "platform/messages.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace quorlink::link;

class ScriptedPort final : public LinkPort {
public:
    ScriptedPort(const uint8_t* data, size_t size) : data_(data), size_(size) { }
    bool Open(int) override { return open_ = true; }
    void Close() override { open_ = false; }
    [[nodiscard]] bool IsOpen() const override { return open_; }
    [[nodiscard]] bool CanOpen(int) override { return true; }
    int Read(std::span<uint8_t> buffer, int) override
    {
        const size_t n = std::min(buffer.size(), pending_.size());
        std::memcpy(buffer.data(), pending_.data(), n);
        pending_.erase(0, n);
        return static_cast<int>(n);
    }
    bool Write(std::span<const uint8_t>, int) override
    {
        if (!open_)
            return false;
        ++writes;
        if (at_ < size_) {
            const size_t n = std::min<size_t>(data_[at_] * 8u, size_ - at_ - 1);
            pending_.append(reinterpret_cast<const char*>(data_ + at_ + 1), n);
            at_ += 1 + n;
        }
        return true;
    }
    void PurgeBoth() override { pending_.clear(); }
    size_t writes = 0;
    void ClearErrors() override { }
    [[nodiscard]] int WaitFd() const override { return -1; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    std::string pending_;
    bool open_ = false;
};

int finals = 0;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string dir = [] {
        plat::SetClockScaleForTesting(1e7);
        char tmpl[] = "/tmp/fuzzsvcXXXXXX";
        const char* d = ::mkdtemp(tmpl);
        return std::string(d ? d : "/tmp");
    }();
    static const plat::WindowHandle window = plat::RegisterWindow([](const plat::Message& m) {
        if (m.message != WM_LINK_RESULT)
            return;
        auto* r = reinterpret_cast<LinkResult*>(m.lParam);
        if (r->status != LINK_INTERMEDIATE)
            ++finals;
        if (r->status == LINK_INTERMEDIATE || r->status == LINK_FAILED || r->status == LINK_SUCCEEDED)
            std::free(r);
        else
            std::abort();
    });
    if (size < 1)
        return 0;
    static constexpr int32_t kCodes[] = {REQ_UPLOAD,       REQ_DOWNLOAD,      REQ_READ_SIM_PHONEBOOK, REQ_READ_MESSAGES,
                                         REQ_SEND_MESSAGE, REQ_CHECK_VERSION, REQ_STORAGE_COUNTS,     REQ_PRIVACY_LOCK};
    const int32_t code = kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])];

    PhoneLink link(LinkTarget{plat::CurrentThreadId(), window}, std::make_unique<ScriptedPort>(data + 1, size - 1), "");
    PhoneLinkForTesting peer(link);
    (void)peer.Connect();

    auto* request = static_cast<LinkRequest*>(std::calloc(1, sizeof(LinkRequest)));
    request->guiThreadId = plat::CurrentThreadId();
    request->window = window;
    const std::string local = dir + "/file";
    if (code == REQ_UPLOAD || code == REQ_DOWNLOAD) {
        if (code == REQ_UPLOAD)
            if (std::FILE* f = std::fopen(local.c_str(), "wb")) {
                std::fwrite(data, 1, std::min<size_t>(size, 300), f);
                std::fclose(f);
            }
        request->argument = code == REQ_UPLOAD ? NewTransferBlock(local, "/app/x") : NewTransferBlock("/app/x", local);
    } else if (code == REQ_SEND_MESSAGE) {
        auto* m = static_cast<MessageBlock*>(std::calloc(1, sizeof(MessageBlock)));
        std::memset(m, 0xB0, sizeof *m);  // no terminators anywhere: the handler must bound every field
        request->argument = plat::PutBlock(m);
    } else if (code == REQ_CHECK_VERSION) {
        std::strcpy(request->text, "V318\rV319");
    } else if (code == REQ_READ_SIM_PHONEBOOK || code == REQ_READ_MESSAGES) {
        std::strcpy(request->text, local.c_str());
    }
    const int before = finals;
    peer.Dispatch(code, request);
    if (peer.RequestPending() || finals != before + 1)
        std::abort();
    // How long the request took is not checked here: at the clock speed the
    // fuzzer needs, one real scheduling step is hours of program time. The
    // link's worker tests check the time-outs on a slower clock.
    return 0;
}
