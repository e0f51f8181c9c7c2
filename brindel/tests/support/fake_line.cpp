#include "fake_line.h"

#include "brindel/runtime/dwl_rt.h"

namespace brindel_test {

namespace {
class FakeBackend final : public dwlrt::ComBackend {
public:
    explicit FakeBackend(FakeLine& line) : line_(line) { }
    int Configure(uint32_t baud, int parity, int, int) override
    {
        line_.Configure(baud, parity);
        return 0;
    }
    int FlushInput() override
    {
        line_.FlushInput();
        return 0;
    }
    int FlushOutput() override
    {
        line_.Event("flush out");
        return 0;
    }
    int SetDtr(bool on) override
    {
        line_.Event(on ? "dtr 1" : "dtr 0");
        return 0;
    }
    int Read(uint8_t* data, size_t length, int timeoutMs) override { return line_.Read(data, length, timeoutMs); }
    int Write(const uint8_t* data, size_t length, int) override { return line_.Write(data, length); }
    int InputLength() override { return static_cast<int>(line_.pending()); }
    int OutputLength() override { return 0; }
    uint32_t NowMs() override { return line_.nowMs(); }

private:
    FakeLine& line_;
};
}  // namespace

FakeLine::FakeLine(std::unique_ptr<simphone::Device> device) : device_(std::move(device)) { }

FakeLine::~FakeLine()
{
    dwlrt::SetComFactoryForTesting(nullptr);
}

void FakeLine::Install()
{
    dwlrt::SetComFactoryForTesting([this](int port) -> std::unique_ptr<dwlrt::ComBackend> {
        Event("open COM" + std::to_string(port));
        return std::make_unique<FakeBackend>(*this);
    });
}

void FakeLine::Configure(uint32_t baud, int parity)
{
    Event("line " + std::to_string(baud) + " " + std::to_string(parity));
}

void FakeLine::FlushInput()
{
    Event("flush in");
    toEngine_.clear();
}

void FakeLine::Tick()
{
    if (!device_)
        return;
    std::vector<uint8_t> out;
    device_->tick(nowMs_, out);
    toEngine_.insert(toEngine_.end(), out.begin(), out.end());
}

int FakeLine::Read(uint8_t* data, size_t length, int timeoutMs)
{
    const uint32_t start = nowMs_;
    while (toEngine_.empty() && static_cast<int64_t>(nowMs_ - start) < timeoutMs) {
        nowMs_ += 5;
        Tick();
    }
    size_t n = 0;
    while (n < length && !toEngine_.empty()) {
        data[n++] = toEngine_.front();
        toEngine_.pop_front();
    }
    return static_cast<int>(n);
}

int FakeLine::Write(const uint8_t* data, size_t length)
{
    if (sent_.size() + length > failAfter_)
        return RT_ERR_IO;
    sent_.insert(sent_.end(), data, data + length);
    if (device_) {
        std::vector<uint8_t> out;
        device_->receive(std::span<const uint8_t>(data, length), out);
        device_->tick(nowMs_, out);
        toEngine_.insert(toEngine_.end(), out.begin(), out.end());
    }
    return static_cast<int>(length);
}

void ScriptedDevice::receive(std::span<const uint8_t> in, std::vector<uint8_t>& out)
{
    for (uint8_t b : in) {
        if (!gotD_) {
            if (b == 0x44) {
                gotD_ = true;
                if (echo_)
                    out.push_back(0x44);
            }
            continue;
        }
        ++received_;
    }
    if (gotD_ && !replied_ && received_ >= expect_) {
        replied_ = true;
        out.insert(out.end(), reply_.begin(), reply_.end());
    }
}

void ScriptedDevice::tick(uint32_t nowMs, std::vector<uint8_t>& out)
{
    if (gotD_)
        return;
    if (first_ || nowMs - last_ >= 20) {
        out.push_back(ack_);
        last_ = nowMs;
        first_ = false;
    }
}

}  // namespace brindel_test
