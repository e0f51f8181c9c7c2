/* Command layer: the one-byte commands of the resident loader, the speed
 * tables, the sector transfer and the exports the flash download bridge
 * calls. Results are DWL_COMMAND codes (1 = success) unless stated; a
 * negative result is the port's error code (a command or its parameters could
 * not be written; nothing more was sent or read). */
#ifndef BRINDEL_DWL11COMMAND_H
#define BRINDEL_DWL11COMMAND_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    DWL_CMD_CHANGE_SPEED = 0xE0,
    DWL_CMD_GET_TAG = 0xE1,
    DWL_CMD_ERASE_ALL = 0xE2,
    DWL_CMD_ERASE_ADDRESS = 0xE3,
    DWL_CMD_ERASE_SECTORS = 0xE4,
    DWL_CMD_READ = 0xE6,
    DWL_CMD_RESTORE_SIMLOCK = 0xE7,
    DWL_CMD_SWITCH_OFF = 0xE8,
    DWL_CMD_SPEED_CONTROL = 0xE9,
    DWL_CMD_DOWNLOAD_SECTOR = 0xEA,
    DWL_CMD_SET_GPIO = 0xEB,
    DWL_CMD_SET_PMU = 0xEF
};

enum {
    DWL_ACK_ACCEPTED = 0xC0,
    DWL_ACK_ERASE_REFUSED = 0xC1,
    DWL_ACK_SPEED_PARAMETERS = 0xC3,
    DWL_ACK_TAG_FOLLOWS = 0xC4,
    DWL_ACK_ERASE_STARTED = 0xC5,
    DWL_ACK_READ_FOLLOWS = 0xC7,
    DWL_ACK_SIMLOCK_STATUS = 0xC8,
    DWL_ACK_GPIO_SET = 0xC9,
    DWL_ACK_SPEED_CONFIRMED = 0xCA,
    DWL_ACK_SECTOR_READY = 0xCB,
    DWL_ACK_SECTOR_DONE = 0xCC,
    DWL_ACK_SECTOR_ERROR = 0xCD,
    DWL_ACK_PMU_SET = 0xCF,
    DWL_ERASE_FAILED = 0xF3,
    DWL_ERASE_FAILED_DQ6 = 0xF4,
    DWL_ERASE_FAILED_DQ6_BIS = 0xF5,
    DWL_ERASE_DONE = 0xF6
};

/* DWL_COMMAND codes. */
enum {
    DWL_COMMAND_BAD_ACK = 2,
    DWL_COMMAND_BAD_SIMLOCK_ACK = 3,
    DWL_COMMAND_SIMLOCK_NOT_STORED = 4,
    DWL_COMMAND_TAG_NOT_FOUND = 5,
    DWL_COMMAND_BAD_SIMLOCK_STATUS = 6,
    DWL_COMMAND_BAD_SPEED_ACK = 7,
    DWL_COMMAND_BAD_SPEED_CHECKSUM = 8,
    DWL_COMMAND_SPEED_CONTROL = 9,
    DWL_COMMAND_BAD_PMU_ACK = 10,
    DWL_COMMAND_BAD_ERASE_ACK = 11,
    DWL_COMMAND_ERASE_ABORTED = 12,
    DWL_COMMAND_ERASE_FAILED = 13,
    DWL_COMMAND_ERASE_FAILED_DQ6 = 14,
    DWL_COMMAND_ERASE_FAILED_DQ6_BIS = 15,
    DWL_COMMAND_ERASE_DEFAULT = 16,
    DWL_COMMAND_BAD_READ_ACK = 17,
    DWL_COMMAND_BAD_READ_PARAMETER = 18,
    DWL_COMMAND_READ_CHECKSUM = 19,
    DWL_COMMAND_SWITCH_OFF = 20,
    DWL_COMMAND_BAD_GPIO_ACK = 21,
    DWL_COMMAND_DUMP_TOO_SMALL = 22,
    DWL_COMMAND_DUMP_FILE = 23,
    DWL_COMMAND_BAD_DOWNLOAD_TYPE = 24
};

#define DWL_SPEED_COUNT 32
#define DWL_PIECE_SIZE 8192
#define DWL_TAG_MARKER "download identification area"
#define DWL_TAG_MARKER_LENGTH 28
/* Seconds the sector transfer waits for the phone's first reply byte. */
#define DWL_SECTOR_WAIT_SECONDS 10

extern const uint32_t a_PCSpeedValue[DWL_SPEED_COUNT];
/* [UART select][speed index][3 parameter bytes] */
extern const uint8_t a_SpeedParameters[2][DWL_SPEED_COUNT][3];

/* The context's first two words as the command layer reads them. */
int dwl11_0SetSpeedAndPMU(const T_DownloadContext* context);
/* uartSelect picks the row of speed parameters (the baseband UART booted). */
int dwl11_50ChangeSpeed(unsigned timeoutSeconds, uint8_t port, uint8_t speedIndex, uint8_t uartSelect);
int dwl11_51SpeedControl(uint8_t port);
int dwl11_52SetPMU(uint8_t port);
int dwl11_53SetGPIO(uint8_t port);
int dwl11_8SetGPIO(const T_DownloadContext* context);
int dwl11_4EraseFlash(uint8_t command, uint32_t address, uint32_t size, uint8_t count, uint8_t port);
int dwl11_5FlashEraseResult(uint8_t port, const T_DownloadContext* context);
int dwl11_3DownloadSectorCommand(uint32_t address, uint32_t sectorSize, uint32_t length, uint8_t port);
/* The package progress figures move while reading when downloadType is 5
 * (read block). */
int dwl11_6ReadCommand(uint32_t address, uint32_t size, uint8_t* destination, uint8_t port, uint8_t downloadType);
int dwl11_7SwitchOffCommand(uint8_t port);
/* The phone's identification area in a new malloc'ed buffer owned by the
 * caller (length in *length), or NULL. */
uint8_t* dwl11_1GetTagInfoInEmbCla(uint8_t port, uint32_t* length);
/* checkSimlockOption 1 makes restore status 3 a failure. */
int dwl11_2RestoreSimlockKeys(uint8_t port, uint8_t checkSimlockOption);

/* Erase result of the PCF5085 loader, which reports it without the 0xC5
 * prefix: 1, or 13..16 as dwl11_5FlashEraseResult. */
int dwl11_55EraseResultByte(uint8_t port);

/* One sector transfer with the retry rules of a whole image: sends the
 * command and the data and checks the phone's checksum. failuresInImage
 * carries the image's failure count from sector to sector. The result's
 * family is 0 on success; the row callback is told of each retry. */
typedef void (*T_RetryNotice)(uint32_t address, uint32_t length, void* user);
DownloadResult dwl11_9TransferSector(uint8_t port, uint32_t address, uint32_t sectorSize, const uint8_t* data,
                                     uint32_t length, int* failuresInImage, T_RetryNotice onRetry, void* user);

/* Programs one image sector by sector from an absolute address (kind 0
 * software, 1 package or block). */
DownloadResult dwl11_54Download(T_DownloadContext* context, uint32_t size, const uint8_t* image, uint32_t address,
                                int kind);
/* Number of sectors dwl11_54Download actually sent in its last run on the
 * calling thread. */
extern DWL_THREAD_LOCAL uint32_t vg_SectorsTransferred;

#ifdef __cplusplus
}
#endif

#endif
