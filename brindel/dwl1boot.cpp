// Boot protocol: boot ROM handshake, boot configuration, SPM transfer, boot
// coherence and the resident loader's flash identification.
//
// Reads return an int: a byte 0..255 or DWL_READ_TIMEOUT. Every wait below
// compares against DWL_READ_TIMEOUT, never against the byte 0x9D, so a
// genuine 0x9D from the phone is handled as the data byte it is.
#include "brindel/dwl1boot.h"

#include "brindel/dwl12pclib.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

namespace {

constexpr uint8_t kCommandD = 0x44;  // "D": stop the acknowledge, answer to it
constexpr uint8_t kStackPointerSet = 0xA0;
constexpr uint8_t kLoaderIdentification = 0xC2;

bool DrivesDtr(uint8_t projectType)
{
    return projectType >= 1 && projectType <= 4;
}

int WaitForByte(uint8_t port, std::initializer_list<uint8_t> awaited)
{
    return dwl12_11ReadUntil(port, awaited.begin(), awaited.size());
}

uint8_t AsContextByte(int value)
{
    return value == DWL_READ_TIMEOUT ? DWL_TIMEOUT_BYTE : static_cast<uint8_t>(value);
}

// The chip-select pairs and the register writes of one project type.
struct BootSetup {
    uint8_t projectType;
    uint32_t base;
    std::array<uint8_t, 4> csFirst;
    std::array<uint8_t, 4> csHighBits;  // OR-ed onto the wait state (type 0: fixed byte)
    bool fixedSecond;  // type 0 sends fixed second bytes
    uint32_t registerAddress;  // 0: none
    std::array<uint8_t, 4> registerBytes;
    uint8_t registerLength;
};

constexpr std::array<BootSetup, 5> pg_BootSetups = {{
    {0, 0x200000, {0xC6, 0x0E, 0xD7, 0xD7}, {0x03, 0x84, 0x06, 0x86}, true, 0, {}, 0},
    {1, 0x200000, {0xC6, 0xCE, 0xD7, 0xD7}, {0x80, 0x00, 0x00, 0x80}, false, 0, {}, 0},
    {2, 0x200000, {0xC6, 0x96, 0xC7, 0xD7}, {0x80, 0x00, 0x00, 0x80}, false, 0, {}, 0},
    {3, 0x2000000, {0xC7, 0x56, 0x06, 0x07}, {0x00, 0x00, 0x40, 0x80}, false, 0xFFFF8003, {0x40, 0x00, 0x70, 0x00}, 3},
    {4, 0x8000000, {0xC6, 0xD6, 0x07, 0x07}, {0x80, 0x00, 0x00, 0x80}, false, 0xFFFF8002, {0x80, 0x01, 0x01, 0x00}, 4},
}};

constexpr const char* pg_ChipSelectSteps[4] = {"BOOT : Chip select 0", "BOOT : Chip select 1", "BOOT : Chip select 2",
                                               "BOOT : Chip select 3"};

// Steps after the boot configuration, shared by both boots: the "D" echo,
// the stack-pointer byte, the two bytes of the 5087 loaders and the flash
// identification.
DownloadResult FinishBoot(T_DownloadContext* context)
{
    DownloadResult result = dwl_MakeResult(DWL_SOFT_OK, 0);
    const uint8_t port = context->port;
    if (WaitForByte(port, {kCommandD}) == DWL_READ_TIMEOUT) {
        dwl_SetResult(&result, DWL_SOFT_BOOT_ERR, DWL_BOOT_BAD_ACK);
        return result;
    }
    if (dwl12_7ReadByte(port) != kStackPointerSet) {
        dwl_SetResult(&result, DWL_SOFT_BOOT_ERR, DWL_BOOT_STACK_POINTER);
        return result;
    }
    if (DrivesDtr(context->projectType)) {
        (void)dwl12_7ReadByte(port);
        (void)dwl12_7ReadByte(port);
    }
    dwl17_2TraceStep("BOOT : Get the type of flash");
    const int rc = dwl1_3GetTypeFlash(context);
    if (rc != DWL_OK)
        dwl_SetResult(&result, DWL_SOFT_BOOT_ERR, rc);
    return result;
}

void SoftwareSizeBigEndian(uint32_t size, uint8_t out[4])
{
    out[0] = static_cast<uint8_t>(size >> 24);
    out[1] = static_cast<uint8_t>(size >> 16);
    out[2] = static_cast<uint8_t>(size >> 8);
    out[3] = static_cast<uint8_t>(size);
}

// The boot ROM handshake both boots share: DTR up for the PCF5087 projects,
// wait for one of the awaited acknowledges, record it, answer "D" and drop
// DTR again. The acknowledge, or DWL_READ_TIMEOUT; *portError is the port's
// error code when the line could not be driven (0 otherwise).
int Handshake(T_DownloadContext* context, std::initializer_list<uint8_t> awaited, int* portError)
{
    const uint8_t port = context->port;
    const bool dtr = DrivesDtr(context->projectType);
    *portError = 0;
    if (dtr && (*portError = std::min(rt_SetDTR(port, 1), 0)) < 0)
        return DWL_READ_TIMEOUT;
    const int ack = WaitForByte(port, awaited);
    context->bootAcknowledge = AsContextByte(ack);
    if (const int w = dwl12_8WriteByte(port, kCommandD); w < 0) {
        *portError = w;
        return ack;
    }
    if (dtr)
        *portError = std::min(rt_SetDTR(port, 0), 0);
    return ack;
}

DownloadResult PortFailure()
{
    return dwl_MakeResult(DWL_SOFT_LIB_PC_ERR, DWL_PCLIB_UART);
}

}  // namespace

