/* Result families and code tables, and the helpers that build and show results. */
#ifndef BRINDEL_DWL_RESULT_H
#define BRINDEL_DWL_RESULT_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Families (the DWL_SOFT table). */
enum {
    DWL_SOFT_OK = 0,
    DWL_SOFT_NOK = 1,
    DWL_SOFT_FLASH_ERR = 2,
    DWL_SOFT_CONF_ERR = 3,
    DWL_SOFT_LIB_PC_ERR = 4,
    DWL_SOFT_BOOT_ERR = 5,
    DWL_SOFT_COMPATIBILITY_ERR = 6,
    DWL_SOFT_COMMAND_ERR = 7,
    DWL_SOFT_DOWNLOAD_SECTOR_START = 8,
    DWL_SOFT_DOWNLOAD_SECTOR_ERR = 9,
    DWL_SOFT_DOWNLOAD_SECTOR_END_ERR = 10,
    DWL_SOFT_DOWNLOAD_SECTOR_CHECKSUM = 11,
    DWL_SOFT_DOWNLOAD_TIMEOUT = 12,
    DWL_SOFT_5085_ERR = 13,
    DWL_SOFT_DLL_DOWNLOAD_ERR = 14,
    DWL_SOFT_BAD_MOBILE_MANUFAC = 15,
    DWL_SOFT_END = 16
};

/* Codes shared by every table: 0 is the table's _NOK name, 1 its _OK name. */
enum { DWL_NOK = 0, DWL_OK = 1 };

enum {
    DWL_FLASH_NOT_FOUND = 2,
    DWL_FLASH_NEW_FLASH = 3,
    DWL_FLASH_MANUFACTURER_NAME = 4,
    DWL_FLASH_DEVICE_NAME = 5,
    DWL_FLASH_PHILIPS_PRODUCT = 6,
    DWL_FLASH_MANUFACTURER_ID = 7,
    DWL_FLASH_DEVICE_ID = 8,
    DWL_FLASH_NB_BANKS = 9,
    DWL_FLASH_NB_SECTORS = 10,
    DWL_FLASH_START_SECTOR = 11,
    DWL_FLASH_END_FLASH = 12,
    DWL_FLASH_BAD_SECTOR_START = 13,
    DWL_FLASH_BAD_SECTOR_END = 14,
    DWL_FLASH_ID_UNKNOWN = 15,
    DWL_FLASH_TOO_MANY = 16,
    DWL_FLASH_TOO_MANY_SECTORS = 17,
    DWL_FLASH_NO_SECTOR_AT_ADDR = 18,
    DWL_FLASH_BAD_SECTOR_NUMBER = 19,
    DWL_FLASH_NOT_ENOUGH_SECTORS = 20,
    DWL_FLASH_END = 21
};

enum {
    DWL_CONF_NO_FILE = 2,
    DWL_CONF_NO_SOFTWARE = 3,
    DWL_CONF_NO_PACKAGE = 4,
    DWL_CONF_COM_VALUE = 5,
    DWL_CONF_COM_LINE = 6,
    DWL_CONF_SIMLOCK_VALUE = 7,
    DWL_CONF_SIMLOCK_LINE = 8,
    DWL_CONF_PMU_VALUE = 9,
    DWL_CONF_PMU_LINE = 10,
    DWL_CONF_PRODUCT_VALUE = 11,
    DWL_CONF_PRODUCT_LINE = 12,
    DWL_CONF_DOWNLOAD_VALUE = 13,
    DWL_CONF_DOWNLOAD_LINE = 14,
    DWL_CONF_END = 15
};

enum {
    DWL_PCLIB_FILE_SIZE = 2,
    DWL_PCLIB_FILE_NOT_FOUND = 3,
    DWL_PCLIB_SPM_TOO_LONG = 4,
    DWL_PCLIB_BAD_LENGTH = 5,
    DWL_PCLIB_UNKNOWN_SPM = 6,
    DWL_PCLIB_UART = 7,
    DWL_PCLIB_END = 8
};

enum {
    DWL_BOOT_SPM_MISSING = 2,
    DWL_BOOT_SPM_TOO_LONG = 3,
    DWL_BOOT_TIME_OUT = 4,
    DWL_BOOT_FROM_5085 = 5,
    DWL_BOOT_FROM_5086 = 6,
    DWL_BOOT_FROM_5087 = 7,
    DWL_BOOT_UNKNOWN_ACK = 8,
    DWL_BOOT_CHIP_SELECT = 9,
    DWL_BOOT_BAD_ACK = 10,
    DWL_BOOT_STACK_POINTER = 11,
    DWL_BOOT_FLASH_ID_ACK = 12,
    DWL_BOOT_FLASH_ID_TIMEOUT = 13,
    DWL_BOOT_MANUFACTURER = 14,
    DWL_BOOT_FLASH_ID = 15,
    DWL_BOOT_END = 16
};

/* Number of families with a name, DWL_SOFT_END included. */
#define DWL_SOFT_FAMILY_COUNT 17

/* The family's DWL_SOFT name, or NULL outside 0..16. */
const char* dwl_GetFamilyName(int family);
/* The message shown for a family and code: the code's text for families with
 * a table, the single text for the others (whatever the code), the
 * "not defined" text for an unknown family, and "Unknown code" for a code
 * outside its family's table. Never NULL. */
const char* dwl_GetResultMessage(int family, int code);
/* Number of codes of a family's table (_NOK .. _END), 0 for single-text families. */
int dwl_GetCodeCount(int family);

/* Builds a result with the default comment. */
DownloadResult dwl_MakeResult(int family, int code);
/* A layer's failure code as a result of its family; a negative code (the
 * port's error: bytes could not be written) becomes DWL_SOFT_LIB_PC_ERR,
 * DWL_PCLIB_UART ("PC uart problem"). */
DownloadResult dwl_MakeLayerResult(int family, int code);
/* Sets a result to family, code and "no comment". */
void dwl_SetResult(DownloadResult* result, int family, int code);

/* Shows a result of sg_DownloadContext's download in the result window of
 * the calling thread's display sink when it has one, otherwise hands it to
 * that context's result callback (if registered); dwl52_11DisplayContextResult
 * does it for any context. */
void dwl52_10DisplayResult(int family, int code);

#ifdef __cplusplus
}
#endif

#endif
