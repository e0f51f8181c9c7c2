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

#ifdef __cplusplus
}
#endif

#endif
