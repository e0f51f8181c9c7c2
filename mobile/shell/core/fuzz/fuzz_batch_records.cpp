// Worker records of any shape fed to a running transfer batch: a value or a
// clean end of the batch, never a crash, a leak or an out-of-bounds read.
//
// Input: one byte n (steps), n kind bytes, then records of 1 + 1 + 4 + 4 + 8
// bytes (kind index, status, code, current, total) each followed by a
// length byte and that many text bytes.

#include "mobile/shell/core/status_text.h"
#include "mobile/shell/core/transfer_batch.h"

#include <cstring>

namespace {

class NullHost final : public shell::BatchHost {
public:
    plat::ThreadId workerThread() const override { return plat::CurrentThreadId(); }
    plat::ThreadId guiThread() const override { return plat::CurrentThreadId(); }
    plat::WindowHandle batchWindow() const override { return 1; }
    plat::WindowHandle mainWindow() const override { return 2; }
    bool phoneModeConnected() const override { return phone; }
    std::string text(int id) const override { return std::to_string(id); }
    void showStatus(const std::string& t) override { (void)shell::ShortenStatusText(t); }
    void showProgress(int, const std::string&) override { }
    void showCancelButton(bool) override { }
    void showError(int) override { }
    void finished(int) override { }
    bool phone = false;
};

constexpr int32_t kKinds[] = {
    REQ_RAW_REMOVE,        REQ_RAW_LIST,           REQ_LONG_COMMAND,     REQ_COMMAND,
    REQ_CHECK_VERSION,     REQ_STORAGE_COUNTS,     REQ_UPLOAD,           REQ_DOWNLOAD,
    REQ_RECONNECT,         REQ_READ_SIM_PHONEBOOK, REQ_READ_MESSAGES,    REQ_PRIVACY_LOCK,
    REQ_SCAN_AND_CONNECT,  REQ_BRIDGE_OPEN,        REQ_BRIDGE_BOOT,      REQ_BRIDGE_SPEED,
    REQ_BRIDGE_READ_INDEX, REQ_BRIDGE_ENCODE,      shell::kCallbackStep,
};

void Drain()
{
    while (auto m = plat::PeekMessage()) {
        if (m->message == WM_LINK_REQUEST)
            FreeLinkRequest(static_cast<int32_t>(m->wParam), reinterpret_cast<LinkRequest*>(m->lParam));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    NullHost host;
    host.phone = data[0] & 0x80;
    const size_t steps = data[0] & 0x0F;
    size_t pos = 1;
    std::vector<int32_t> kinds;
    std::vector<shell::BatchStep> batch;
    for (size_t i = 0; i < steps && pos < size; ++i, ++pos) {
        const int32_t kind = kKinds[data[pos] % std::size(kKinds)];
        kinds.push_back(kind);
        if (kind == shell::kCallbackStep)
            batch.push_back(shell::BatchStep::Callback([](shell::TransferBatch&) { return true; }));
        else if (kind == 200 || kind == 201)
            batch.push_back(
                shell::BatchStep::Request(kind, shell::NewRequest(1, {}, NewTransferBlock("/app/a", "/tmp/a"))));
        else
            batch.push_back(shell::BatchStep::Request(kind, shell::NewRequest(1, "AT\r")));
    }
    {
        shell::TransferBatch b(host);
        b.setBatch(std::move(batch));
        b.setStepCount(data[0] & 0x70 ? int(data[0] & 0x70) >> 4 : 0);
        b.start();
        while (pos + 18 <= size && !b.isFinished()) {
            auto* r = static_cast<LinkResult*>(std::calloc(1, sizeof(LinkResult)));
            const int32_t kind = kinds.empty() ? 95 : kinds[data[pos] % kinds.size()];
            r->status = int8_t(data[pos + 1]) % 4;
            std::memcpy(&r->code, data + pos + 2, 4);
            std::memcpy(&r->progress.current, data + pos + 6, 4);
            std::memcpy(&r->progress.total, data + pos + 10, 4);
            pos += 18;
            if (pos < size) {
                const size_t n = std::min<size_t>({data[pos], size - pos - 1, sizeof r->text - 1});
                std::memcpy(r->text, data + pos + 1, n);
                r->text[n] = '\0';
                pos += 1 + n;
            }
            b.onResult(kind, r);
        }
    }
    Drain();
    return 0;
}
