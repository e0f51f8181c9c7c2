// Command layer: the resident loader's one-byte commands, the speed tables,
// the sector transfer with its retry rules, programming an image sector by
// sector, and the exports of the flash download bridge.
//
// PC to phone, numbers are 32-bit most significant byte first; phone to PC,
// a 32-bit checksum comes least significant byte first.
#include "brindel/dwl11command.h"

#include "brindel/dwl10fla.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/runtime/dwl_rt.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

extern "C" {

const uint32_t a_PCSpeedValue[DWL_SPEED_COUNT] = {38400,  115200, 162500, 203125, 220338, 230400, 260000, 270833,
                                                  302325, 309523, 317073, 325000, 333333, 342105, 351351, 361111,
                                                  371428, 382352, 393939, 406250, 460800, 500000, 520000, 541666,
                                                  565217, 590909, 619047, 650000, 684210, 722222, 764705, 921600};

const uint8_t a_SpeedParameters[2][DWL_SPEED_COUNT][3] = {
    {{0x00, 0xFF, 0xEB}, {0x00, 0xFF, 0xF9}, {0x00, 0xFF, 0xFB}, {0x00, 0xFF, 0xFC}, {0xB0, 0xFF, 0xFD},
     {0x60, 0xFF, 0xFD}, {0x20, 0xFF, 0xFD}, {0x00, 0xFF, 0xFD}, {0xB0, 0xFF, 0xFE}, {0xA0, 0xFF, 0xFE},
     {0x90, 0xFF, 0xFE}, {0x80, 0xFF, 0xFE}, {0x70, 0xFF, 0xFE}, {0x60, 0xFF, 0xFE}, {0x50, 0xFF, 0xFE},
     {0x40, 0xFF, 0xFE}, {0x30, 0xFF, 0xFE}, {0x20, 0xFF, 0xFE}, {0x10, 0xFF, 0xFE}, {0x00, 0xFF, 0xFE},
     {0xB0, 0xFF, 0xFF}, {0xA0, 0xFF, 0xFF}, {0x90, 0xFF, 0xFF}, {0x80, 0xFF, 0xFF}, {0x70, 0xFF, 0xFF},
     {0x60, 0xFF, 0xFF}, {0x50, 0xFF, 0xFF}, {0x40, 0xFF, 0xFF}, {0x30, 0xFF, 0xFF}, {0x20, 0xFF, 0xFF},
     {0x10, 0xFF, 0xFF}, {0x00, 0xFF, 0xFF}},
    {{0x50, 0xFF, 0xD6}, {0x20, 0xFF, 0xF2}, {0x00, 0xFF, 0xF6}, {0x00, 0xFF, 0xF8}, {0x60, 0xFF, 0xF9},
     {0x10, 0xFF, 0xF9}, {0x40, 0xFF, 0xFA}, {0x00, 0xFF, 0xFA}, {0x60, 0xFF, 0xFB}, {0x40, 0xFF, 0xFB},
     {0x20, 0xFF, 0xFB}, {0x00, 0xFF, 0xFB}, {0xE0, 0xFF, 0xFC}, {0xC0, 0xFF, 0xFC}, {0xA0, 0xFF, 0xFC},
     {0x80, 0xFF, 0xFC}, {0x60, 0xFF, 0xFC}, {0x40, 0xFF, 0xFC}, {0x20, 0xFF, 0xFC}, {0x00, 0xFF, 0xFC},
     {0x80, 0xFF, 0xFD}, {0x40, 0xFF, 0xFD}, {0x20, 0xFF, 0xFD}, {0x00, 0xFF, 0xFD}, {0xE0, 0xFF, 0xFE},
     {0xC0, 0xFF, 0xFE}, {0xA0, 0xFF, 0xFE}, {0x80, 0xFF, 0xFE}, {0x60, 0xFF, 0xFE}, {0x40, 0xFF, 0xFE},
     {0x20, 0xFF, 0xFE}, {0xC0, 0xFF, 0xFF}}};

thread_local uint32_t vg_SectorsTransferred = 0;

}  // extern "C"

