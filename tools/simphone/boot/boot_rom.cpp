// The baseband's boot ROM: acknowledge until "D", chip-select set-up, the
// set-address / data-block / register-write / jump commands, then the
// resident loader from the downloaded program.
#include "boot_mode.h"

#include "flash_image.h"
#include "resident_loader.h"

#include <array>
#include <exception>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>

namespace simphone {
namespace boot {
namespace {

constexpr uint8_t kCommandD = 0x44;
constexpr uint32_t kAckPeriodMs = 20;

// The chip-select bytes one memory set-up writes: four fixed first bytes and
// second bytes whose bits outside `freeBits` are fixed (the free bits carry
// the wait states).
struct ChipSelectSet {
    int variant;  // the project type that writes it
    uint32_t flashBase;  // where that memory set-up puts the flash
    std::array<uint8_t, 4> first;
    std::array<uint8_t, 4> second;
    uint8_t freeBits;
};

constexpr ChipSelectSet kSet5085 = {0, 0x200000, {0xC6, 0x0E, 0xD7, 0xD7}, {0x03, 0x84, 0x06, 0x86}, 0x00};
constexpr ChipSelectSet kSets5087[] = {
    {1, 0x200000, {0xC6, 0xCE, 0xD7, 0xD7}, {0x80, 0x00, 0x00, 0x80}, 0x07},
    {2, 0x200000, {0xC6, 0x96, 0xC7, 0xD7}, {0x80, 0x00, 0x00, 0x80}, 0x07},
    {3, 0x2000000, {0xC7, 0x56, 0x06, 0x07}, {0x00, 0x00, 0x40, 0x80}, 0x07},
    {4, 0x8000000, {0xC6, 0xD6, 0x07, 0x07}, {0x80, 0x00, 0x00, 0x80}, 0x07},
};

struct ChipProfile {
    std::string_view name;
    uint8_t acknowledge;
    bool uart1;  // boots over UART1: the loader is resident, no download
    bool is5087;  // PCF5087 loaders: extra start bytes and 0xC2
};

constexpr ChipProfile kChips[] = {
    {"pcf5085", 0xCC, false, false},
    {"pcf5086", 0x28, false, false},
    {"pcf5087", 0xEB, false, true},
    {"pcf5087-uart1", 0x49, true, true},
};

enum class State { Acknowledge, ChipSelect, Commands, Loader, Halted };

constexpr std::string_view StateName(State s)
{
    switch (s) {
    case State::Acknowledge: return "acknowledge";
    case State::ChipSelect: return "chip-select";
    case State::Commands: return "commands";
    case State::Loader: return "loader";
    case State::Halted: return "halted";
    }
    return "?";
}

class BootDevice final : public Device {
public:
    BootDevice(const ChipProfile& chip, const BootOptions& options)
        : chip_(chip), manufacturer_(options.hasFlashId ? options.manufacturer : 0x89),
          device_(options.hasFlashId ? options.device : 0x18),
          flash_(options.flashImage, FlashSizeOf(manufacturer_, device_)),
          loader_(flash_, manufacturer_, device_, chip.is5087)
    {
    }

    void receive(std::span<const uint8_t> in, std::vector<uint8_t>& out) override
    {
        if (Silent())
            return;  // a phone that does not listen
        for (size_t i = 0; i < in.size(); ++i) {
            const uint8_t byte = in[i];
            switch (state_) {
            case State::Acknowledge:
                if (byte == kCommandD && !silent_)
                    OnD(out);
                break;
            case State::ChipSelect:
                pending_.push_back(byte);
                if (pending_.size() == 8)
                    CheckChipSelects();
                break;
            case State::Commands:
                pending_.push_back(byte);
                RunCommands(out);
                break;
            case State::Loader: loader_.Receive(in.subspan(i), out); return;
            case State::Halted: return;
            }
        }
    }

