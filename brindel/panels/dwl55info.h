/* The information windows: the identification of a software image and of a
 * package, decoded field by field, and the multi-pack window's list of the
 * pack areas of a software. Each field is handed over as a label and its
 * value as the window prints it. */
#ifndef BRINDEL_DWL55INFO_H
#define BRINDEL_DWL55INFO_H

#include "brindel/brindel.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Package item ids that name its sections. */
enum { DWL_ITEM_DICTIONARY = 1, DWL_ITEM_LANGUAGE = 2 };

/* One line of an information window: a label and its value (" 0x%04x " for
 * identifiers, " 0x%08x " for addresses, " %d " for sizes and counts), or a
 * message with label NULL. */
typedef void (*T_InfoLine)(const char* label, const char* value, void* user);

/* The software's identification: its structure id, family, edition and its
 * pack size and address (versions 1 and 2) or pack table (version 3, one
 * line per pack when the table lies in the image). "Bad struct ID." for a
 * tag of another structure. 1, or the DWL_COMP code (8 without a tag, 12 for
 * another structure). */
int dwl55_0SoftwareInformation(const uint8_t* image, uint32_t imageSize, T_InfoLine line, void* user);

/* The package's header in the layout of software of structure version
 * `version` (1..3; 0 when no software says: version 2): family, edition,
 * size, items; then "No dictionary" / "No language" when the package has no
 * such section. A header that is not a package's shows "Problem 13_1 Bad
 * structure packdata" as a message box titled "Download". 1, or the DWL_COMP
 * code of the header. */
int dwl55_1PackageInformation(const uint8_t* package, uint32_t packageSize, int version, T_InfoLine line, void* user);

typedef struct T_PackRow {
    uint32_t size;
    uint32_t address; /* offset from the flash base */
    int32_t mandatory; /* mask of the items the package must carry; -1 all */
} T_PackRow;

/* The pack areas of a software image: one for versions 1 and 2, the table's
 * for version 3 (entries outside the image are left out). The number of rows
 * written (at most `max`), or the negative DWL_COMP code of the tag. */
int dwl55_2PackList(const uint8_t* image, uint32_t imageSize, T_PackRow* rows, int max);
/* The multi-pack window's "Size", "Address" and "Mandatory" columns of a row. */
void dwl55_3FormatPackRow(const T_PackRow* row, char* size, char* address, char* mandatory, size_t each);
/* Chooses a pack area for the package download: the block address becomes
 * the pack's address and the download type 1 (package). */
void dwl55_4ChoosePack(T_DownloadContext* context, const T_PackRow* row);

#ifdef __cplusplus
}
#endif

#endif
