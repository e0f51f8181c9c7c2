// The service window's commands.
#include "brindel/panels/dwl53ser.h"

#include "brindel/dwl11command.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/runtime/dwl_rt.h"

#include <cstdio>

namespace {

DownloadResult Ok()
{
    return dwl_MakeResult(DWL_SOFT_OK, 0);
}

void SectorRow(const T_ServiceSink* sink, int sector, uint32_t size, int bank, uint32_t bytes, int seconds,
               const char* state)
{
    if (sink == nullptr || sink->sector == nullptr)
        return;
    char row[128];
    dwl52_12FormatSectorRow(row, sizeof row, sector, size, bank, bytes, seconds, state);
    sink->sector(sector, row, sink->user);
}

// Erases the sectors `first`..`last` of the identified flash that lie in
// `bank` (DWL_ALL_BANKS: any).
DownloadResult EraseSectors(T_DownloadContext* context, uint32_t first, uint32_t last, int bank,
                            const T_ServiceSink* sink)
{
    const uint8_t man = context->manufacturerId;
    const uint8_t dev = context->deviceId;
    uint32_t count = 0;
    if (const int rc = dwl10_1GetNumberOfSector(man, dev, &count); rc != DWL_OK)
        return dwl_MakeResult(DWL_SOFT_FLASH_ERR, rc);
    if (first >= count || last >= count || first > last)
        return dwl_MakeResult(DWL_SOFT_FLASH_ERR, DWL_FLASH_BAD_SECTOR_NUMBER);
    DownloadResult result = Ok();
    uint32_t offset = 0;
    uint32_t lastRow = rt_TimeSeconds();
    for (uint32_t s = 0; s <= last; ++s) {
        const auto sector = static_cast<uint16_t>(s);
        int32_t size = 0;
        uint8_t sectorBank = 0;
        (void)dwl10_0GetSectorSize(man, dev, sector, &size);
        (void)dwl10_4GetSectorBank(man, dev, sector, &sectorBank);
        const uint32_t at = dwl1_62ContextBaseAddress(context) + offset;
        offset += static_cast<uint32_t>(size);
        if (s < first || (bank != DWL_ALL_BANKS && sectorBank != bank))
            continue;
        int rc = dwl11_4EraseFlash(DWL_CMD_ERASE_SECTORS, at, static_cast<uint32_t>(size), 1, context->port);
        if (rc == DWL_OK)
            rc = dwl11_5FlashEraseResult(context->port, context);
        const uint32_t now = rt_TimeSeconds();
        SectorRow(sink, sector, static_cast<uint32_t>(size), sectorBank, static_cast<uint32_t>(size),
                  static_cast<int>(now - lastRow), rc == DWL_OK ? "Deleted" : "Not deleted");
        lastRow = now;
        if (rc != DWL_OK && result.family == DWL_SOFT_OK)
            result = dwl_MakeLayerResult(DWL_SOFT_COMMAND_ERR, rc);
        if (rc < 0)
            break;  // the port is gone: nothing more can be erased
    }
    return result;
}

}  // namespace