namespace {

// The largest identification area accepted from the phone: the marker lies
// within the first 64 KiB of an image, and a tag is a few dozen bytes.
constexpr uint32_t kMaxTagLength = 65536;
// How long one wait for the output queue may take before the line is
// considered stuck (a whole piece at the slowest speed needs about 2 s).
constexpr int kDrainLimitMs = 30000;
// Slices of the first-byte wait, so that a caller's events can run.
constexpr int kWaitSliceMs = 100;

void PutBigEndian32(uint8_t* out, uint32_t v)
{
    out[0] = static_cast<uint8_t>(v >> 24);
    out[1] = static_cast<uint8_t>(v >> 16);
    out[2] = static_cast<uint8_t>(v >> 8);
    out[3] = static_cast<uint8_t>(v);
}

// Writes a whole buffer: 1, or the port's negative error.
int WriteAll(uint8_t port, const uint8_t* data, size_t length)
{
    const int w = dwl12_9WriteBuffer(port, data, length);
    if (w < 0)
        return w;
    return static_cast<size_t>(w) == length ? int{DWL_OK} : int{RT_ERR_IO};
}

int WriteBigEndian32(uint8_t port, uint32_t v)
{
    uint8_t b[4];
    PutBigEndian32(b, v);
    return WriteAll(port, b, 4);
}

// Sends a command byte and reads the phone's answer: the byte, or the port's
// negative error when the command could not be sent (nothing is read then).
int Ask(uint8_t port, uint8_t command)
{
    const int w = dwl12_8WriteByte(port, command);
    return w < 0 ? w : dwl12_7ReadByte(port);
}

// A port error passes through; any other answer that is not `expected`
// becomes `code`.
int Expect(int answer, int expected, int code)
{
    if (answer < 0 && answer != DWL_READ_TIMEOUT)
        return answer;
    return answer == expected ? int{DWL_OK} : code;
}

// Four bytes, least significant first; a missing byte counts as 0x9D.
uint32_t ReadLittleEndian32(uint8_t port, bool* complete)
{
    uint32_t v = 0;
    bool all = true;
    for (int i = 0; i < 4; ++i) {
        int b = dwl12_7ReadByte(port);
        if (b == DWL_READ_TIMEOUT) {
            all = false;
            b = DWL_TIMEOUT_BYTE;
        }
        v |= static_cast<uint32_t>(b) << (8 * i);
    }
    if (complete != nullptr)
        *complete = all;
    return v;
}

int SendMarker(uint8_t port)
{
    uint8_t buffer[1 + DWL_TAG_MARKER_LENGTH];
    buffer[0] = DWL_TAG_MARKER_LENGTH;
    std::memcpy(buffer + 1, DWL_TAG_MARKER, DWL_TAG_MARKER_LENGTH);
    return WriteAll(port, buffer, sizeof buffer);
}

// The phone's reply to a sector command or to a sector's data: the byte, or
// DWL_READ_TIMEOUT after more than DWL_SECTOR_WAIT_SECONDS on the port's clock.
int WaitSectorReply(uint8_t port)
{
    const uint32_t start = rt_ComClockMs(port);
    const int64_t limit = int64_t{DWL_SECTOR_WAIT_SECONDS} * 1000;
    for (;;) {
        const int64_t elapsed = static_cast<int64_t>(rt_ComClockMs(port) - start);
        if (elapsed > limit)
            break;
        const int slice = static_cast<int>(std::min<int64_t>(kWaitSliceMs, limit - elapsed + 1));
        const int b = rt_ComRdByteWithin(port, slice);
        if (b >= 0) {
            dwl17_3TraceByte("<", static_cast<uint8_t>(b));
            return b;
        }
        if (b != RT_ERR_TIMEOUT)
            break;  // the port failed: nothing more will come
    }
    dwl17_2TraceStep("< TIME OUT");
    return DWL_READ_TIMEOUT;
}

enum class Sent { All, PortFailed, Stuck };

// Sends data in 8192-byte pieces, each drained from the output queue before
// the next; adds every byte into sum.
Sent SendPieces(uint8_t port, const uint8_t* data, uint32_t length, uint32_t* sum)
{
    uint32_t done = 0;
    while (done < length) {
        const uint32_t n = std::min<uint32_t>(DWL_PIECE_SIZE, length - done);
        for (uint32_t i = 0; i < n; ++i)
            *sum += data[done + i];
        if (WriteAll(port, data + done, n) != DWL_OK)
            return Sent::PortFailed;
        if (rt_WaitOutQEmpty(port, kDrainLimitMs) != 0)
            return Sent::Stuck;
        done += n;
    }
    return Sent::All;
}

void StoreResult(int family, int code)
{
    dwl_SetResult(&sg_ResultDownload, family, code);
}

}  // namespace

