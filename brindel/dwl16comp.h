/* Software files and compatibility: the identification block ("tag") of a
 * software image or of the phone, the package header, the pack description
 * tables and the four compatibility checks. Results are DWL_COMP codes. */
#ifndef BRINDEL_DWL16COMP_H
#define BRINDEL_DWL16COMP_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    DWL_COMP_STRUCTURE = 2,
    DWL_COMP_FAMILY = 3,
    DWL_COMP_EDITION = 4,
    DWL_COMP_PACKAGE_SIZE = 5,
    DWL_COMP_PACKAGE_ADDRESS = 6,
    DWL_COMP_NO_TAG_IN_MOBILE = 7,
    DWL_COMP_NO_TAG_IN_FILE = 8,
    DWL_COMP_SIGNATURE = 9,
    DWL_COMP_PACK_ADDRESS = 10,
    DWL_COMP_FLASH_TOO_SMALL = 11,
    DWL_COMP_BAD_MANUFACTURER = 12
};

enum { DWL_TAG_VERSION1 = 258, DWL_TAG_VERSION2 = 514, DWL_TAG_VERSION3 = 770 };

/* The marker must lie entirely within this many bytes of an image. */
#define DWL_TAG_SEARCH_LIMIT 65536
/* Packs a version 3 table may describe. */
#define DWL_MAX_PACKS 64
/* Bytes a tag's fields take: 12 for structure version 1, 16 for 2 and 3. */
#define DWL_TAG_V1_LENGTH 12
#define DWL_TAG_MIN_LENGTH 16
#define DWL_PACKAGE_SIGNATURE "599:"

/* Pack description tables of the last check on the calling thread. */
extern DWL_THREAD_LOCAL uint16_t vg_ClaStructId;
extern DWL_THREAD_LOCAL uint16_t vg_ClaFamilyId;
extern DWL_THREAD_LOCAL uint16_t vg_ClaEdition;
extern DWL_THREAD_LOCAL uint32_t vg_ClaNbPack;
extern DWL_THREAD_LOCAL uint32_t pg_ClaPackSize[DWL_MAX_PACKS];
extern DWL_THREAD_LOCAL uint32_t pg_ClaPackAddr[DWL_MAX_PACKS];
extern DWL_THREAD_LOCAL int32_t pg_ClaPackMandatory[DWL_MAX_PACKS];
extern DWL_THREAD_LOCAL uint8_t pg_BinPackSizeTooLargeForClaPackSize[DWL_MAX_PACKS];

/* A tag's fields as its structure version lays them out. */
typedef struct T_TagInfo {
    uint16_t structId; /* bytes 0-1, least significant first */
    int version; /* 1..3, 0 for another structure id */
    uint16_t familyId;
    uint16_t edition; /* 0 for version 1 */
    uint32_t packSize; /* versions 1 and 2 */
    uint32_t packAddress; /* versions 1 and 2 */
    uint32_t packCount; /* version 3 */
    uint32_t packTableAddress; /* version 3 */
} T_TagInfo;

typedef struct T_PackageHeader {
    uint32_t family; /* 32 bits for version 1 software, else 16 */
    uint16_t edition; /* versions 2 and 3 */
    uint32_t size; /* the size the header declares */
    uint32_t itemCount;
    uint32_t itemMask; /* bit (id - 1) mod 32 for every item id */
} T_PackageHeader;

/* 1, or 12 for another structure id or a tag too short for the fields of
 * its version. */
int dwl16_10ParseTag(const uint8_t* tag, uint32_t length, T_TagInfo* info);
/* Package header for software of structure version 1..3: 1, 9 (no
 * signature) or 5 (the file is too short for its header and items). */
int dwl16_11ParsePackageHeader(const uint8_t* package, uint32_t size, int version, T_PackageHeader* header);

/* The tag of an image: a new malloc'ed copy owned by the caller, or NULL. */
uint8_t* dwl12_3GetTagInfoInFileCla(const uint8_t* image, uint32_t imageSize, uint32_t* tagLength);

/* Without an image (imageSize 0) a version 3 pack table is read from the
 * phone of the context `phone` (NULL: no phone, such a table gives 6). */
int dwl16_0CheckCompleteSoftwareCompatibility(const uint8_t* tag, uint32_t tagLength, uint8_t manufacturerId,
                                              uint8_t deviceId, const uint8_t* image, uint32_t imageSize,
                                              const T_DownloadContext* phone);
/* source 1: the phone's tag, 2: the software image's. */
int dwl16_1CheckSoftAndPackageCompatibility(int source, T_DownloadContext* context, const uint8_t* package,
                                            uint32_t packageSize);
int dwl16_2VerifyCoherence(const uint8_t* tag, uint32_t tagLength, T_DownloadContext* context, const uint8_t* package,
                           uint32_t packageSize);
int dwl16_3CheckSoftCompatibility(const uint8_t* phoneTag, uint32_t phoneLength, const uint8_t* fileTag,
                                  uint32_t fileLength);
int dwl16_4CheckMobileAndFileCompatibility(uint32_t* packAddress, uint8_t port, const uint8_t* image,
                                           uint32_t imageSize);
/* Loads the compared file into the context when its compared-download
 * option is on. */
void dwl6_200GenerateCompInfo(T_DownloadContext* context);

#ifdef __cplusplus
}
#endif

#endif
