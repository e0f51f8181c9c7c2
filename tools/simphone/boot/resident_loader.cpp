#include "resident_loader.h"

namespace simphone::boot {

namespace {
constexpr uint8_t kStackPointerSet = 0xA0;
constexpr uint8_t kIdentification = 0xC2;
constexpr uint8_t kAccepted = 0xC0;
constexpr uint8_t kLineConfirmed = 0xCA;

struct CommandRow {
    uint8_t command;
    ResidentLoader::Handler handler;
};
}  // namespace

ResidentLoader::ResidentLoader(FlashImage& flash, uint8_t manufacturer, uint8_t device, bool with5087Bytes)
    : flash_(flash), manufacturer_(manufacturer), device_(device), with5087Bytes_(with5087Bytes)
{
}

void ResidentLoader::Start(const LoaderFaults& faults, std::vector<uint8_t>& out)
{
    out.push_back(kStackPointerSet);
    if (with5087Bytes_) {
        out.push_back(0x00);
        out.push_back(0x00);
    }
    if (faults.silentIdentification)
        return;
    if (with5087Bytes_)
        out.push_back(faults.badIdentificationAck ? 0x55 : kIdentification);
    out.push_back(manufacturer_);
    out.push_back(device_);
    // These chips have a third identification byte.
    if (manufacturer_ == 0x01 && (device_ == 0xE3 || device_ == 0xE4))
        out.push_back(0x01);
}

ResidentLoader::Step ResidentLoader::SwitchOff(std::vector<uint8_t>& out)
{
    out.push_back(kAccepted);
    switchedOff_ = true;
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::SpeedControl(std::vector<uint8_t>& out)
{
    out.push_back(kLineConfirmed);
    return Step::Done;
}

void ResidentLoader::Receive(std::span<const uint8_t> in, std::vector<uint8_t>& out)
{
    static constexpr CommandRow kCommands[] = {
        {0xE8, &ResidentLoader::SwitchOff},
        {0xE9, &ResidentLoader::SpeedControl},
    };
    for (uint8_t byte : in) {
        if (switchedOff_)
            return;
        if (current_ == nullptr) {
            for (const CommandRow& row : kCommands)
                if (row.command == byte)
                    current_ = row.handler;
            if (current_ == nullptr)
                continue;  // an unknown command byte gets no answer
            params_.clear();
        } else {
            params_.push_back(byte);
        }
        if ((this->*current_)(out) == Step::Done)
            current_ = nullptr;
    }
    (void)flash_;
}

}  // namespace simphone::boot
