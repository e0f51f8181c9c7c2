// Download sequences for project types 1..4: preparation and the download
// of software, package and blocks.
#include "brindel/dwl3spm87.h"

#include "brindel/dwl10fla.h"
#include "brindel/dwl11command.h"
#include "brindel/dwl16comp.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl1boot.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/runtime/dwl_rt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

DownloadResult Make(int family, int code)
{
    return dwl_MakeLayerResult(family, code);
}

void DisplayElapsedSince(const T_DownloadContext* context)
{
    dwl52_7DisplayElapsed(rt_TimeSeconds() - context->startTime);
}

}  // namespace

extern "C" {

DownloadResult dwl3_0Generic5087(T_DownloadContext* context)
{
    int rc = DWL_OK;
    if (context->uartSelect == 0) {
        rc = dwl11_8SetGPIO(context);
        if (rc != DWL_OK)
            return Make(DWL_SOFT_COMMAND_ERR, rc);
    }
    rc = dwl11_0SetSpeedAndPMU(context);
    if (rc != DWL_OK)
        return Make(DWL_SOFT_COMMAND_ERR, rc);
    rc = dwl52_8FillSectorTable(context->manufacturerId, context->deviceId);
    if (rc != DWL_OK)
        return Make(DWL_SOFT_FLASH_ERR, rc);

    dwl52_1DisplayMessage("Check the compatibility");
    switch (context->downloadType) {
    case 0:
    case 5:
    case 6: rc = DWL_OK; break;
    case 1:
        rc = dwl16_1CheckSoftAndPackageCompatibility(1, context, context->packageImage, context->packageSize);
        break;
    case 2:
        rc = dwl16_1CheckSoftAndPackageCompatibility(2, context, context->packageImage, context->packageSize);
        break;
    case 3: {
        uint32_t packAddress = 0;
        rc = dwl16_4CheckMobileAndFileCompatibility(&packAddress, context->port, context->softwareImage,
                                                    context->softwareSize);
        break;
    }
    default: return Make(DWL_SOFT_NOK, 0);
    }
    if (rc != DWL_OK)
        return Make(DWL_SOFT_COMPATIBILITY_ERR, rc);
    return Make(DWL_SOFT_OK, 0);
}

DownloadResult dwl3_1DownloadSoftware(T_DownloadContext* context)
{
    const uint8_t port = context->port;
    uint32_t tagLength = 0;
    uint8_t* tag = dwl11_1GetTagInfoInEmbCla(port, &tagLength);
    const bool tagFound = tag != nullptr;
    std::free(tag);
    // Noted once per download: every phone without the area loses its keys,
    // not only the first one of the process.
    if (!tagFound)
        dwl52_1DisplayMessage("Tag not found. Simlock keys will be lost.");
    const DownloadResult r =
        dwl11_54Download(context, context->softwareSize, context->softwareImage, dwl1_62ContextBaseAddress(context), 0);
    if (r.family != DWL_SOFT_OK)
        return r;
    if (tagFound && context->simlockOption == 0) {
        const int rc = dwl11_2RestoreSimlockKeys(port, context->checkSimlockOption);
        if (rc != DWL_OK)
            return Make(DWL_SOFT_COMMAND_ERR, rc);
    }
    DisplayElapsedSince(context);
    return Make(DWL_SOFT_OK, 0);
}

DownloadResult dwl3_3DownloadSoftWithoutPack(T_DownloadContext* context)
{
    return dwl3_1DownloadSoftware(context);
}

uint32_t dwl3_6DefaultPackAddress(void)
{
    for (uint32_t i = 0; i < vg_ClaNbPack && i < DWL_MAX_PACKS; ++i)
        if (pg_BinPackSizeTooLargeForClaPackSize[i] == 0)
            return pg_ClaPackAddr[i];
    return 0;
}

DownloadResult dwl3_2DownloadPackdata(T_DownloadContext* context)
{
    const uint32_t address = dwl1_62ContextBaseAddress(context) + static_cast<uint32_t>(context->blockAddress);
    const DownloadResult r = dwl11_54Download(context, context->packageSize, context->packageImage, address, 1);
    DisplayElapsedSince(context);
    return r;
}

DownloadResult dwl3_4DownloadSoftWithNewPack(T_DownloadContext* context)
{
    const DownloadResult r = dwl3_1DownloadSoftware(context);
    if (r.family != DWL_SOFT_OK)
        return r;
    return dwl3_2DownloadPackdata(context);
}

DownloadResult dwl3_5ReadBlock(T_DownloadContext* context)
{
    const uint8_t man = context->manufacturerId;
    const uint8_t dev = context->deviceId;
    const uint32_t offset = static_cast<uint32_t>(context->blockAddress);
    const uint32_t size = context->packageSize;
    uint16_t first = 0;
    int rc = dwl10_2GetSectorNumberWithStartAddr(man, dev, offset, &first);
    if (rc != DWL_OK)
        return Make(DWL_SOFT_FLASH_ERR, rc);
    int32_t firstSize = 0;
    rc = dwl10_0GetSectorSize(man, dev, first, &firstSize);
    if (rc != DWL_OK)
        return Make(DWL_SOFT_FLASH_ERR, rc);
    if (size < static_cast<uint32_t>(firstSize))
        return Make(DWL_SOFT_COMMAND_ERR, DWL_COMMAND_DUMP_TOO_SMALL);
    if (size > static_cast<uint32_t>(firstSize)) {
        // The block ends at a sector start, or exactly at the end of the flash.
        uint32_t flashSize = 0;
        (void)dwl10_5GetFlashSize(man, dev, &flashSize);
        uint16_t end = 0;
        const uint64_t endOffset = uint64_t{offset} + size;
        if (endOffset != flashSize) {
            rc = endOffset > 0xFFFFFFFFu
                ? int{DWL_FLASH_NO_SECTOR_AT_ADDR}
                : dwl10_2GetSectorNumberWithStartAddr(man, dev, static_cast<uint32_t>(endOffset), &end);
            if (rc != DWL_OK)
                return Make(DWL_SOFT_FLASH_ERR, rc);
        }
    }
    T_SectorList list{};
    rc = dwl10_3GetSectorList(man, dev, offset, size, &list);
    if (rc != DWL_OK)
        return Make(DWL_SOFT_FLASH_ERR, rc);

    std::vector<uint8_t> buffer(size, 0xFF);
    uint32_t done = 0;
    dwl52_4SetProgress(0, 0, size);
    for (uint16_t i = 0; i < list.count && done < size; ++i) {
        int32_t sectorSize = 0;
        rc = dwl10_0GetSectorSize(man, dev, list.sectors[i], &sectorSize);
        if (rc != DWL_OK)
            return Make(DWL_SOFT_FLASH_ERR, rc);
        const uint32_t n = std::min(static_cast<uint32_t>(sectorSize), size - done);
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (attempt > 0)
                rt_Delay(attempt == 1 ? 1.0 : 2.0);
            rc = dwl11_6ReadCommand(dwl1_62ContextBaseAddress(context) + offset + done, n, buffer.data() + done,
                                    context->port, context->downloadType);
            if (rc == DWL_OK || rc < 0)
                break;  // done, or a port that cannot be written: no retry helps
        }
        if (rc != DWL_OK)
            return Make(DWL_SOFT_COMMAND_ERR, rc);
        done += n;
        dwl52_4SetProgress(0, done, size);
    }
    dwlrt::FilePtr out = dwlrt::OpenFile(DWL_DUMP_FILE, "wb");
    if (!out)
        return Make(DWL_SOFT_COMMAND_ERR, DWL_COMMAND_DUMP_FILE);
    if (std::fwrite(buffer.data(), 1, buffer.size(), out.get()) != buffer.size() || std::fclose(out.release()) != 0)
        return Make(DWL_SOFT_COMMAND_ERR, DWL_COMMAND_DUMP_FILE);
    DisplayElapsedSince(context);
    return Make(DWL_SOFT_OK, 0);
}

}  // extern "C"
