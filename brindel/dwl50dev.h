/* The download context and the start-up exports. */
#ifndef BRINDEL_DWL50DEV_H
#define BRINDEL_DWL50DEV_H

#include "brindel/brindel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Puts the context back to its initial values, freeing its images. */
void dwl50_0ResetContext(void);
/* The default software file: "default.cla" in the program directory. */
const char* dwl50_1DefaultSoftwarePath(void);
/* Copies text into a path field; 1, or 0 (field left empty) when it does not fit. */
int dwl50_2SetPath(char* field, const char* text, size_t textLength);

#ifdef __cplusplus
}
#endif

#endif
