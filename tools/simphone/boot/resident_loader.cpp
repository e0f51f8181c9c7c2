#include "resident_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace simphone::boot {

namespace {
constexpr uint8_t kStackPointerSet = 0xA0;
constexpr uint8_t kIdentification = 0xC2;
constexpr uint8_t kAccepted = 0xC0;
constexpr uint8_t kSpeedParameters = 0xC3;
constexpr uint8_t kTagFollows = 0xC4;
constexpr uint8_t kEraseStarted = 0xC5;
constexpr uint8_t kReadFollows = 0xC7;
constexpr uint8_t kSimlockStatus = 0xC8;
constexpr uint8_t kGpioSet = 0xC9;
constexpr uint8_t kLineConfirmed = 0xCA;
constexpr uint8_t kSectorReady = 0xCB;
constexpr uint8_t kSectorDone = 0xCC;
constexpr uint8_t kSectorError = 0xCD;
constexpr uint8_t kPmuSet = 0xCF;
constexpr uint8_t kEraseDone = 0xF6;
constexpr uint8_t kBadParameter = 0x00;

constexpr char kMarker[] = "download identification area";
constexpr size_t kMarkerLength = 28;
constexpr uint32_t kTagSearch = 65536;
constexpr uint32_t kAddressEraseBlock = 0x10000;
constexpr uint32_t k5085Block = 8192;
constexpr uint32_t k5085EraseMs = 300;
// Largest data length one sector command may announce.
constexpr uint32_t kMaxSectorData = 1u << 24;

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t Sum(const uint8_t* data, size_t n)
{
    uint32_t s = 0;
    for (size_t i = 0; i < n; ++i)
        s += data[i];
    return s;
}

// The flash base the address belongs to (project types 1-2, 3, 4).
uint32_t BaseOf(uint32_t address)
{
    if (address >= 0x8000000u)
        return 0x8000000u;
    if (address >= 0x2000000u)
        return 0x2000000u;
    return 0x200000u;
}

struct CommandRow {
    uint8_t command;
    ResidentLoader::Handler handler;
};
}  // namespace

ResidentLoader::ResidentLoader(FlashImage& flash, uint8_t manufacturer, uint8_t device, bool with5087Bytes)
    : flash_(flash), manufacturer_(manufacturer), device_(device), with5087Bytes_(with5087Bytes)
{
}

ResidentLoader::~ResidentLoader()
{
    if (dirty_)
        (void)flash_.Save();
}

void ResidentLoader::Start(const LoaderFaults& faults, std::vector<uint8_t>& out)
{
    started_ = true;
    auto& bytes = flash_.bytes();
    if (bytes.size() >= kSimlockFromEnd) {
        const auto at = bytes.end() - kSimlockFromEnd;
        simlock_.assign(at, at + kSimlockSize);
        simlockStored_ = true;
    }
    out.push_back(kStackPointerSet);
    if (with5087Bytes_) {
        out.push_back(0x00);
        out.push_back(0x00);
    }
    if (faults.silentIdentification) {
        started_ = false;  // the loader hangs before its identification
        return;
    }
    if (with5087Bytes_)
        out.push_back(faults.badIdentificationAck ? 0x55 : kIdentification);
    out.push_back(manufacturer_);
    out.push_back(device_);
    // These chips have a third identification byte.
    if (manufacturer_ == 0x01 && (device_ == 0xE3 || device_ == 0xE4))
        out.push_back(0x01);
}

std::string ResidentLoader::Control(const std::string& verb, const std::string& what, std::istringstream& rest)
{
    if (verb == "speed") {
        std::ostringstream s;
        s << "OK";
        for (uint8_t b : speedParameters_) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", b);
            s << hex;
        }
        return s.str();
    }
    if (verb == "sectors")
        return "OK " + std::to_string(sectorsProgrammed_);
    if (verb == "flash-save")
        return flash_.Save() ? "OK" : "ERROR cannot write the flash image";
    if (verb != "fault")
        return {};
    auto number = [&rest](long fallback) {
        std::string word;
        if (!(rest >> word))
            return fallback;
        return std::stol(word, nullptr, 0);
    };
    if (what == "checksum") {
        const long sector = number(-1);
        if (sector < 0)
            return "ERROR fault checksum SECTOR [COUNT]";
        checksumFaults_[static_cast<uint32_t>(sector)] = static_cast<int>(number(1));
        return "OK";
    }
    if (what == "sector-error") {
        const long sector = number(-1);
        const long status = number(-1);
        if (sector < 0 || status < 0 || status > 255)
            return "ERROR fault sector-error SECTOR STATUS [COUNT]";
        sectorErrors_[static_cast<uint32_t>(sector)] = {static_cast<uint8_t>(status), static_cast<int>(number(1))};
        return "OK";
    }
    if (what == "read-checksum") {
        readChecksumFaults_ = static_cast<int>(number(1));
        return "OK";
    }
    if (what == "erase") {
        const long status = number(-1);
        if (status < 0 || status > 255)
            return "ERROR fault erase STATUS";
        eraseStatus_ = static_cast<int>(status);
        return "OK";
    }
    if (what == "simlock-status") {
        const long status = number(-1);
        if (status < 0 || status > 255)
            return "ERROR fault simlock-status STATUS";
        simlockStatus_ = static_cast<int>(status);
        return "OK";
    }
    if (what == "none") {
        checksumFaults_.clear();
        sectorErrors_.clear();
        eraseStatus_ = simlockStatus_ = -1;
        readChecksumFaults_ = 0;
        return {};  // the boot ROM clears its own faults too
    }
    return {};
}