extern "C" {

int dwl11_51SpeedControl(uint8_t port)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int answer = Ask(port, DWL_CMD_SPEED_CONTROL);
        if (answer == DWL_ACK_SPEED_CONFIRMED)
            return DWL_OK;
        if (answer < 0 && answer != DWL_READ_TIMEOUT)
            return answer;
    }
    return DWL_COMMAND_SPEED_CONTROL;
}

int dwl11_50ChangeSpeed(unsigned timeoutSeconds, uint8_t port, uint8_t speedIndex, uint8_t uartSelect)
{
    // An index outside the tables names no speed: nothing is sent.
    if (speedIndex >= DWL_SPEED_COUNT)
        return DWL_COMMAND_BAD_SPEED_ACK;
    int rc = Expect(Ask(port, DWL_CMD_CHANGE_SPEED), DWL_ACK_ACCEPTED, DWL_COMMAND_BAD_ACK);
    if (rc != DWL_OK)
        return rc;
    const uint8_t* p = a_SpeedParameters[uartSelect == 1 ? 1 : 0][speedIndex];
    const unsigned sum = unsigned{p[0]} + p[1] + p[2];
    const uint8_t bytes[5] = {p[0], p[1], p[2], static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)};
    if (rc = WriteAll(port, bytes, sizeof bytes); rc != DWL_OK)
        return rc;
    if (dwl12_7ReadByte(port) != DWL_ACK_SPEED_PARAMETERS)
        return DWL_COMMAND_BAD_SPEED_ACK;
    if (dwl12_7ReadByte(port) != 0)
        return DWL_COMMAND_BAD_SPEED_CHECKSUM;
    // The phone changes speed once it has everything: the last byte must be
    // on the wire before the PC port changes under it.
    if (rc = rt_WaitOutQEmpty(port, kDrainLimitMs); rc < 0)
        return rc == RT_ERR_TIMEOUT ? int{RT_ERR_IO} : rc;
    const int open = dwl12_0UartInit(port, a_PCSpeedValue[speedIndex], RT_PARITY_NONE, timeoutSeconds);
    if (open != DWL_OK)
        return open;
    rc = dwl11_51SpeedControl(port);
    return rc == DWL_OK || rc < 0 ? rc : int{DWL_COMMAND_SPEED_CONTROL};
}

int dwl11_52SetPMU(uint8_t port)
{
    int rc = Expect(Ask(port, DWL_CMD_SET_PMU), DWL_ACK_ACCEPTED, DWL_COMMAND_BAD_ACK);
    if (rc != DWL_OK)
        return rc;
    if (dwl12_7ReadByte(port) != DWL_ACK_PMU_SET)
        return DWL_COMMAND_BAD_PMU_ACK;
    (void)dwl12_7ReadByte(port);
    return DWL_OK;
}

