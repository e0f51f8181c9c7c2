#include "quorlink/bridge/flash_bridge.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace quorlink::bridge {

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

FilePtr OpenFile(const std::string& path, const char* mode)
{
    return FilePtr(std::fopen(path.c_str(), mode), &std::fclose);
}

// The directories a shipped boot file may lie in: the program's own, and
// the shared data directory of an installed tree.
std::vector<std::filesystem::path> ShippedLocations()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    const auto dir = exe.parent_path();
    return {dir, dir.parent_path() / "share" / "telvane"};
}

}  // namespace

FlashBridge::FlashBridge(uint32_t port, std::unique_ptr<FlashEngine> engine)
    : port_(static_cast<int>(port & 0xFF)), engine_(std::move(engine))
{
}

bool FlashBridge::open()
{
    return engine_->initContext() == kEngineOk && engine_->openPort(port_, kPortTimeoutSeconds) == kEngineOk;
}

bool FlashBridge::boot(const std::string& bootFile)
{
    // The engine's time-outs and identification failures are failures as
    // much as a missing loader file is: only its success counts.
    if (engine_->bootLoader(bootFile) == kEngineOk)
        return loaderRunning_ = true;
    (void)engine_->stopPort(port_);
    return false;
}

bool FlashBridge::highSpeed()
{
    return engine_->setGpio() == kEngineOk && engine_->changeSpeed() == kEngineOk;
}

bool FlashBridge::readIndex(const std::string& indexFile)
{
    std::vector<uint8_t> sector(kSectorSize, 0);
    // A failed read reports its own code (17, 18, 19, or a port error),
    // never 0: only 1 means the bytes are the phone's.
    const bool read = engine_->readSector(SectorAddress(kIndexSector), sector) == kEngineOk;
    FilePtr f = OpenFile(indexFile, "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(sector.data(), 1, kIndexBytes, f.get()) == kIndexBytes;
    return std::fclose(f.release()) == 0 && written && read;
}

bool FlashBridge::writeFile(const std::string& file, int startSector, uint32_t maxBytes, const Progress& progress)
{
    FilePtr f = OpenFile(file, "rb");
    if (!f)
        return false;
    long length = -1;
    if (std::fseek(f.get(), 0, SEEK_END) == 0)
        length = std::ftell(f.get());
    if (length <= 0 || std::fseek(f.get(), 0, SEEK_SET) != 0)
        return false;
    const uint32_t total = static_cast<uint32_t>(std::min<long>(length, maxBytes));
    const int sectors = static_cast<int>((total + kSectorSize - 1) / kSectorSize);
    std::vector<uint8_t> piece(kWriteChunk);
    uint32_t remaining = total;
    for (int d = 1; d <= sectors; ++d) {
        const uint32_t bytes = std::min(remaining, kSectorSize);
        if (engine_->sectorCommand(SectorAddress(startSector + d - 1), kSectorSize, bytes) != kSectorReady)
            return false;
        uint32_t sum = 0;
        for (uint32_t sent = 0; sent < bytes;) {
            const uint32_t n = std::min(bytes - sent, kWriteChunk);
            if (std::fread(piece.data(), 1, n, f.get()) != n)
                return false;
            for (uint32_t i = 0; i < n; ++i)
                sum += piece[i];
            if (engine_->writeBuffer(std::span(piece.data(), n)) != static_cast<int>(n))
                return false;
            sent += n;
        }
        if (progress)
            progress(d, sectors);
        if (engine_->sectorEnd() != kSectorDone || engine_->checksumReceived() != sum)
            return false;
        remaining -= bytes;
    }
    return true;
}

bool FlashBridge::stillAnswering()
{
    return engine_->speedControl() == kStillAnswering;
}

void FlashBridge::shutDown(bool powerOff)
{
    if (powerOff)
        (void)engine_->powerOff();
    (void)engine_->stopPort(port_);
}

std::string BootFilePath(const std::string& dir)
{
    const std::filesystem::path target = dir + kBootFileName;
    std::error_code ec;
    if (std::filesystem::is_regular_file(target, ec))
        return target.string();
    for (const auto& location : ShippedLocations()) {
        const auto shipped = location / kBootFileName;
        if (!std::filesystem::is_regular_file(shipped, ec))
            continue;
        // Through a temporary name: a copy cut short never stands as the loader.
        const std::filesystem::path part = target.string() + ".part";
        if (std::filesystem::copy_file(shipped, part, std::filesystem::copy_options::overwrite_existing, ec)) {
            std::filesystem::rename(part, target, ec);
            if (!ec)
                return target.string();
        }
        std::filesystem::remove(part, ec);
    }
    return {};
}

}  // namespace quorlink::bridge