bool ResidentLoader::TakeFault(std::map<uint32_t, int>& faults, uint32_t sector)
{
    const auto it = faults.find(sector);
    if (it == faults.end() || it->second <= 0)
        return false;
    --it->second;
    return true;
}

uint32_t ResidentLoader::BaseFor(uint32_t address) const
{
    return flashBase_ != 0 ? flashBase_ : BaseOf(address);
}

int64_t ResidentLoader::Offset(uint32_t address, uint32_t length)
{
    const uint32_t base = BaseFor(address);
    if (address < base)
        return -1;
    const uint64_t offset = address - base;
    if (offset + length > flash_.size())
        return -1;
    return static_cast<int64_t>(offset);
}

void ResidentLoader::Erase(uint64_t offset, uint64_t length)
{
    auto& bytes = flash_.bytes();
    const uint64_t end = std::min<uint64_t>(offset + length, bytes.size());
    if (offset < end)
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.begin() + static_cast<std::ptrdiff_t>(end),
                  0xFF);
    dirty_ = true;
}

void ResidentLoader::EraseResult(std::vector<uint8_t>& out)
{
    out.push_back(kEraseStarted);
    out.push_back(eraseStatus_ >= 0 ? static_cast<uint8_t>(eraseStatus_) : kEraseDone);
}

int64_t ResidentLoader::FindTag()
{
    const auto& bytes = flash_.bytes();
    const size_t window = std::min<size_t>(bytes.size(), kTagSearch);
    for (size_t at = 0; at + kMarkerLength <= window; ++at)
        if (bytes[at] == 'd' && std::memcmp(bytes.data() + at, kMarker, kMarkerLength) == 0)
            return static_cast<int64_t>(at + kMarkerLength);
    return -1;
}