    void tick(uint32_t nowMs, std::vector<uint8_t>& out) override
    {
        nowMs_ = nowMs;
        if (silentForMs_ > 0) {
            silentUntilMs_ = int64_t{nowMs} + silentForMs_;
            silentForMs_ = 0;
        }
        if (Silent()) {
            out.clear();
            return;
        }
        if (state_ == State::Loader) {
            loader_.Tick(nowMs, out);
            return;
        }
        if (state_ != State::Acknowledge || silent_)
            return;
        if (!lastAckMs_ || nowMs - *lastAckMs_ >= kAckPeriodMs) {
            out.push_back(chip_.acknowledge);
            lastAckMs_ = nowMs;
        }
    }

    std::string control(std::string_view line) override
    {
        try {
            return Control(line);
        } catch (const std::exception&) {
            return "ERROR bad argument";
        }
    }

    bool poweredOff() const override { return loader_.switchedOff(); }

private:
    std::string Control(std::string_view line)
    {
        std::istringstream words{std::string(line)};
        std::string verb, what;
        words >> verb >> what;
        if (verb == "fault" && what == "silence") {
            // fault silence SECONDS: neither listens nor answers for that long.
            double seconds = -1;
            words >> seconds;
            if (!(seconds >= 0) || seconds > 3600)
                return "ERROR fault silence SECONDS";
            silentForMs_ = static_cast<int64_t>(seconds * 1000);
            silentUntilMs_ = int64_t{nowMs_} + silentForMs_;
            return "OK";
        }
        if (const std::string answer = loader_.Control(verb, what, words); !answer.empty())
            return answer;
        if (verb == "fault") {
            if (what == "silent")
                silent_ = true;
            else if (what == "no-loader")
                noLoader_ = true;
            else if (what == "bad-identification")
                faults_.badIdentificationAck = true;
            else if (what == "no-identification")
                faults_.silentIdentification = true;
            else if (what == "none") {
                silent_ = noLoader_ = false;
                faults_ = {};
                silentUntilMs_ = -1;
                silentForMs_ = 0;
            } else
                return "ERROR unknown fault";
            return "OK";
        }
        if (verb == "status") {
            std::string s = "OK state=" + std::string(StateName(state_)) + " variant=" + std::to_string(variant_);
            return s;
        }
        if (verb == "peek") {
            // peek ADDRESS LENGTH: RAM written by data blocks, as hex bytes.
            const uint32_t address = static_cast<uint32_t>(std::stoul(what, nullptr, 0));
            uint32_t length = 0;
            words >> length;
            std::string s = "OK";
            for (uint32_t k = 0; k < length && k < 64; ++k) {
                const auto b = Peek(address + k);
                if (!b)
                    return "ERROR not written";
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", *b);
                s += hex;
            }
            return s;
        }
        if (verb == "register") {
            // register ADDRESS: the bytes last written to a register.
            const uint32_t address = static_cast<uint32_t>(std::stoul(what, nullptr, 0));
            const auto it = registers_.find(address);
            if (it == registers_.end())
                return "ERROR not written";
            std::string s = "OK";
            for (uint8_t b : it->second) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", b);
                s += hex;
            }
            return s;
        }
        return "ERROR unknown command";
    }

    static uint32_t FlashSizeOf(uint8_t manufacturer, uint8_t device)
    {
        const uint32_t known = KnownFlashSize(manufacturer, device);
        return known != 0 ? known : (4u << 20);
    }

    void OnD(std::vector<uint8_t>& out)
    {
        out.push_back(kCommandD);
        pending_.clear();
        if (chip_.uart1) {
            StartLoader(out);
            return;
        }
        state_ = State::ChipSelect;
    }

    void CheckChipSelects()
    {
        auto matches = [this](const ChipSelectSet& set) {
            for (size_t cs = 0; cs < 4; ++cs) {
                if (pending_[2 * cs] != set.first[cs])
                    return false;
                if ((pending_[2 * cs + 1] & ~set.freeBits) != set.second[cs])
                    return false;
            }
            return true;
        };
        const ChipSelectSet* found = nullptr;
        if (chip_.is5087) {
            for (const auto& set : kSets5087)
                if (matches(set))
                    found = &set;
        } else if (matches(kSet5085)) {
            found = &kSet5085;
        }
        pending_.clear();
        if (found == nullptr) {
            // A memory set-up this chip does not have: the ROM hangs.
            state_ = State::Halted;
            return;
        }
        variant_ = found->variant;
        loader_.SetFlashBase(found->flashBase);
        state_ = State::Commands;
    }