int dwl11_53SetGPIO(uint8_t port)
{
    const int rc = Expect(Ask(port, DWL_CMD_SET_GPIO), DWL_ACK_ACCEPTED, DWL_COMMAND_BAD_ACK);
    if (rc != DWL_OK)
        return rc;
    return dwl12_7ReadByte(port) == DWL_ACK_GPIO_SET ? int{DWL_OK} : int{DWL_COMMAND_BAD_GPIO_ACK};
}

int dwl11_8SetGPIO(const T_DownloadContext* context)
{
    // Only the speeds above 162500 baud need the GPIO set.
    if (context->speedIndex <= 2)
        return DWL_OK;
    return dwl11_53SetGPIO(context->port);
}

int dwl11_0SetSpeedAndPMU(const T_DownloadContext* context)
{
    // A port that cannot be written is not retried: nothing would change.
    int rc = DWL_NOK;
    for (int attempt = 0; attempt < 4; ++attempt) {
        rc = dwl11_50ChangeSpeed(10, context->port, context->speedIndex, context->uartSelect);
        if (rc == DWL_OK || rc < 0)
            break;
    }
    if (rc != DWL_OK)
        return rc;
    if (context->pmuOption != 1)
        return DWL_OK;
    for (int attempt = 0; attempt < 3; ++attempt) {
        rc = dwl11_52SetPMU(context->port);
        if (rc == DWL_OK || rc < 0)
            return rc;
    }
    return rc;
}

int dwl11_4EraseFlash(uint8_t command, uint32_t address, uint32_t size, uint8_t count, uint8_t port)
{
    const int ack = Ask(port, command);
    if (ack < 0 && ack != DWL_READ_TIMEOUT)
        return ack;
    if (ack != DWL_ACK_ERASE_REFUSED) {
        int rc = DWL_OK;
        if (command == DWL_CMD_ERASE_ADDRESS) {
            rc = WriteBigEndian32(port, address);
        } else if (command == DWL_CMD_ERASE_SECTORS) {
            uint8_t b[9];
            b[0] = count;
            PutBigEndian32(b + 1, size);
            PutBigEndian32(b + 5, address);
            rc = WriteAll(port, b, sizeof b);
        }
        if (rc != DWL_OK)
            return rc;
    }
    return ack == DWL_ACK_ACCEPTED ? int{DWL_OK} : int{DWL_COMMAND_BAD_ERASE_ACK};
}

int dwl11_55EraseResultByte(uint8_t port)
{
    switch (dwl12_7ReadByte(port)) {
    case DWL_ERASE_DONE: return DWL_OK;
    case DWL_ERASE_FAILED: return DWL_COMMAND_ERASE_FAILED;
    case DWL_ERASE_FAILED_DQ6: return DWL_COMMAND_ERASE_FAILED_DQ6;
    case DWL_ERASE_FAILED_DQ6_BIS: return DWL_COMMAND_ERASE_FAILED_DQ6_BIS;
    default: return DWL_COMMAND_ERASE_DEFAULT;
    }
}

int dwl11_5FlashEraseResult(uint8_t port, const T_DownloadContext* context)
{
    if (context->projectType >= 1 && context->projectType <= 4 && dwl12_7ReadByte(port) != DWL_ACK_ERASE_STARTED)
        return DWL_COMMAND_ERASE_ABORTED;
    return dwl11_55EraseResultByte(port);
}

int dwl11_3DownloadSectorCommand(uint32_t address, uint32_t sectorSize, uint32_t length, uint8_t port)
{
    uint8_t b[13];
    b[0] = DWL_CMD_DOWNLOAD_SECTOR;
    PutBigEndian32(b + 1, sectorSize);
    PutBigEndian32(b + 5, address);
    PutBigEndian32(b + 9, length);
    return WriteAll(port, b, sizeof b);
}