extern "C" {

void dwl53_10FormatDescriptionRow(const T_FlashEntry* e, char* out, size_t outSize)
{
    std::snprintf(out, outSize, "%15s | %13s |            0x%2x |      0x%2x |      %2d |     %3d ",
                  e->manufacturerName, e->deviceName, e->manufacturerId, e->deviceId, e->numberOfBanks,
                  e->numberOfSectors);
}

DownloadResult dwl53_0SwitchOn(T_DownloadContext* c, const T_ServiceSink* sink)
{
    dwl17_2TraceStep("SERVICE : Switch the mobile on");
    if (c->projectType < 1 || c->projectType > 4)
        return dwl_MakeResult(DWL_SOFT_NOK, 0);
    const int open = c->uartSelect == 1 ? dwl12_0UartInit(c->port, 115200, RT_PARITY_NONE, 10)
                                        : dwl12_0UartInit(c->port, 38400, RT_PARITY_EVEN, 5);
    if (open != DWL_OK) {
        (void)dwl12_1UartStop(c->port);
        return dwl_MakeResult(DWL_SOFT_LIB_PC_ERR, open);
    }
    const DownloadResult boot = c->uartSelect == 1 ? dwl1_4bootUart1(c) : dwl1_0boot(c);
    if (boot.family != DWL_SOFT_OK) {
        (void)dwl12_1UartStop(c->port);
        return boot;
    }
    dwl52_1DisplayMessage(dwl1_60BootChipName(c->bootAcknowledge));
    char man[DWL_FLASH_NAME_LENGTH] = {}, dev[DWL_FLASH_NAME_LENGTH] = {};
    if (dwl10_6GetManufacturerAndFlashName(c->manufacturerId, c->deviceId, man, dev) == DWL_OK) {
        char line[64];
        std::snprintf(line, sizeof line, " Flash %s %s", man, dev);
        dwl52_1DisplayMessage(line);
    }
    if (sink != nullptr && sink->description != nullptr) {
        for (uint8_t i = 0; i < vg_FlashDescritpion.numberOfDescriptions; ++i) {
            char row[128];
            dwl53_10FormatDescriptionRow(&vg_FlashDescritpion.descriptions[i], row, sizeof row);
            sink->description(row, sink->user);
        }
    }
    uint32_t count = 0;
    if (const int rc = dwl10_1GetNumberOfSector(c->manufacturerId, c->deviceId, &count); rc != DWL_OK)
        return dwl_MakeResult(DWL_SOFT_FLASH_ERR, rc);
    for (uint32_t s = 0; s < count; ++s) {
        int32_t size = 0;
        uint8_t bank = 0;
        (void)dwl10_0GetSectorSize(c->manufacturerId, c->deviceId, static_cast<uint16_t>(s), &size);
        (void)dwl10_4GetSectorBank(c->manufacturerId, c->deviceId, static_cast<uint16_t>(s), &bank);
        SectorRow(sink, static_cast<int>(s), static_cast<uint32_t>(size), bank, 0, 0, DWL_SECTOR_NOT_APPLICABLE);
    }
    return Ok();
}

DownloadResult dwl53_1SwitchOff(T_DownloadContext* c)
{
    dwl17_2TraceStep("SERVICE : Switch off");
    const int rc = dwl11_7SwitchOffCommand(c->port);
    (void)dwl12_1UartStop(c->port);
    return rc == DWL_OK ? Ok() : dwl_MakeLayerResult(DWL_SOFT_COMMAND_ERR, rc);
}

DownloadResult dwl53_2EraseBank(T_DownloadContext* c, int bank, const T_ServiceSink* sink)
{
    dwl17_2TraceStep("SERVICE : erase sequence");
    uint32_t count = 0;
    if (const int rc = dwl10_1GetNumberOfSector(c->manufacturerId, c->deviceId, &count); rc != DWL_OK)
        return dwl_MakeResult(DWL_SOFT_FLASH_ERR, rc);
    if (count == 0)
        return Ok();
    return EraseSectors(c, 0, count - 1, bank, sink);
}

DownloadResult dwl53_3EraseSector(T_DownloadContext* c, int sector, const T_ServiceSink* sink)
{
    dwl17_2TraceStep("SERVICE : erase sector sequence");
    if (sector < 0)
        return dwl_MakeResult(DWL_SOFT_FLASH_ERR, DWL_FLASH_BAD_SECTOR_NUMBER);
    const auto s = static_cast<uint32_t>(sector);
    return EraseSectors(c, s, s, DWL_ALL_BANKS, sink);
}

void dwl53_4SelectDump(T_DownloadContext* c, uint32_t offset, uint32_t size)
{
    c->downloadType = 5;
    c->blockAddress = static_cast<int32_t>(offset);
    dwl51_13SetBlockSize(c, size);
}

}  // extern "C"
