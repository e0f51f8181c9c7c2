/* Boot protocol: from the baseband's boot ROM to the resident loader, and
 * flash identification. */
#ifndef BRINDEL_DWL1BOOT_H
#define BRINDEL_DWL1BOOT_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Boot acknowledge bytes. */
enum {
    DWL_ACK_PCF5085 = 0xCC,
    DWL_ACK_PCF5086 = 0x28,
    DWL_ACK_PCF5087 = 0xEB,
    DWL_ACK_PCF5087_BIS = 0xBE,
    DWL_ACK_UART1 = 0x49
};

/* Flash base address of the last boot on the calling thread, a record for
 * callers that look at it; the engine itself takes the base of the context
 * it works on (dwl1_62ContextBaseAddress). */
extern DWL_THREAD_LOCAL uint32_t vg_BaseAddress;

/* Port failures give family 4 (DWL_SOFT_LIB_PC_ERR), code 7. */
DownloadResult dwl1_0boot(T_DownloadContext* context);
DownloadResult dwl1_4bootUart1(T_DownloadContext* context);
/* waitStates: CS0..CS3 (low 3 bits sent); sizeBigEndian: the software image
 * size, most significant byte first. 1, 9, or the port's negative error. */
int dwl1_1ConfigurationBootstrap(uint8_t port, uint8_t projectType, const uint8_t waitStates[4], const uint8_t* spm,
                                 uint32_t spmSize, const uint8_t sizeBigEndian[4]);
int dwl1_2BootCoherence(uint8_t bootAcknowledge, uint8_t projectType);
int dwl1_3GetTypeFlash(T_DownloadContext* context);
/* Boot ROM commands: 1, or the port's negative error. */
int dwl1_50SetStartAddr(uint8_t port, uint32_t address);
int dwl1_51DownloadBlock(uint8_t port, const uint8_t* data, uint32_t length);
int dwl1_52JumpToStartAddress(uint8_t port);
/* The chip the operator display names from a boot acknowledge. */
const char* dwl1_60BootChipName(uint8_t bootAcknowledge);
/* The flash base address of a project type (0 for an unknown type). */
uint32_t dwl1_61BaseAddress(uint8_t projectType);
/* The flash base address of the context's project type. */
uint32_t dwl1_62ContextBaseAddress(const T_DownloadContext* context);

#ifdef __cplusplus
}
#endif

#endif