int dwl11_6ReadCommand(uint32_t address, uint32_t size, uint8_t* destination, uint8_t port, uint8_t downloadType)
{
    if (destination == nullptr && size != 0)
        return DWL_COMMAND_BAD_READ_PARAMETER;
    uint32_t steps = size < 4096 ? size : size / 4096;
    steps = std::min<uint32_t>(steps, 64);
    const uint32_t stride = steps != 0 ? size / steps : 0;
    const bool showProgress = downloadType == 5;

    int rc = Expect(Ask(port, DWL_CMD_READ), DWL_ACK_ACCEPTED, DWL_COMMAND_BAD_READ_ACK);
    if (rc != DWL_OK)
        return rc;
    uint8_t parameters[8];
    PutBigEndian32(parameters, size);
    PutBigEndian32(parameters + 4, address);
    if (rc = WriteAll(port, parameters, sizeof parameters); rc != DWL_OK)
        return rc;
    if (dwl12_7ReadByte(port) != DWL_ACK_READ_FOLLOWS)
        return DWL_COMMAND_BAD_READ_PARAMETER;

    // The bytes are read in runs up to the next progress step; each byte must
    // still arrive within the port time-out.
    uint32_t sum = 0;
    uint32_t done = 0;
    uint32_t nextStep = stride;
    while (done < size) {
        uint32_t run = size - done;
        if (stride != 0 && nextStep > done)
            run = std::min(run, nextStep - done);
        const int n = rt_ComRd(port, destination + done, run);
        if (n < 0 || static_cast<uint32_t>(n) != run)
            return DWL_COMMAND_BAD_READ_PARAMETER;
        dwl17_4TraceBuffer("<", destination + done, run);
        for (uint32_t i = 0; i < run; ++i)
            sum += destination[done + i];
        done += run;
        if (stride != 0 && done >= nextStep) {
            if (showProgress)
                dwl52_4SetProgress(1, done, size);
            nextStep += stride;
        }
    }
    bool complete = false;
    const uint32_t received = ReadLittleEndian32(port, &complete);
    return complete && received == sum ? int{DWL_OK} : int{DWL_COMMAND_READ_CHECKSUM};
}

int dwl11_7SwitchOffCommand(uint8_t port)
{
    return Expect(Ask(port, DWL_CMD_SWITCH_OFF), DWL_ACK_ACCEPTED, DWL_COMMAND_SWITCH_OFF);
}

uint8_t* dwl11_1GetTagInfoInEmbCla(uint8_t port, uint32_t* length)
{
    if (length != nullptr)
        *length = 0;
    if (Ask(port, DWL_CMD_GET_TAG) != DWL_ACK_ACCEPTED)
        return nullptr;
    if (SendMarker(port) != DWL_OK || dwl12_7ReadByte(port) != DWL_ACK_TAG_FOLLOWS)
        return nullptr;
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) {
        const int b = dwl12_7ReadByte(port);
        if (b == DWL_READ_TIMEOUT)
            return nullptr;
        n = (n << 8) | static_cast<uint32_t>(b);
    }
    if (n == 0 || n > kMaxTagLength)
        return nullptr;
    auto* tag = static_cast<uint8_t*>(std::malloc(n));
    if (tag == nullptr)
        return nullptr;
    const int got = rt_ComRd(port, tag, n);
    if (got < 0 || static_cast<uint32_t>(got) != n) {
        std::free(tag);
        return nullptr;
    }
    dwl17_4TraceBuffer("<", tag, n);
    if (length != nullptr)
        *length = n;
    return tag;
}

int dwl11_2RestoreSimlockKeys(uint8_t port, uint8_t checkSimlockOption)
{
    int rc = Expect(Ask(port, DWL_CMD_RESTORE_SIMLOCK), DWL_ACK_ACCEPTED, DWL_COMMAND_BAD_ACK);
    if (rc != DWL_OK)
        return rc;
    if (rc = SendMarker(port); rc != DWL_OK)
        return rc;
    if (dwl12_7ReadByte(port) != DWL_ACK_SIMLOCK_STATUS)
        return DWL_COMMAND_BAD_SIMLOCK_ACK;
    switch (dwl12_7ReadByte(port)) {
    case 0: return DWL_OK;
    case 1: return DWL_COMMAND_SIMLOCK_NOT_STORED;
    case 2: return DWL_COMMAND_TAG_NOT_FOUND;
    case 3: return checkSimlockOption == 1 ? int{DWL_COMMAND_SIMLOCK_NOT_STORED} : int{DWL_OK};
    default: return DWL_COMMAND_BAD_SIMLOCK_STATUS;
    }
}

