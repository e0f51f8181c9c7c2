/* PC-side services of the engine: port set-up, SPM files, byte order, and the
 * traced byte and buffer transfers every layer uses. */
#ifndef BRINDEL_DWL12PCLIB_H
#define BRINDEL_DWL12PCLIB_H

#include "brindel/brindel.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DWL_SPM_BUFFER_SIZE 8192
#define DWL_SPM_MAX_SIZE 8191
#define DWL_QUEUE_SIZE 131072

/* What a single-byte read returns when nothing arrived within the port's
 * time-out. It lies outside 0..255 so that a genuine 0x9D from the phone is
 * read as data. */
#define DWL_READ_TIMEOUT (-99)
/* The byte value a time-out is recorded as in the context's byte fields. */
#define DWL_TIMEOUT_BYTE 0x9D

int dwl12_0UartInit(uint8_t port, uint32_t baud, int parity, unsigned timeoutSeconds);
int dwl12_1UartStop(uint8_t port);
/* Loads the SPM file of a project type into an 8192-byte buffer. */
int dwl12_4LoadSpmFile(uint32_t* size, uint8_t* buffer, uint8_t projectType);
/* Loads the SPM file at path (the project type is not used). */
int dwl12_4VcLoadSpmFile(uint32_t* size, uint8_t* buffer, uint8_t projectType, const char* path);
/* The SPM file name of a project type, NULL for an unknown type. Type 4's
 * file lives in the program directory. */
const char* dwl12_40SpmFileName(uint8_t projectType);
/* Makes dwl12_4LoadSpmFile read this file for every project type (the
 * operator chose one); NULL or "" goes back to the project type's file. */
void dwl12_41SetSpmFile(const char* path);
int dwl12_5ConversionLittleBig(uint32_t value, uint32_t* out, int width);
/* Keeps the directory part of a file just chosen, with its trailing '/', in
 * the context's directory field: the next file dialog opens there. A name
 * without a directory empties the field. */
void dwl12_6InitializeDefaultPath(T_DownloadContext* context, const char* path);

/* Reads one byte (traced "<"): 0..255, or DWL_READ_TIMEOUT on time-out or
 * port error. */
int dwl12_7ReadByte(uint8_t port);
/* Reads and discards bytes until one of the awaited bytes arrives (returned),
 * or until one port time-out has passed without it (DWL_READ_TIMEOUT): a
 * phone that only sends other bytes cannot hold the engine forever. */
int dwl12_11ReadUntil(uint8_t port, const uint8_t* awaited, size_t count);
/* Writes one byte (traced ">"); 1 or a negative port error. */
int dwl12_8WriteByte(uint8_t port, uint8_t byte);
/* Writes a buffer (traced as a buffer); the count or a negative port error. */
int dwl12_9WriteBuffer(uint8_t port, const uint8_t* data, size_t length);

#ifdef __cplusplus
}
#endif

#endif