ResidentLoader::Step ResidentLoader::SwitchOff(std::vector<uint8_t>& out)
{
    out.push_back(kAccepted);
    switchedOff_ = true;
    if (dirty_ && flash_.Save())
        dirty_ = false;
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::SpeedControl(std::vector<uint8_t>& out)
{
    out.push_back(kLineConfirmed);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::ChangeSpeed(std::vector<uint8_t>& out)
{
    if (params_.empty()) {
        out.push_back(kAccepted);
        return Step::NeedMore;
    }
    if (params_.size() < 5)
        return Step::NeedMore;
    const unsigned sum = unsigned{params_[0]} + params_[1] + params_[2];
    const unsigned sent = (unsigned{params_[3]} << 8) | params_[4];
    speedParameters_.assign(params_.begin(), params_.begin() + 3);
    out.push_back(kSpeedParameters);
    out.push_back(sum == sent ? 0x00 : 0x01);
    // The line now runs at the new rate: the transport follows the PC's.
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::TakeMarkerRequest(std::vector<uint8_t>& out)
{
    if (params_.empty()) {
        out.push_back(kAccepted);
        return Step::NeedMore;
    }
    return params_.size() < 1u + params_[0] ? Step::NeedMore : Step::Done;
}

ResidentLoader::Step ResidentLoader::GetTag(std::vector<uint8_t>& out)
{
    if (TakeMarkerRequest(out) == Step::NeedMore)
        return Step::NeedMore;
    const bool marker = params_[0] == kMarkerLength && std::memcmp(params_.data() + 1, kMarker, kMarkerLength) == 0;
    if (!marker)
        return Step::Done;  // not the identification request: no answer
    out.push_back(kTagFollows);
    const int64_t at = FindTag();
    const auto& bytes = flash_.bytes();
    uint32_t n = 0;
    if (at >= 0 && static_cast<size_t>(at) + 4 <= bytes.size()) {
        n = Be32(bytes.data() + at);
        if (static_cast<uint64_t>(at) + 4 + n > bytes.size())
            n = 0;
    }
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    if (n != 0)
        out.insert(out.end(), bytes.begin() + at + 4, bytes.begin() + at + 4 + n);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::EraseAll(std::vector<uint8_t>& out)
{
    out.push_back(kAccepted);
    Erase(0, flash_.size());
    EraseResult(out);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::EraseAddress(std::vector<uint8_t>& out)
{
    if (params_.empty())
        out.push_back(kAccepted);
    if (params_.size() < 4)
        return Step::NeedMore;
    const int64_t offset = Offset(Be32(params_.data()), 1);
    if (offset >= 0)
        Erase(static_cast<uint64_t>(offset), kAddressEraseBlock);
    EraseResult(out);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::EraseSectors(std::vector<uint8_t>& out)
{
    if (params_.empty())
        out.push_back(kAccepted);
    if (params_.size() < 9)
        return Step::NeedMore;
    const uint32_t count = params_[0];
    const uint32_t size = Be32(params_.data() + 1);
    const int64_t offset = Offset(Be32(params_.data() + 5), 1);
    if (offset >= 0)
        Erase(static_cast<uint64_t>(offset), uint64_t{count} * size);
    EraseResult(out);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::Read(std::vector<uint8_t>& out)
{
    if (params_.empty())
        out.push_back(kAccepted);
    if (params_.size() < 8)
        return Step::NeedMore;
    const uint32_t size = Be32(params_.data());
    const int64_t offset = Offset(Be32(params_.data() + 4), size);
    if (offset < 0) {
        out.push_back(kBadParameter);
        return Step::Done;
    }
    out.push_back(kReadFollows);
    const auto& bytes = flash_.bytes();
    const uint8_t* from = bytes.data() + offset;
    out.insert(out.end(), from, from + size);
    uint32_t sum = Sum(from, size);
    if (readChecksumFaults_ > 0) {
        --readChecksumFaults_;
        sum ^= 0x00010000u;
    }
    PutLe32(out, sum);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::RestoreSimlock(std::vector<uint8_t>& out)
{
    if (TakeMarkerRequest(out) == Step::NeedMore)
        return Step::NeedMore;
    out.push_back(kSimlockStatus);
    if (simlockStatus_ >= 0) {
        out.push_back(static_cast<uint8_t>(simlockStatus_));
        return Step::Done;
    }
    if (FindTag() < 0) {
        out.push_back(2);
        return Step::Done;
    }
    if (!simlockStored_) {
        out.push_back(1);
        return Step::Done;
    }
    auto& bytes = flash_.bytes();
    std::copy(simlock_.begin(), simlock_.end(), bytes.end() - kSimlockFromEnd);
    dirty_ = true;
    out.push_back(0);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::DownloadSector(std::vector<uint8_t>& out)
{
    if (params_.size() < 12)
        return Step::NeedMore;
    const uint32_t sectorSize = Be32(params_.data());
    const uint32_t address = Be32(params_.data() + 4);
    const uint32_t length = Be32(params_.data() + 8);
    if (params_.size() == 12) {
        if (length > kMaxSectorData || length > sectorSize) {
            out.push_back(kSectorError);
            out.push_back(0xFF);
            return Step::Done;
        }
        out.push_back(kSectorReady);
        if (length != 0)
            return Step::NeedMore;
    }
    if (params_.size() < 12u + length)
        return Step::NeedMore;
    const uint8_t* data = params_.data() + 12;
    const int64_t offset = Offset(address, std::max(sectorSize, length));
    const uint32_t sector = sectorSize != 0 ? static_cast<uint32_t>((address - BaseFor(address)) / sectorSize) : 0;
    if (offset < 0) {
        out.push_back(kSectorError);
        out.push_back(0xFF);
        return Step::Done;
    }
    const auto error = sectorErrors_.find(sector);
    if (error != sectorErrors_.end() && error->second.second > 0) {
        --error->second.second;
        out.push_back(kSectorError);
        out.push_back(error->second.first);
        return Step::Done;
    }
    Erase(static_cast<uint64_t>(offset), sectorSize);
    auto& bytes = flash_.bytes();
    std::copy(data, data + length, bytes.begin() + offset);
    ++sectorsProgrammed_;
    uint32_t sum = Sum(data, length);
    if (TakeFault(checksumFaults_, sector))
        sum ^= 0x00010000u;  // a byte went wrong on the way
    out.push_back(kSectorDone);
    PutLe32(out, sum);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::SetGpio(std::vector<uint8_t>& out)
{
    out.push_back(kAccepted);
    out.push_back(kGpioSet);
    return Step::Done;
}

ResidentLoader::Step ResidentLoader::SetPmu(std::vector<uint8_t>& out)
{
    out.push_back(kAccepted);
    out.push_back(kPmuSet);
    out.push_back(0x00);
    return Step::Done;
}

void ResidentLoader::Tick(uint32_t nowMs, std::vector<uint8_t>& out)
{
    if (with5087Bytes_ || !started_ || eraseReported_ || switchedOff_)
        return;
    // The PCF5085 loader erases what the software will occupy, by itself,
    // and reports when done.
    if (eraseDueMs_ < 0) {
        eraseDueMs_ = int64_t{nowMs} + k5085EraseMs;
        return;
    }
    if (int64_t{nowMs} < eraseDueMs_)
        return;
    eraseReported_ = true;
    Erase(0, softwareSize_);
    out.push_back(eraseStatus_ >= 0 ? static_cast<uint8_t>(eraseStatus_) : kEraseDone);
    if (eraseStatus_ >= 0)
        switchedOff_ = true;  // a failed erase stops the loader
}

void ResidentLoader::Receive5085(std::span<const uint8_t> in, std::vector<uint8_t>& out)
{
    if (!eraseReported_)
        return;  // still erasing: the bytes are lost
    auto& bytes = flash_.bytes();
    for (uint8_t byte : in) {
        if (received5085_ >= softwareSize_)
            return;
        blockBuffer_.push_back(byte);
        ++received5085_;
        const uint32_t blockStart = block5085_ * k5085Block;
        const uint32_t blockLength = std::min(k5085Block, softwareSize_ - blockStart);
        if (blockBuffer_.size() < blockLength)
            continue;
        const auto error = sectorErrors_.find(block5085_);
        if (error != sectorErrors_.end() && error->second.second > 0) {
            --error->second.second;
            // Offset of the failing byte within the block, least significant
            // first: two bytes hold any offset in an 8192-byte block, where an
            // offset in a multi-megabyte image would not fit.
            const uint32_t failedAt = blockLength / 2;
            out.push_back(static_cast<uint8_t>(failedAt));
            out.push_back(static_cast<uint8_t>(failedAt >> 8));
            out.push_back(0x00);
            out.push_back(error->second.first);
            switchedOff_ = true;  // the loader stops
            blockBuffer_.clear();
            return;
        }
        if (blockStart + blockLength <= bytes.size()) {
            std::copy(blockBuffer_.begin(), blockBuffer_.end(), bytes.begin() + blockStart);
            dirty_ = true;
            ++sectorsProgrammed_;
        }
        uint32_t sum = Sum(blockBuffer_.data(), blockBuffer_.size());
        if (TakeFault(checksumFaults_, block5085_))
            sum ^= 0x00010000u;
        PutLe32(out, sum);
        blockBuffer_.clear();
        ++block5085_;
        if (received5085_ >= softwareSize_ && flash_.Save())
            dirty_ = false;
    }
}

void ResidentLoader::Receive(std::span<const uint8_t> in, std::vector<uint8_t>& out)
{
    static constexpr CommandRow kCommands[] = {
        {0xE0, &ResidentLoader::ChangeSpeed},    {0xE1, &ResidentLoader::GetTag},
        {0xE2, &ResidentLoader::EraseAll},       {0xE3, &ResidentLoader::EraseAddress},
        {0xE4, &ResidentLoader::EraseSectors},   {0xE6, &ResidentLoader::Read},
        {0xE7, &ResidentLoader::RestoreSimlock}, {0xE8, &ResidentLoader::SwitchOff},
        {0xE9, &ResidentLoader::SpeedControl},   {0xEA, &ResidentLoader::DownloadSector},
        {0xEB, &ResidentLoader::SetGpio},        {0xEF, &ResidentLoader::SetPmu},
    };
    if (switchedOff_)
        return;
    if (!with5087Bytes_) {
        Receive5085(in, out);
        return;
    }
    for (size_t i = 0; i < in.size(); ++i) {
        const uint8_t byte = in[i];
        if (switchedOff_)
            return;
        if (current_ == nullptr) {
            for (const CommandRow& row : kCommands)
                if (row.command == byte)
                    current_ = row.handler;
            if (current_ == nullptr)
                continue;  // an unknown command byte gets no answer
            params_.clear();
        } else if (current_ == &ResidentLoader::DownloadSector && params_.size() >= 12) {
            // Sector data: take the whole run at once.
            const uint32_t length = Be32(params_.data() + 8);
            const size_t want = 12u + length - params_.size();
            const size_t take = std::min(want, in.size() - i);
            params_.insert(params_.end(), in.begin() + static_cast<std::ptrdiff_t>(i),
                           in.begin() + static_cast<std::ptrdiff_t>(i + take));
            i += take - 1;
        } else {
            params_.push_back(byte);
        }
        if ((this->*current_)(out) == Step::Done)
            current_ = nullptr;
    }
}

}  // namespace simphone::boot
