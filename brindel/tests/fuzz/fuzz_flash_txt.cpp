// "flash.txt" reader and the sector queries: a result code, never a crash.
#include "brindel/dwl10fla.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int rc = dwl10_102ParseFlashDescription(reinterpret_cast<const char*>(data), size);
    (void)rc;
    for (uint8_t i = 0; i < vg_FlashDescritpion.numberOfDescriptions; ++i) {
        const T_FlashEntry& e = vg_FlashDescritpion.descriptions[i];
        T_SectorList list;
        uint32_t size32 = 0;
        uint16_t sector = 0;
        int32_t sectorSize = 0;
        uint8_t bank = 0;
        char man[DWL_FLASH_NAME_LENGTH], dev[DWL_FLASH_NAME_LENGTH];
        (void)dwl10_5GetFlashSize(e.manufacturerId, e.deviceId, &size32);
        (void)dwl10_3GetSectorList(e.manufacturerId, e.deviceId, 0, size32, &list);
        (void)dwl10_3GetSectorList(e.manufacturerId, e.deviceId, e.sectors[0].size, 0xFFFFFFFFu, &list);
        (void)dwl10_2GetSectorNumberWithStartAddr(e.manufacturerId, e.deviceId, size32 / 2, &sector);
        (void)dwl10_0GetSectorSize(e.manufacturerId, e.deviceId, e.numberOfSectors, &sectorSize);
        (void)dwl10_4GetSectorBank(e.manufacturerId, e.deviceId, 511, &bank);
        (void)dwl10_6GetManufacturerAndFlashName(e.manufacturerId, e.deviceId, man, dev);
    }
    return 0;
}
