/* Operator front end: file loading, the operator's start and the dispatch
 * by download type, each on the context it is given. */
#ifndef BRINDEL_DWL51MMI_H
#define BRINDEL_DWL51MMI_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Loads the software file named in the context (and the compared file when the
 * compared-download option is on): 1, or a DWL_PCLIB code. The exported
 * dwl51_0InitLoadFile does it on sg_DownloadContext, dwl51_0InitLoadFile_ctx
 * (brindel.h) on the context given. */
int dwl51_0InitLoadFile(void);
/* Loads the package file named in the context, its size rounded up to even:
 * 1, or a DWL_PCLIB code. */
int dwl51_1InitPackageFile(T_DownloadContext* context);

/* Loads a block file ("*.dum") as the package image, without rounding its
 * size: 1, or a DWL_PCLIB code. */
int dwl51_2InitBlockFile(T_DownloadContext* context, const char* path);

/* The operator's start: checks the files, opens the port, boots, and runs
 * the download of the project type and download type in the context. The
 * battery advice, the switch-off, the result display and the closing of the
 * port happen here too. */
DownloadResult dwl51_50MMIStart(T_DownloadContext* context);
/* Runs the download type (after a successful preparation). */
DownloadResult dwl51_63MMIChooseDownloadType(T_DownloadContext* context);

#ifdef __cplusplus
}
#endif

#endif
