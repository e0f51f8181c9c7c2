/* The multi-download module: a shared object that the operator program
 * loads by name and runs on a thread per port, so that several phones on
 * several cables are flashed at once.
 *
 * File name: "dwl_" DWL_DLL_BRAND "-" DWL_DLL_VERSION ".so", looked for in the
 * working directory. Exports (C linkage):
 *
 *   void dwl_SetDllDebugPanelHandle(int debugPanel, int mainPanel);
 *       optional; the operator's debug and main window handles (-1: none).
 *       Downloads of a module told of no debug window stay out of the trace.
 *   int dwl_Download(const T_DllDownloadParameters* parameters);
 *       one whole download (boot, preparation, download type, switch-off)
 *       on the calling thread, on a context of its own; every result it
 *       reaches is handed to the parameters' callback, the last one being
 *       the download's. Returns that result's family (0 = success).
 *
 * The module keeps no state shared between downloads: any number of them may
 * run at once, one per port. The images of the parameters are only read, and
 * only during the call.
 */
#ifndef BRINDEL_DWL_DLL_H
#define BRINDEL_DWL_DLL_H

#include "brindel/brindel.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DWL_DLL_BRAND "Moravel"
#define DWL_DLL_VERSION "1.23"
#define DWL_DLL_FILE_NAME "dwl_" DWL_DLL_BRAND "-" DWL_DLL_VERSION ".so"
#define DWL_DLL_PARAMETERS_VERSION 1

/* DWL_DLL codes (family DWL_SOFT_DLL_DOWNLOAD_ERR). */
enum { DWL_DLL_BAD_PRODUCT = 2, DWL_DLL_NO_FILE = 3, DWL_DLL_EMPTY_BLOCK = 4 };

/* A result of the download on `port`. */
typedef void (*T_DllDwlCallback)(uint8_t port, const DownloadResult* result, void* user);
/* The progress of the download on `port` (percent of software, of package). */
typedef void (*T_DllProgressCallback)(uint8_t port, int32_t softPercent, int32_t packPercent, void* user);

/* The parameter block of dwl_Download. Natural layout, fixed field order;
 * `size` is sizeof(T_DllDownloadParameters) and `version` is
 * DWL_DLL_PARAMETERS_VERSION, so that a module refuses a block it does not
 * know instead of reading past it. */
typedef struct T_DllDownloadParameters {
    uint32_t size;
    uint32_t version;
    uint8_t port; /* COMn */
    uint8_t uartSelect;
    uint8_t simlockOption;
    uint8_t speedIndex;
    uint8_t projectType; /* 1..4 */
    uint8_t downloadType; /* 0, 1, 2, 3 or 6 (write block: the block in the package image) */
    uint8_t pmuOption;
    uint8_t checkSimlockOption;
    uint8_t waitStates[4];
    int32_t blockAddress; /* offset from the flash base: package or block */
    const uint8_t* softwareImage;
    uint32_t softwareSize;
    const uint8_t* packageImage;
    uint32_t packageSize;
    T_DllDwlCallback callback;
    T_DllProgressCallback progress; /* may be NULL */
    void* user;
} T_DllDownloadParameters;

typedef void (*T_DllSetDebugPanelHandle)(int debugPanel, int mainPanel);
typedef int (*T_DllDownload)(const T_DllDownloadParameters* parameters);

#ifdef __cplusplus
}
#endif

#endif