DownloadResult dwl11_9TransferSector(uint8_t port, uint32_t address, uint32_t sectorSize, const uint8_t* data,
                                     uint32_t length, int* failuresInImage, T_RetryNotice onRetry, void* user)
{
    int inRow = 0;
    for (;;) {
        if (dwl11_3DownloadSectorCommand(address, sectorSize, length, port) != DWL_OK) {
            StoreResult(DWL_SOFT_LIB_PC_ERR, DWL_PCLIB_UART);
            return sg_ResultDownload;
        }
        const int first = WaitSectorReply(port);
        if (first == DWL_READ_TIMEOUT) {
            StoreResult(DWL_SOFT_DOWNLOAD_TIMEOUT, 0);
            return sg_ResultDownload;
        }
        if (first != DWL_ACK_SECTOR_READY) {
            StoreResult(DWL_SOFT_DOWNLOAD_SECTOR_START, 0);
            return sg_ResultDownload;
        }
        uint32_t sum = 0;
        if (const Sent sent = SendPieces(port, data, length, &sum); sent != Sent::All) {
            if (sent == Sent::PortFailed)
                StoreResult(DWL_SOFT_LIB_PC_ERR, DWL_PCLIB_UART);
            else
                StoreResult(DWL_SOFT_DOWNLOAD_TIMEOUT, 0);
            return sg_ResultDownload;
        }
        const int end = WaitSectorReply(port);
        if (end == DWL_READ_TIMEOUT) {
            StoreResult(DWL_SOFT_DOWNLOAD_TIMEOUT, 0);
            return sg_ResultDownload;
        }
        int family = 0;
        int code = 0;
        if (end == DWL_ACK_SECTOR_DONE) {
            bool complete = false;
            const uint32_t received = ReadLittleEndian32(port, &complete);
            if (complete && received == sum) {
                StoreResult(DWL_SOFT_OK, 0);
                return sg_ResultDownload;
            }
            family = DWL_SOFT_DOWNLOAD_SECTOR_CHECKSUM;
            code = end;
        } else if (end == DWL_ACK_SECTOR_ERROR) {
            const int status = dwl12_7ReadByte(port);
            family = DWL_SOFT_DOWNLOAD_SECTOR_ERR;
            code = status == DWL_READ_TIMEOUT ? DWL_TIMEOUT_BYTE : status;
        } else {
            StoreResult(DWL_SOFT_DOWNLOAD_SECTOR_END_ERR, end);
            return sg_ResultDownload;
        }
        ++inRow;
        ++*failuresInImage;
        StoreResult(family, code);
        if (inRow >= 3 || *failuresInImage >= 5)
            return sg_ResultDownload;
        if (onRetry != nullptr)
            onRetry(address, length, user);
    }
}

}  // extern "C"

