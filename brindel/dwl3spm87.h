/* Download sequences for project types 1..4 (PCF5087 family): preparation,
 * software, package, software with a new package, read block. */
#ifndef BRINDEL_DWL3SPM87_H
#define BRINDEL_DWL3SPM87_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DWL_DUMP_FILE "DataBlock.dum"

/* GPIO, speed change and PMU, the flash's sector table and the
 * compatibility check of the download type. */
DownloadResult dwl3_0Generic5087(T_DownloadContext* context);
DownloadResult dwl3_1DownloadSoftware(T_DownloadContext* context);
DownloadResult dwl3_2DownloadPackdata(T_DownloadContext* context);
DownloadResult dwl3_3DownloadSoftWithoutPack(T_DownloadContext* context);
DownloadResult dwl3_4DownloadSoftWithNewPack(T_DownloadContext* context);
/* Reads [block address, + package size) into DWL_DUMP_FILE. */
DownloadResult dwl3_5ReadBlock(T_DownloadContext* context);
/* The block address a package goes to when none was chosen: the first pack
 * area of the last check that can hold the package (0 when none). */
uint32_t dwl3_6DefaultPackAddress(void);

#ifdef __cplusplus
}
#endif

#endif
