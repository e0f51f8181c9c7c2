/* The operator's saved settings: "config.txt". */
#ifndef BRINDEL_DWL56CONF_H
#define BRINDEL_DWL56CONF_H

#include "brindel/brindel.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Restores sg_DownloadContext from "config.txt" in the current directory: 1
 * or a DWL_CONF code (shown as family 3). */
int dwl56_0RestoreConfig(void);
/* Saves sg_DownloadContext to "config.txt": 1, or 2 when the file cannot be
 * created. */
int dwl56_1SaveConfig(void);

int dwl56_2RestoreConfigFromFile(T_DownloadContext* context, const char* path);
int dwl56_3SaveConfigToFile(const T_DownloadContext* context, const char* path);
/* Restores from text held in memory (the file's whole contents). */
int dwl56_4ParseConfig(T_DownloadContext* context, const char* text, size_t length);
/* Writes the file's text for a context into out (at most size bytes,
 * NUL-terminated); returns the full length the text needs. */
size_t dwl56_5FormatConfig(const T_DownloadContext* context, char* out, size_t size);

#ifdef __cplusplus
}
#endif

#endif
