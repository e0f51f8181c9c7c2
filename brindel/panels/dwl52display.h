/* What the operator window shows while a download runs: status messages,
 * message boxes, the sector table, the two progress bars, the result. They go
 * to the display sink installed on the thread that runs the download (the
 * operator window's, or the command-line program's, which prints them);
 * without one they are dropped, and a result goes to the context's result
 * callback. The sink and the progress figures are per thread, so downloads
 * on several threads each show through their own. */
#ifndef BRINDEL_DWL52DISPLAY_H
#define BRINDEL_DWL52DISPLAY_H

#include "brindel/brindel.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct T_DisplaySink {
    /* A status line (title NULL) or a message box (title and text). */
    void (*message)(const char* title, const char* text, void* user);
    /* One row of the sector table, already formatted. */
    void (*sectorRow)(const char* row, void* user);
    /* The sector table filled before a download: every sector of the flash
     * with its size and "N. A.", and its row as the table shows it. */
    void (*sectorTable)(int sector, uint32_t size, const char* state, const char* row, void* user);
    /* The progress figures changed (read them from vg_SoftPourcent ...). */
    void (*progress)(void* user);
    /* Picks a file ("File to Load"); copies its path into out and returns 1,
     * or returns 0 when the operator cancels, or 2 when the block to write
     * is already the context's package image (a download given its block). */
    int (*selectFile)(const char* title, const char* pattern, char* out, size_t outSize, void* user);
    /* The result window: the family's DWL_SOFT name as its title and the
     * code's message. Without it results go to the context's callback. */
    void (*result)(int family, int code, const char* familyName, const char* message, void* user);
    void* user;
} T_DisplaySink;

/* Progress figures of the download running on the calling thread. */
extern DWL_THREAD_LOCAL int32_t vg_SoftPourcent;
extern DWL_THREAD_LOCAL int32_t vg_PackPourcent;
extern DWL_THREAD_LOCAL uint32_t vg_NbrSoftCharSent;
extern DWL_THREAD_LOCAL uint32_t vg_SizeSoftware;
extern DWL_THREAD_LOCAL uint32_t vg_NbrPackCharSent;
extern DWL_THREAD_LOCAL uint32_t vg_SizePackData;

/* Shows a result of a download on this context: the sink's result window,
 * else the context's result callback, else nothing. */
void dwl52_11DisplayContextResult(const T_DownloadContext* context, int family, int code);

/* Installs a sink (copied) for the calling thread; NULL removes it. */
void dwl52_0SetDisplaySink(const T_DisplaySink* sink);
void dwl52_1DisplayMessage(const char* text);
void dwl52_2MessageBox(const char* title, const char* text);
/* The state of a sector the download has not reached. */
#define DWL_SECTOR_NOT_APPLICABLE "N. A."
/* A sector-table row " %4d | %10d | %3d | %9d | %3d | %s " (sector, size,
 * bank, bytes, seconds since the previous row, state), with " - " for the
 * bytes and seconds of a sector in state "N. A.". The length it needs. */
size_t dwl52_12FormatSectorRow(char* out, size_t outSize, int sector, uint32_t size, int bank, uint32_t bytes,
                               int seconds, const char* state);
/* Adds a formatted row to the sector table. */
void dwl52_3AddSectorRow(int sector, uint32_t size, int bank, uint32_t bytes, int seconds, const char* state);
/* Sets one kind's figures (0 software, 1 package) and tells the sink. */
void dwl52_4SetProgress(int kind, uint32_t done, uint32_t total);
void dwl52_5ResetProgress(void);
/* Fills the sector table with every sector of a flash: 1, or the DWL_FLASH
 * code of an unknown flash. */
int dwl52_8FillSectorTable(uint8_t manufacturerId, uint8_t deviceId);
int dwl52_6SelectFile(const char* title, const char* pattern, char* out, size_t outSize);
/* Shows an elapsed time as "%d min %d sec". */
void dwl52_7DisplayElapsed(uint32_t seconds);

#ifdef __cplusplus
}
#endif

#endif
