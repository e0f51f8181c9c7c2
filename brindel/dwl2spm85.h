/* The PCF5085 download: the loader erases by itself and takes the software
 * in 8192-byte blocks, answering each with its checksum or a failure. */
#ifndef BRINDEL_DWL2SPM85_H
#define BRINDEL_DWL2SPM85_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DWL_5085_BLOCK_SIZE 8192

enum {
    DWL_5085_BAD_ERASE = 2,
    DWL_5085_CHAR_CORRUPTED = 3,
    DWL_5085_WRITE_ERROR = 4,
    DWL_5085_WRITE_ERROR_DQ7 = 5,
    DWL_5085_WRITE_ERROR_DQ7_BIS = 6,
    DWL_5085_CHECKSUM = 7,
    DWL_5085_FILE_TOO_BIG = 8
};

/* Byte offset of the last failure the loader reported on the calling thread. */
extern DWL_THREAD_LOCAL uint32_t v_DeltaBytes;

/* 1 when a software of this size fits the flash's first bank, else 8. */
int dwl2_2CheckBankLimit(uint8_t deviceId, uint32_t softwareSize);
/* Reads the loader's four bytes after a block: 1, the failure status 3..6,
 * or 7 for a checksum that differs from expectedSum. */
int dwl2_0CheckInTransmit(uint8_t port, uint32_t expectedSum);
DownloadResult dwl2_1DownLoad(T_DownloadContext* context);

#ifdef __cplusplus
}
#endif

#endif
