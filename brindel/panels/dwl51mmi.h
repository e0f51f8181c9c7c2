/* Operator front end: file loading (the panels themselves come later). */
#ifndef BRINDEL_DWL51MMI_H
#define BRINDEL_DWL51MMI_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Loads the software file named in the context (and the compared file when the
 * compared-download option is on): 1, or a DWL_PCLIB code. */
int dwl51_0InitLoadFile(void);
/* Loads the package file named in the context, its size rounded up to even:
 * 1, or a DWL_PCLIB code. */
int dwl51_1InitPackageFile(void);

/* Loads a block file ("*.dum") as the package image, without rounding its
 * size: 1, or a DWL_PCLIB code. */
int dwl51_2InitBlockFile(const char* path);

/* The operator's start: checks the files, opens the port, boots, and runs
 * the download of the project type and download type in the context. The
 * battery advice, the switch-off, the result display and the closing of the
 * port happen here too. */
DownloadResult dwl51_50MMIStart(void);
/* Runs the download type (after a successful preparation). */
DownloadResult dwl51_63MMIChooseDownloadType(T_DownloadContext* context);

#ifdef __cplusplus
}
#endif

#endif