    static size_t BlockLength(const std::vector<uint8_t>& p)
    {
        return ((static_cast<size_t>(p[0] & 0x1F) << 8) | p[1]) + 1;
    }

    // Runs every complete command in pending_.
    void RunCommands(std::vector<uint8_t>& out)
    {
        while (!pending_.empty() && state_ == State::Commands) {
            const uint8_t c = pending_[0];
            if (c == 0x00) {
                if (pending_.size() < 6)
                    return;
                if (pending_[1] != 0x03) {
                    state_ = State::Halted;
                    return;
                }
                address_ = (uint32_t{pending_[2]} << 24) | (uint32_t{pending_[3]} << 16) |
                    (uint32_t{pending_[4]} << 8) | pending_[5];
                pending_.erase(pending_.begin(), pending_.begin() + 6);
            } else if ((c & 0xE0) == 0x40 || (c & 0xE0) == 0x80) {
                if (pending_.size() < 2 || pending_.size() < 2 + BlockLength(pending_))
                    return;
                const size_t n = BlockLength(pending_);
                std::vector<uint8_t> data(pending_.begin() + 2, pending_.begin() + 2 + static_cast<long>(n));
                if (address_ >= 0xFFFF0000u)
                    registers_[address_] = std::move(data);
                else
                    ram_[address_] = std::move(data);
                pending_.erase(pending_.begin(), pending_.begin() + 2 + static_cast<long>(n));
            } else if (c == 0x60) {
                if (pending_.size() < 2)
                    return;
                pending_.clear();
                Jump(out);
            } else {
                state_ = State::Halted;
                return;
            }
        }
    }

    void Jump(std::vector<uint8_t>& out)
    {
        const auto program = ram_.find(address_);
        if (noLoader_ || program == ram_.end() || program->second.empty()) {
            state_ = State::Halted;  // nothing runnable there
            return;
        }
        StartLoader(out);
    }

    bool Silent() const { return silentUntilMs_ >= 0 && int64_t{nowMs_} < silentUntilMs_; }

    void StartLoader(std::vector<uint8_t>& out)
    {
        // A PCF5085 loader finds the size of the software it will receive
        // where the PC wrote it.
        if (!chip_.is5087) {
            const auto size = ram_.find(0x203000);
            if (size != ram_.end() && size->second.size() >= 4) {
                const auto& b = size->second;
                loader_.SetSoftwareSize((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]);
            }
        }
        state_ = State::Loader;
        loader_.Start(faults_, out);
    }

    std::optional<uint8_t> Peek(uint32_t address) const
    {
        auto it = ram_.upper_bound(address);
        if (it == ram_.begin())
            return std::nullopt;
        --it;
        const uint32_t offset = address - it->first;
        if (offset >= it->second.size())
            return std::nullopt;
        return it->second[offset];
    }

    const ChipProfile& chip_;
    uint8_t manufacturer_;
    uint8_t device_;
    FlashImage flash_;
    ResidentLoader loader_;
    State state_ = State::Acknowledge;
    std::optional<uint32_t> lastAckMs_;
    std::vector<uint8_t> pending_;
    uint32_t address_ = 0;
    int variant_ = -1;
    std::map<uint32_t, std::vector<uint8_t>> ram_;
    std::map<uint32_t, std::vector<uint8_t>> registers_;
    bool silent_ = false;
    bool noLoader_ = false;
    LoaderFaults faults_;
    uint32_t nowMs_ = 0;
    int64_t silentUntilMs_ = -1;
    int64_t silentForMs_ = 0;
};

}  // namespace
}  // namespace boot

std::unique_ptr<Device> MakeBootDevice(const BootOptions& options)
{
    for (const auto& chip : boot::kChips)
        if (chip.name == options.chip)
            return std::make_unique<boot::BootDevice>(chip, options);
    return nullptr;
}

}  // namespace simphone
