/* Flash description: the table read from "flash.txt" and the sector queries. */
#ifndef BRINDEL_DWL10FLA_H
#define BRINDEL_DWL10FLA_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DWL_MAX_FLASH_DESCRIPTIONS 20
#define DWL_MAX_SECTORS 512
#define DWL_FLASH_NAME_LENGTH 15

typedef struct T_FlashSector {
    uint8_t bank;
    uint32_t size;
} T_FlashSector;

typedef struct T_FlashEntry {
    char manufacturerName[DWL_FLASH_NAME_LENGTH];
    char deviceName[DWL_FLASH_NAME_LENGTH];
    uint8_t manufacturerId;
    uint8_t deviceId;
    uint8_t numberOfBanks;
    uint16_t numberOfSectors;
    uint32_t flashSize;
    T_FlashSector sectors[DWL_MAX_SECTORS];
} T_FlashEntry;

typedef struct T_FlashDescription {
    uint8_t numberOfDescriptions;
    uint32_t baseAddress;
    T_FlashEntry descriptions[DWL_MAX_FLASH_DESCRIPTIONS];
} T_FlashDescription;

typedef struct T_SectorList {
    uint16_t count;
    uint32_t totalSize;
    uint16_t sectors[DWL_MAX_SECTORS];
} T_SectorList;

extern T_FlashDescription vg_FlashDescritpion;

/* Reads "flash.txt" from the current directory. */
int dwl10_100InitFlashDescription(int flag);
/* Reads a description file from a path. */
int dwl10_101InitFlashDescriptionFromFile(const char* path);
/* Parses description text held in memory (the file's whole contents). */
int dwl10_102ParseFlashDescription(const char* text, size_t length);

int dwl10_500GetFlashIndex(uint8_t manufacturerId, uint8_t deviceId, uint8_t* index);
int dwl10_0GetSectorSize(uint8_t manufacturerId, uint8_t deviceId, uint16_t sector, int32_t* size);
int dwl10_1GetNumberOfSector(uint8_t manufacturerId, uint8_t deviceId, uint32_t* count);
int dwl10_2GetSectorNumberWithStartAddr(uint8_t manufacturerId, uint8_t deviceId, uint32_t offset, uint16_t* sector);
int dwl10_3GetSectorList(uint8_t manufacturerId, uint8_t deviceId, uint32_t offset, uint32_t length,
                         T_SectorList* list);
int dwl10_4GetSectorBank(uint8_t manufacturerId, uint8_t deviceId, uint16_t sector, uint8_t* bank);
int dwl10_5GetFlashSize(uint8_t manufacturerId, uint8_t deviceId, uint32_t* size);
/* Copies the two names (each buffer at least DWL_FLASH_NAME_LENGTH bytes). */
int dwl10_6GetManufacturerAndFlashName(uint8_t manufacturerId, uint8_t deviceId, char* manufacturerName,
                                       char* deviceName);

#ifdef __cplusplus
}
#endif

#endif