namespace {

struct RowState {
    int sector;
    uint32_t size;
    int bank;
    uint32_t* lastRowSeconds;
};

int SecondsSince(uint32_t* last)
{
    const uint32_t now = rt_TimeSeconds();
    const int d = static_cast<int>(now - *last);
    *last = now;
    return d;
}

void RetryRow(uint32_t, uint32_t length, void* user)
{
    auto* row = static_cast<RowState*>(user);
    dwl52_3AddSectorRow(row->sector, row->size, row->bank, length, SecondsSince(row->lastRowSeconds), "wait...");
}

// Makes the programmed software the compared image of the next download.
void KeepComparedCopy(T_DownloadContext* context, const uint8_t* image, uint32_t size)
{
    std::error_code ec;
    const char* name = "_Compared.cla";
    if (context->softwarePath[0] != '\0')
        std::filesystem::copy_file(context->softwarePath, name, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        return;
    dwl50_2SetPath(context->comparedPath, name, std::strlen(name));
    auto* copy = static_cast<uint8_t*>(std::malloc(size + 1u));
    if (copy == nullptr)
        return;
    std::memcpy(copy, image, size);
    copy[size] = 0;
    std::free(context->comparedImage);
    context->comparedImage = copy;
    context->comparedSize = size;
}

}  // namespace

extern "C" {

DownloadResult dwl11_54Download(T_DownloadContext* context, uint32_t size, const uint8_t* image, uint32_t address,
                                int kind)
{
    DownloadResult result = dwl_MakeResult(DWL_SOFT_OK, 0);
    vg_SectorsTransferred = 0;
    const uint8_t man = context->manufacturerId;
    const uint8_t dev = context->deviceId;
    if (image == nullptr && size != 0) {
        dwl_SetResult(&result, DWL_SOFT_NOK, 0);
        return result;
    }
    T_SectorList list{};
    int rc = dwl10_3GetSectorList(man, dev, address - dwl1_62ContextBaseAddress(context), size, &list);
    if (rc != DWL_OK) {
        dwl_SetResult(&result, DWL_SOFT_FLASH_ERR, rc);
        return result;
    }
    // The compared image stands for the software of the previous download:
    // it only applies to a software image.
    const bool compare = kind == 0 && context->comparedOption == 1 && context->comparedImage != nullptr;
    uint32_t lastRow = rt_TimeSeconds();
    uint32_t done = 0;
    int failures = 0;
    dwl52_4SetProgress(kind == 0 ? 0 : 1, 0, size);
    for (uint16_t i = 0; i < list.count && done < size; ++i) {
        const uint16_t sector = list.sectors[i];
        int32_t sectorSize = 0;
        rc = dwl10_0GetSectorSize(man, dev, sector, &sectorSize);
        if (rc != DWL_OK || sectorSize <= 0) {
            dwl_SetResult(&result, DWL_SOFT_FLASH_ERR, rc != DWL_OK ? rc : int{DWL_FLASH_BAD_SECTOR_NUMBER});
            return result;
        }
        uint8_t bank = 0;
        (void)dwl10_4GetSectorBank(man, dev, sector, &bank);
        const uint32_t s = static_cast<uint32_t>(sectorSize);
        const uint32_t n = std::min(s, size - done);
        bool skip = false;
        if (compare && context->comparedSize >= done + n) {
            const bool partial = n < s;
            skip = std::memcmp(context->comparedImage + done, image + done, n) == 0 &&
                (!partial || context->comparedSize == size);
        }
        RowState row{sector, s, bank, &lastRow};
        if (!skip) {
            const DownloadResult r =
                dwl11_9TransferSector(context->port, address + done, s, image + done, n, &failures, &RetryRow, &row);
            if (r.family != DWL_SOFT_OK) {
                dwl52_3AddSectorRow(sector, s, bank, n, SecondsSince(&lastRow), "Error");
                return r;
            }
            ++vg_SectorsTransferred;
        }
        dwl52_3AddSectorRow(sector, s, bank, n, SecondsSince(&lastRow), "Downloaded");
        done += n;
        dwl52_4SetProgress(kind == 0 ? 0 : 1, done, size);
    }
    if (kind == 0 && context->comparedOption == 1)
        KeepComparedCopy(context, image, size);
    return result;
}

int vc_changeSPEED_ctx(const T_DownloadContext* context)
{
    return dwl11_0SetSpeedAndPMU(context);
}

int vc_dwl11_51SpeedControl_ctx(const T_DownloadContext* context)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int answer = Ask(context->port, DWL_CMD_SPEED_CONTROL);
        if (answer == DWL_ACK_SPEED_CONFIRMED)
            return DWL_ACK_SPEED_CONFIRMED;
        if (answer < 0 && answer != DWL_READ_TIMEOUT)
            return answer;
    }
    return DWL_COMMAND_SPEED_CONTROL;
}