extern "C" {

thread_local uint32_t vg_BaseAddress = 0x2000000;

uint32_t dwl1_61BaseAddress(uint8_t projectType)
{
    return projectType < pg_BootSetups.size() ? pg_BootSetups[projectType].base : 0;
}

uint32_t dwl1_62ContextBaseAddress(const T_DownloadContext* context)
{
    return dwl1_61BaseAddress(context->projectType);
}

int dwl1_50SetStartAddr(uint8_t port, uint32_t address)
{
    const uint8_t bytes[6] = {0x00,
                              0x03,
                              static_cast<uint8_t>(address >> 24),
                              static_cast<uint8_t>(address >> 16),
                              static_cast<uint8_t>(address >> 8),
                              static_cast<uint8_t>(address)};
    for (uint8_t b : bytes)
        if (const int w = dwl12_8WriteByte(port, b); w < 0)
            return w;
    return DWL_OK;
}

int dwl1_51DownloadBlock(uint8_t port, const uint8_t* data, uint32_t length)
{
    if (length == 0 || length > DWL_SPM_MAX_SIZE)
        return DWL_OK;
    const uint32_t last = length - 1;
    int w = dwl12_8WriteByte(port, static_cast<uint8_t>(0x40 | (last >> 8)));
    if (w >= 0)
        w = dwl12_8WriteByte(port, static_cast<uint8_t>(last & 0xFF));
    if (w >= 0)
        w = dwl12_9WriteBuffer(port, data, length);
    return w < 0 ? w : int{DWL_OK};
}

int dwl1_52JumpToStartAddress(uint8_t port)
{
    int w = dwl12_8WriteByte(port, 0x60);
    if (w >= 0)
        w = dwl12_8WriteByte(port, 0x00);
    return w < 0 ? w : int{DWL_OK};
}

int dwl1_1ConfigurationBootstrap(uint8_t port, uint8_t projectType, const uint8_t waitStates[4], const uint8_t* spm,
                                 uint32_t spmSize, const uint8_t sizeBigEndian[4])
{
    if (projectType >= pg_BootSetups.size())
        return DWL_BOOT_CHIP_SELECT;
    const BootSetup& setup = pg_BootSetups[projectType];

    dwl17_2TraceStep("BOOT : Configurate chip select and jump at the rigth address");
    vg_BaseAddress = setup.base;
    for (size_t cs = 0; cs < 4; ++cs) {
        dwl17_2TraceStep(pg_ChipSelectSteps[cs]);
        const uint8_t second = setup.fixedSecond ? setup.csHighBits[cs]
                                                 : static_cast<uint8_t>(setup.csHighBits[cs] | (waitStates[cs] & 7));
        const uint8_t pair[2] = {setup.csFirst[cs], second};
        for (uint8_t b : pair)
            if (const int w = dwl12_8WriteByte(port, b); w < 0)
                return w;
    }
    int rc = DWL_OK;
    if (setup.registerAddress != 0) {
        rc = dwl1_50SetStartAddr(port, setup.registerAddress);
        if (rc == DWL_OK)
            rc = std::min(dwl12_9WriteBuffer(port, setup.registerBytes.data(), setup.registerLength), int{DWL_OK});
        if (rc != DWL_OK)
            return rc;
    }

    const uint32_t load = projectType == 0 ? setup.base : 0;
    dwl17_2TraceStep("BOOT : Send command SetStartCommand");
    rc = dwl1_50SetStartAddr(port, load);
    dwl17_2TraceStep("BOOT : Transfert the SPM file");
    if (rc == DWL_OK)
        rc = dwl1_51DownloadBlock(port, spm, spmSize);
    if (projectType == 0) {
        // The PCF5085 loader finds the size of the software it will receive here.
        if (rc == DWL_OK)
            rc = dwl1_50SetStartAddr(port, 0x203000);
        if (rc == DWL_OK)
            rc = dwl1_51DownloadBlock(port, sizeBigEndian, 4);
        if (rc == DWL_OK)
            rc = dwl1_50SetStartAddr(port, setup.base);
    } else if (rc == DWL_OK) {
        rc = dwl1_50SetStartAddr(port, load);
    }
    if (rc != DWL_OK)
        return rc;
    dwl17_2TraceStep("BOOT : Jump to Start address");
    return dwl1_52JumpToStartAddress(port);
}

int dwl1_2BootCoherence(uint8_t bootAcknowledge, uint8_t projectType)
{
    const bool type0 = projectType == 0;
    switch (bootAcknowledge) {
    case DWL_ACK_PCF5085: return type0 ? int{DWL_OK} : int{DWL_BOOT_FROM_5085};
    case DWL_ACK_PCF5086: return type0 ? int{DWL_OK} : int{DWL_BOOT_FROM_5086};
    case DWL_ACK_PCF5087:
    case DWL_ACK_PCF5087_BIS: return type0 ? int{DWL_BOOT_FROM_5087} : int{DWL_OK};
    case DWL_ACK_UART1: return DWL_OK;
    default: return DWL_BOOT_UNKNOWN_ACK;
    }
}

const char* dwl1_60BootChipName(uint8_t bootAcknowledge)
{
    switch (bootAcknowledge) {
    case DWL_ACK_PCF5086: return "BOOT FROM A PCF5086";
    case DWL_ACK_UART1:
    case DWL_ACK_PCF5087_BIS:
    case DWL_ACK_PCF5087: return "BOOT FROM A PCF5087";
    case DWL_ACK_PCF5085: return "BOOT FROM A PCF5085";
    default: return "Unknown boot";
    }
}

int dwl1_3GetTypeFlash(T_DownloadContext* context)
{
    const uint8_t port = context->port;
    if (DrivesDtr(context->projectType) && dwl12_7ReadByte(port) != kLoaderIdentification)
        return DWL_BOOT_FLASH_ID_ACK;
    const int manufacturer = dwl12_7ReadByte(port);
    context->manufacturerId = AsContextByte(manufacturer);
    if (manufacturer == DWL_READ_TIMEOUT)
        return DWL_BOOT_FLASH_ID_TIMEOUT;
    switch (manufacturer) {
    case 0x01:
    case 0x04:
    case 0x07:
    case 0x20:
    case 0x2C:
    case 0x89:
    case 0x98: break;
    default: return DWL_BOOT_FLASH_ID;
    }
    const int device = dwl12_7ReadByte(port);
    context->deviceId = AsContextByte(device);
    if (device == DWL_READ_TIMEOUT)
        return DWL_BOOT_FLASH_ID_TIMEOUT;
    if (manufacturer == 0x01 && (device == 0xE3 || device == 0xE4)) {
        if (dwl12_7ReadByte(port) == DWL_READ_TIMEOUT)
            return DWL_BOOT_FLASH_ID_TIMEOUT;
    }
    return DWL_OK;
}

DownloadResult dwl1_0boot(T_DownloadContext* context)
{
    DownloadResult result = dwl_MakeResult(DWL_SOFT_OK, 0);
    const uint8_t port = context->port;
    const uint8_t type = context->projectType;
    dwl17_2TraceStep("BOOT : Start the boot sequence");

    std::array<uint8_t, DWL_SPM_BUFFER_SIZE> spm{};
    uint32_t spmSize = 0;
    const int load = dwl12_4LoadSpmFile(&spmSize, spm.data(), type);
    if (load != DWL_OK) {
        dwl_SetResult(&result, DWL_SOFT_LIB_PC_ERR, load);
        return result;
    }

    int portError = 0;
    const int ack =
        Handshake(context, {DWL_ACK_PCF5087, DWL_ACK_PCF5087_BIS, DWL_ACK_PCF5086, DWL_ACK_PCF5085}, &portError);
    if (portError < 0)
        return PortFailure();
    if (ack == DWL_READ_TIMEOUT) {
        dwl_SetResult(&result, DWL_SOFT_BOOT_ERR, DWL_BOOT_TIME_OUT);
        return result;
    }

    uint8_t size[4];
    SoftwareSizeBigEndian(context->softwareSize, size);
    int rc = dwl1_1ConfigurationBootstrap(port, type, context->waitStates, spm.data(), spmSize, size);
    if (rc < 0)
        return PortFailure();
    if (rc == DWL_OK)
        rc = dwl1_2BootCoherence(context->bootAcknowledge, type);
    if (rc != DWL_OK) {
        dwl_SetResult(&result, DWL_SOFT_BOOT_ERR, rc);
        return result;
    }
    return FinishBoot(context);
}

DownloadResult dwl1_4bootUart1(T_DownloadContext* context)
{
    DownloadResult result = dwl_MakeResult(DWL_SOFT_OK, 0);
    const uint8_t type = context->projectType;
    dwl17_2TraceStep("BOOT : Start the boot sequence");

    // No boot configuration runs here, and it is what names the flash base:
    // without this, the addresses of the download would be those of
    // whichever project type was configured last.
    if (const uint32_t base = dwl1_61BaseAddress(type); base != 0)
        vg_BaseAddress = base;
    int portError = 0;
    const int ack = Handshake(context, {DWL_ACK_UART1}, &portError);
    if (portError < 0)
        return PortFailure();
    if (ack == DWL_READ_TIMEOUT) {
        dwl_SetResult(&result, DWL_SOFT_BOOT_ERR, DWL_BOOT_TIME_OUT);
        return result;
    }
    const int rc = dwl1_2BootCoherence(context->bootAcknowledge, type);
    if (rc != DWL_OK) {
        dwl_SetResult(&result, DWL_SOFT_BOOT_ERR, rc);
        return result;
    }
    return FinishBoot(context);
}

int start_boot_loader(const char* spmPath)
{
    return start_boot_loader_ctx(&sg_DownloadContext, spmPath);
}

int start_boot_loader_ctx(T_DownloadContext* context, const char* spmPath)
{
    dwl17_2TraceStep("BOOT : Start the boot sequence");
    context->projectType = 4;
    context->speedIndex = 5;
    const char* defaultPath = dwl50_1DefaultSoftwarePath();
    dwl50_2SetPath(context->softwarePath, defaultPath, std::strlen(defaultPath));

    std::array<uint8_t, DWL_SPM_BUFFER_SIZE> spm{};
    uint32_t spmSize = 0;
    if (dwl12_4VcLoadSpmFile(&spmSize, spm.data(), 4, spmPath) == DWL_PCLIB_FILE_NOT_FOUND)
        return DWL_PCLIB_FILE_NOT_FOUND;

    const uint8_t port = context->port;
    if (const int rc = rt_SetDTR(port, 1); rc < 0)
        return rc;
    const int ack = WaitForByte(port, {DWL_ACK_PCF5087, DWL_ACK_PCF5087_BIS, DWL_ACK_PCF5086, DWL_ACK_PCF5085});
    context->bootAcknowledge = AsContextByte(ack);
    if (ack == DWL_READ_TIMEOUT) {
        // Leave the line as a failed boot leaves it: DTR cleared.
        (void)rt_SetDTR(port, 0);
        return DWL_TIMEOUT_BYTE;
    }
    int rc = dwl12_8WriteByte(port, kCommandD);
    if (rc >= 0)
        rc = rt_SetDTR(port, 0);
    if (rc < 0)
        return rc;
    const uint8_t size[4] = {0, 0, 0, 0};
    if (rc = dwl1_1ConfigurationBootstrap(port, 4, context->waitStates, spm.data(), spmSize, size); rc < 0)
        return rc;

    // The echo, the stack-pointer byte and the two loader bytes are read to
    // keep the stream in step; they do not end this boot.
    (void)WaitForByte(port, {kCommandD});
    (void)dwl12_7ReadByte(port);
    (void)dwl12_7ReadByte(port);
    (void)dwl12_7ReadByte(port);
    dwl17_2TraceStep("BOOT : Get the type of flash");
    return dwl1_3GetTypeFlash(context);
}

}  // extern "C"
