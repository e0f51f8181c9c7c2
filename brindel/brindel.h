/* The firmware download engine: records and exported functions.
 *
 * Every function here has C linkage. The exports without a context argument
 * act on the process-wide download context sg_DownloadContext; each has a
 * twin ending in _ctx that acts on the context its caller passes instead, so
 * that a caller on another thread, or several downloads at once (one context
 * and one port each), never share a context. Every engine function works on
 * the context it is given and nothing else.
 *
 * The engine runs on its caller's thread and blocks it during serial waits.
 * What a download leaves behind besides its context (the last sector result
 * sg_ResultDownload, the flash base of the last boot, the progress figures,
 * the pack tables, the display sink) is kept per thread: two downloads on two
 * threads never write the same record. One download per thread at a time.
 *
 * A negative result from a function that sends is the port's error code: the
 * bytes could not be written, and the step stopped there.
 * Nothing the engine allocates crosses to its caller, except where stated.
 */
#ifndef BRINDEL_BRINDEL_H
#define BRINDEL_BRINDEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define DWL_THREAD_LOCAL thread_local
extern "C" {
#else
#define DWL_THREAD_LOCAL _Thread_local
#endif

/* A result: the family names the failing layer (0 = success), the code is the
 * detailed code inside that family's table. */
typedef struct DownloadResult {
    int32_t family;
    int32_t code;
    char comment[92]; /* NUL-terminated, "no comment" by default */
} DownloadResult;

typedef void (*T_ResultCallback)(const DownloadResult* result);

#define DWL_PATH_LENGTH 512

/* The download context. Field order is fixed; the layout is natural (no
 * packing), which gives 2124 bytes with 32-bit pointers. */
typedef struct T_DownloadContext {
    uint8_t port; /* PC serial port n ("COMn") */
    uint8_t simlockOption; /* 0 keep the SIM-lock area, 1 lose it */
    uint8_t checkSimlockOption; /* 1: restore status 3 is a failure */
    uint8_t pmuOption; /* 1: set PMU after the speed change */
    uint8_t speedIndex; /* 0..31 */
    uint8_t downloadType; /* 0,1,2,3,5,6 */
    uint8_t projectType; /* 0..4 */
    uint8_t uartSelect; /* 0 UART0 with SPM, 1 UART1 without */
    uint8_t waitStates[4]; /* CS0..CS3, low 3 bits sent */
    uint8_t reserved1;
    uint8_t bootAcknowledge; /* first byte the boot ROM answered */
    uint8_t manufacturerId;
    uint8_t deviceId;
    uint32_t startTime;
    uint32_t endTime;
    int32_t blockAddress; /* offset from the flash base */
    uint8_t reserved2;
    char softwarePath[DWL_PATH_LENGTH];
    char packagePath[DWL_PATH_LENGTH];
    char directory[DWL_PATH_LENGTH];
    char comparedPath[DWL_PATH_LENGTH];
    int32_t softwareHandle;
    uint8_t* softwareImage; /* owned by the context */
    uint32_t softwareSize;
    uint8_t comparedOption;
    uint8_t* comparedImage; /* owned by the context */
    uint32_t comparedSize;
    int32_t packageHandle;
    int32_t reserved3;
    uint8_t* packageImage; /* owned by the context */
    uint32_t packageSize;
    T_ResultCallback resultCallback; /* results when there is no operator window */
} T_DownloadContext;

extern T_DownloadContext sg_DownloadContext;
/* The last result stored by a sector transfer on the calling thread. */
extern DWL_THREAD_LOCAL DownloadResult sg_ResultDownload;

/* ---- exported interface used by the flash download bridge ---- */
int init_DownloadContext(void);
int init_serial_port_first(int port, int timeoutSeconds);
int start_boot_loader(const char* spmPath);
int vc_dwl12_1UartStop(int port);
int dwl51_0InitLoadFile(void);
/* Command layer (1 = done unless stated). */
int vc_setGPIO(void);
int vc_changeSPEED(void);
/* 202 (0xCA) while the phone answers, else 9. */
int vc_dwl11_51SpeedControl(void);
/* The byte the phone answered (0xC0 when it switched off). */
int vc_power_off(void);
/* Sends the download command; the phone's first reply byte (0xCB expected). */
int vc_DownloadSectorCommand(int address, int sectorSize, int length);
/* Sends one piece (at most 8192 bytes): the length, once every byte has left
 * the output queue. */
int vc_write_buffer(const uint8_t* data, int length);
/* The phone's end byte for a sector (0xCC expected). */
int vc_rd_sector_end(void);
/* The four checksum bytes, least significant first, as one value. */
uint32_t vc_CheckSumReceived(void);
/* Reads size bytes from a flash address: 1, or 17, 18, 19. */
int vc_ReadSector(int address, int size, uint8_t* destination);

/* ---- the same on a context the caller owns ----
 * Each does exactly what the export of the same name does, on the context
 * given. A caller's own context starts from dwl50_3InitialContext and ends
 * with dwl50_4FreeContext (which frees the images it loaded). */
void dwl50_3InitialContext(T_DownloadContext* context);
int init_DownloadContext_ctx(T_DownloadContext* context);
int init_serial_port_first_ctx(T_DownloadContext* context, int port, int timeoutSeconds);
int start_boot_loader_ctx(T_DownloadContext* context, const char* spmPath);
int dwl51_0InitLoadFile_ctx(T_DownloadContext* context);
int vc_setGPIO_ctx(const T_DownloadContext* context);
int vc_changeSPEED_ctx(const T_DownloadContext* context);
int vc_dwl11_51SpeedControl_ctx(const T_DownloadContext* context);
int vc_power_off_ctx(const T_DownloadContext* context);
int vc_DownloadSectorCommand_ctx(const T_DownloadContext* context, int address, int sectorSize, int length);
int vc_write_buffer_ctx(const T_DownloadContext* context, const uint8_t* data, int length);
int vc_rd_sector_end_ctx(const T_DownloadContext* context);
uint32_t vc_CheckSumReceived_ctx(const T_DownloadContext* context);
int vc_ReadSector_ctx(const T_DownloadContext* context, int address, int size, uint8_t* destination);
/* Frees the images a context owns and sets their pointers to NULL. */
void dwl50_4FreeContext(T_DownloadContext* context);

const char* brindel_version(void);

#ifdef __cplusplus
}
#endif

#endif