int vc_setGPIO_ctx(const T_DownloadContext* context)
{
    return dwl11_53SetGPIO(context->port);
}

int vc_power_off_ctx(const T_DownloadContext* context)
{
    const int b = Ask(context->port, DWL_CMD_SWITCH_OFF);
    return b == DWL_READ_TIMEOUT ? int{DWL_TIMEOUT_BYTE} : b;
}

int vc_DownloadSectorCommand_ctx(const T_DownloadContext* context, int address, int sectorSize, int length)
{
    const uint8_t port = context->port;
    const int sent = dwl11_3DownloadSectorCommand(static_cast<uint32_t>(address), static_cast<uint32_t>(sectorSize),
                                                  static_cast<uint32_t>(length), port);
    if (sent != DWL_OK) {
        StoreResult(DWL_SOFT_LIB_PC_ERR, DWL_PCLIB_UART);
        return sent;
    }
    const int b = WaitSectorReply(port);
    if (b == DWL_READ_TIMEOUT) {
        StoreResult(DWL_SOFT_DOWNLOAD_TIMEOUT, 0);
        return sg_ResultDownload.code;
    }
    return b;
}

int vc_write_buffer_ctx(const T_DownloadContext* context, const uint8_t* data, int length)
{
    if (data == nullptr || length <= 0)
        return 0;
    const uint8_t port = context->port;
    const int written = dwl12_9WriteBuffer(port, data, static_cast<size_t>(length));
    if (written < 0)
        return 0;
    if (rt_WaitOutQEmpty(port, kDrainLimitMs) != 0)
        return 0;  // the bytes did not leave: not accepted
    return written;
}

int vc_rd_sector_end_ctx(const T_DownloadContext* context)
{
    const int b = WaitSectorReply(context->port);
    if (b == DWL_READ_TIMEOUT) {
        StoreResult(DWL_SOFT_DOWNLOAD_TIMEOUT, 0);
        return sg_ResultDownload.code;
    }
    return b;
}

uint32_t vc_CheckSumReceived_ctx(const T_DownloadContext* context)
{
    return ReadLittleEndian32(context->port, nullptr);
}

int vc_ReadSector_ctx(const T_DownloadContext* context, int address, int size, uint8_t* destination)
{
    if (size < 0)
        return DWL_COMMAND_BAD_READ_PARAMETER;
    return dwl11_6ReadCommand(static_cast<uint32_t>(address), static_cast<uint32_t>(size), destination, context->port,
                              context->downloadType);
}

int vc_changeSPEED(void)
{
    return vc_changeSPEED_ctx(&sg_DownloadContext);
}

int vc_dwl11_51SpeedControl(void)
{
    return vc_dwl11_51SpeedControl_ctx(&sg_DownloadContext);
}

int vc_setGPIO(void)
{
    return vc_setGPIO_ctx(&sg_DownloadContext);
}

int vc_power_off(void)
{
    return vc_power_off_ctx(&sg_DownloadContext);
}

int vc_DownloadSectorCommand(int address, int sectorSize, int length)
{
    return vc_DownloadSectorCommand_ctx(&sg_DownloadContext, address, sectorSize, length);
}

int vc_write_buffer(const uint8_t* data, int length)
{
    return vc_write_buffer_ctx(&sg_DownloadContext, data, length);
}

int vc_rd_sector_end(void)
{
    return vc_rd_sector_end_ctx(&sg_DownloadContext);
}

uint32_t vc_CheckSumReceived(void)
{
    return vc_CheckSumReceived_ctx(&sg_DownloadContext);
}

int vc_ReadSector(int address, int size, uint8_t* destination)
{
    return vc_ReadSector_ctx(&sg_DownloadContext, address, size, destination);
}

}  // extern "C"
