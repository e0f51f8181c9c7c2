/* Operator front end: file loading, the operator's start and the dispatch
 * by download type, each on the context it is given. */
#ifndef BRINDEL_DWL51MMI_H
#define BRINDEL_DWL51MMI_H

#include "brindel/brindel.h"

#include <stddef.h>
#include <stdint.h>

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

/* ---- the main window's lists and rules ---- */
#define DWL_PROJECT_COUNT 5
#define DWL_DOWNLOAD_TYPE_COUNT 6
/* The download types the list offers, in its order. */
extern const uint8_t a_DownloadTypes[DWL_DOWNLOAD_TYPE_COUNT];
/* The project list's entry of a project type, NULL outside 0..4. */
const char* dwl51_10ProjectName(int project);
/* The download type list's entry of a type, NULL for a type it lacks. */
const char* dwl51_11DownloadTypeName(int downloadType);

/* What a project and download type leave enabled (1) or dim (0). */
typedef struct T_MmiControls {
    uint8_t downloadTypeList;
    uint8_t softwareFile; /* "Open Cla File", "Open Comparing Cla File" */
    uint8_t packageFile;
    uint8_t dumpFields; /* "FLASH dump" "Address" and "Size" */
    uint8_t service; /* the service window */
} T_MmiControls;

/* Chooses a project and a download type: stores them in the context and
 * fills the controls they leave enabled, 1. A project outside 0..4 or a
 * download type the list lacks is shown as a "DOWNLOAD " message box
 * ("Problem0_3 Bad project type " / "Problem0_3 Bad download type "),
 * changes nothing and gives 0. Project 0 downloads software only. */
int dwl51_12ChooseProjectAndType(T_DownloadContext* context, int project, int downloadType, T_MmiControls* controls);

/* Sets the block size of a read block (kept in the package size field). A
 * package image loaded before no longer matches that field and is dropped;
 * its file stays named, to be loaded again. */
void dwl51_13SetBlockSize(T_DownloadContext* context, uint32_t size);

/* The configuration menu: "Chip select 0 (Flash low)" ..., its items
 * "CS0_0 Wait State" ... (chip select 3 offers 0 to 3 only). */
const char* dwl51_20ChipSelectMenuName(int chipSelect);
int dwl51_21WaitStateItemCount(int chipSelect);
void dwl51_22WaitStateItemName(int chipSelect, int waitStates, char* out, size_t outSize);
/* A wait-state item: sets the chip select's wait states and logs "%d wait
 * state on the chip select %d"; 1, or 0 for an item the menu does not have. */
int dwl51_23ChooseWaitState(T_DownloadContext* context, int chipSelect, int waitStates);

/* The serial ports of the system, as port numbers n of "COMn", ascending:
 * the USB-serial ports (ttyUSBk is COM(k+1)) listed in sysfs (the root is
 * $TELVANE_SYSFS_ROOT or /sys), or with $TELVANE_SERIAL_DIR the COMn entries
 * of that directory. The number found (at most max written). */
int dwl51_30ListPorts(int* ports, int max);

/* The program's argument: a name ending in ".cla" is the software file, any
 * other the package file, which also selects download type 1. The file is
 * loaded: 1, or its DWL_PCLIB code. */
int dwl51_40TakeArgument(T_DownloadContext* context, const char* argument);
/* Claims the one running operator program of this user (a lock in the
 * program directory, held until the process ends): 1, or 0 when another
 * instance holds it. */
int dwl51_41ClaimInstance(void);

/* ---- multi-download (the module of dwl_dll.h) ---- */
typedef struct T_DllModule T_DllModule;
/* Where the module file is: the working directory ("."), else the directory
 * of the running program. 1 and the directory in dir, or 0 (no module). */
int dwl51_80FindDll(char* dir, size_t dirSize);
/* Loads the module from dir, or when a module was already started from its
 * "com0" + port sub-directory if a copy lies there, and hands it the debug
 * and main window handles. NULL when it cannot be loaded. */
T_DllModule* dwl51_81LoadDll(const char* dir, int port, int alreadyStarted, int debugPanel, int mainPanel);
/* Starts the module's dwl_Download on a thread of its own for `port` with
 * the context's options, images (copied: the operator may load other files
 * meanwhile) and block address; results go to dwl51_5DllDwlCallbackFunction.
 * 1 started, or 0 (no dwl_Download export, or no thread). */
int dwl51_82StartDllDownload(T_DllModule* module, const T_DownloadContext* context, uint8_t port,
                             void (*progress)(uint8_t port, int32_t softPercent, int32_t packPercent, void* user),
                             void* user);
/* Waits for every download the module started. */
void dwl51_83WaitDllDownloads(T_DllModule* module);
/* Waits, then unloads the module. */
void dwl51_84UnloadDll(T_DllModule* module);
/* Where the callback prints: each result's message text with a line break,
 * with the port and the result's family; NULL prints to standard output. */
void dwl51_85SetDllOutput(void (*output)(uint8_t port, int family, const char* text, void* user), void* user);
/* The module's result callback. */
void dwl51_5DllDwlCallbackFunction(uint8_t port, const DownloadResult* result, void* user);

#ifdef __cplusplus
}
#endif

#endif
