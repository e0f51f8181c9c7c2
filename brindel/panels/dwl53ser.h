/* The service window: single commands to a phone held in its loader. Switch
 * on boots it (as the operator's start does) and lists the known flash
 * descriptions and the sectors of its flash; erase clears a bank, every bank
 * or one sector, a sector at a time; switch off ends the session. The port
 * stays open from switch on to switch off, on the thread that runs them. */
#ifndef BRINDEL_DWL53SER_H
#define BRINDEL_DWL53SER_H

#include "brindel/brindel.h"
#include "brindel/dwl10fla.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Erasing this bank erases every bank. */
#define DWL_ALL_BANKS 16

typedef struct T_ServiceSink {
    /* One row per known flash description. */
    void (*description)(const char* row, void* user);
    /* A sector's row, new or replacing the sector's previous row. */
    void (*sector)(int sector, const char* row, void* user);
    void* user;
} T_ServiceSink;

/* "%15s | %13s |            0x%2x |      0x%2x |      %2d |     %3d ": names,
 * ids, banks, sectors of one description. */
void dwl53_10FormatDescriptionRow(const T_FlashEntry* entry, char* out, size_t outSize);

/* Boots the phone (projects 1..4 only), shows the chip and flash names, then
 * every description and every sector of the identified flash ("N. A."). */
DownloadResult dwl53_0SwitchOn(T_DownloadContext* context, const T_ServiceSink* sink);
/* Switches the phone off and closes the port. */
DownloadResult dwl53_1SwitchOff(T_DownloadContext* context);
/* Erases every sector of `bank` (DWL_ALL_BANKS: all), one at a time, waiting
 * for each result; each sector's row becomes "Deleted" or "Not deleted". The
 * first failure is the result; the other sectors are still tried. */
DownloadResult dwl53_2EraseBank(T_DownloadContext* context, int bank, const T_ServiceSink* sink);
/* The same for one sector. */
DownloadResult dwl53_3EraseSector(T_DownloadContext* context, int sector, const T_ServiceSink* sink);
/* The dump buttons: the next start reads [address, + size) into the dump file. */
void dwl53_4SelectDump(T_DownloadContext* context, uint32_t offset, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif
