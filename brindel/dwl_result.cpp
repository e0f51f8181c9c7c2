// Result families, their code tables with the exact texts, and result records.
#include "brindel/dwl_result.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <span>

namespace {

constexpr const char* kNotDefined = "Problem3_11 Not define vl_SoftCodeErr Problem";
constexpr const char* kUnknownCode = "Unknown code";

constexpr const char* pg_FlashTexts[] = {
    "DWL_FLASH_NOK",
    "DWL_FLASH_OK",
    "The file flash.txt not found",
    "Problem with parameter NEW_FLASH in the file flash.txt",
    "Problem with parameter MANUFACTURER_NAME in the file flash.txt",
    "Problem with parameter DEVICE_NAME in the file flash.txt",
    "Problem with parameter PHILIPS_PRODUCT in the file flash.txt",
    "Problem with parameter MANUFACTURER_ID in the file flash.txt",
    "Problem with parameter DEVICE_ID in the file flash.txt",
    "Problem with parameter NB_BANKS in the file flash.txt",
    "Problem with parameter NB_SECTORS in the file flash.txt",
    "Problem with parameter START_SECTOR_DESCRIPTION in the file flash.txt",
    "Problem with parameter END_FLASH in the file flash.txt",
    "Problem with parameter BAD_SECTOR_START in the file flash.txt",
    "Problem with parameter BAD_SECTOR_END in the file flash.txt",
    "The flash id is not known (Not description in the file flash.txt)",
    "There are too many flash description in the file flash.txt",
    "A flash description has to many number of sector",
    "Impossible to find the sector starting at this address",
    "A sector number is not rigth",
    "Not enough sector to download this software",
    "DWL_FLASH_END",
};

constexpr const char* pg_ConfTexts[] = {
    "DWL_CONF_NOK",
    "DWL_CONF_OK",
    "There is no configuration file",
    "Impossible to find the sofware file",
    "Impossible to find the package file",
    "The com number in configuration file is not rigth",
    "Bad com description in configuration file",
    "The Simlock key state in configuration file is not rigth",
    "Bad simlock key description in configuration file",
    "The PMU state in configuration file is not rigth",
    "Bad PMU description in configuration file",
    "The product type state in configuration file is not rigth",
    "Bad product type description in configuration file",
    "The download type state in configuration file is not rigth",
    "Bad download type description in configuration file",
    "DWL_CONF_END",
};

constexpr const char* pg_PcLibTexts[] = {
    "DWL_PCLIB_NOK",
    "DWL_PCLIB_OK",
    "The calculation of the file size create an error",
    "File not found",
    "The size of the SPM is too long",
    "Bad length when you want to convert Little - big indien",
    "Unknown SPM file",
    "PC uart problem",
    "DWL_PCLIB_END",
};

constexpr const char* pg_BootTexts[] = {
    "DWL_BOOT_NOK",
    "DWL_BOOT_OK",
    "The bootstrap (SPM) is not present on the disk",
    "The bootstrap (SPM) is too long",
    "TIME OUT",
    "BOOT FROM A PCF5085. Please select a project specific to a PCF5085",
    "BOOT FROM A PCF5086. Please select a project specific to a PCF5086",
    "BOOT FROM A PCF5087. Please select a project specific to a PCF5087",
    "The processor does not known, Acknowledge unknown",
    "Chip select requested is impossible",
    "Bad acknowledge receive from the mobile (Transmission problem)",
    "Problem with program in external RAM : StackPointer not set",
    "Bad acknowledgement during the identification of the flash",
    "Timeout during the flash identification",
    "The manufacturer of terminal GSM flash is unknown",
    "The terminal GSM flash id is unknown",
    "DWL_BOOT_END",
};

constexpr const char* pg_CompTexts[] = {
    "DWL_COMP_NOK",
    "DWL_COMP_OK",
    "Structure parameter problem",
    "Family parameter problem",
    "Edition parameter problem",
    "Package size parameter problem",
    "Package address parameter problem",
    "No tag found in mobile",
    "No tag found in file selected",
    "Signature problem in the package",
    "The address of packdata must be different of 0x0 or must begin at the start sector",
    "Flash is too small to download the software and the package",
    "Compatibility problem: Bad mobile manufacturer",
    "DWL_COMP_END",
};

constexpr const char* pg_CommandTexts[] = {
    "DWL_COMMAND_NOK",
    "DWL_COMMAND_OK",
    "Bad command acknowledge",
    "Bad restore simlock acknowledge",
    "Simlock not stored",
    "Tag not found",
    "Bad simlock restore status",
    "Bad change speed acknowledge",
    "Bad change speed checksum",
    "Speed control error",
    "bad set PMU acknowledge",
    "bad erase command acknowledge",
    "Erase processing aborted",
    "Erase processing failed",
    "Erase processing failed DQ6",
    "Erase processing failed DQ6 bis",
    "Erase processing default aborted",
    "bad read command acknowledge",
    "bad read command parameter",
    "Checksum error during the read command",
    "Switch off error",
    "Bad set GPIO acknowledge",
    "Size of zone to dump should be at least equal to the size of the sector",
    "Unable to open the dump file",
    "Bad download type",
    "DWL_COMMAND_END",
};

constexpr const char* pg_5085Texts[] = {
    "DWL_5085_NOK",
    "DWL_5085_OK",
    "Bad flash erase result",
    "Char corrupted",
    "Write error",
    "Write error (DQ7)",
    "Write error (DQ7 bis)",
    "Checksum error",
    "File size is over first bank size. It can not be loaded in the dual bank Flash Memory",
    "DWL_5085_END",
};

constexpr const char* pg_DllTexts[] = {
    "DWL_DLL_NOK", "DWL_DLL_OK", "Bad product type", "No file found (cla or bin)", "Size of block file is NULL",
    "DWL_DLL_END",
};

// One row per family: its name and either a code table or a single text.
struct FamilyRow {
    const char* name;
    std::span<const char* const> codes;
    const char* single;
};

constexpr std::array<FamilyRow, DWL_SOFT_FAMILY_COUNT> pg_SoftFamilies = {{
    {"DWL_SOFT_OK", {}, "DOWNLOAD SUCCESSFULL"},
    {"DWL_SOFT_NOK", {}, "Error during the download"},
    {"DWL_SOFT_FLASH_ERR", pg_FlashTexts, nullptr},
    {"DWL_SOFT_CONF_ERR", pg_ConfTexts, nullptr},
    {"DWL_SOFT_LIB_PC_ERR", pg_PcLibTexts, nullptr},
    {"DWL_SOFT_BOOT_ERR", pg_BootTexts, nullptr},
    {"DWL_SOFT_COMPATIBILITY_ERR", pg_CompTexts, nullptr},
    {"DWL_SOFT_COMMAND_ERR", pg_CommandTexts, nullptr},
    {"DWL_SOFT_DOWNLOAD_SECTOR_START", {}, "Problem : Bad acknowledge when the sector download start"},
    {"DWL_SOFT_DOWNLOAD_SECTOR_ERR", {}, "Problem : Error during the sector donwload"},
    {"DWL_SOFT_DOWNLOAD_SECTOR_END_ERR", {}, "Problem : Error acknowledge during the sector donwload"},
    {"DWL_SOFT_DOWNLOAD_SECTOR_CHECKSUM", {}, "Problem : Bad checksum"},
    {"DWL_SOFT_DOWNLOAD_TIMEOUT", {}, "Timeout during the download"},
    {"DWL_SOFT_5085_ERR", pg_5085Texts, nullptr},
    {"DWL_SOFT_DLL_DOWNLOAD_ERR", pg_DllTexts, nullptr},
    {"DWL_SOFT_BAD_MOBILE_MANUFAC", {}, "Bad Mobile Manufacturer"},
    {"DWL_SOFT_END", {}, "DWL_SOFT_END"},
}};

static_assert(std::size(pg_FlashTexts) == DWL_FLASH_END + 1);
static_assert(std::size(pg_ConfTexts) == DWL_CONF_END + 1);
static_assert(std::size(pg_PcLibTexts) == DWL_PCLIB_END + 1);
static_assert(std::size(pg_BootTexts) == DWL_BOOT_END + 1);
static_assert(std::size(pg_CompTexts) == 14);
static_assert(std::size(pg_CommandTexts) == 26);
static_assert(std::size(pg_5085Texts) == 10);
static_assert(std::size(pg_DllTexts) == 6);
static_assert(sizeof(DownloadResult) == 100);

}  // namespace

extern "C" {

thread_local DownloadResult sg_ResultDownload = {DWL_SOFT_OK, 0, "no comment"};

const char* dwl_GetFamilyName(int family)
{
    if (family < 0 || family >= DWL_SOFT_FAMILY_COUNT)
        return nullptr;
    return pg_SoftFamilies[static_cast<size_t>(family)].name;
}

const char* dwl_GetResultMessage(int family, int code)
{
    if (family < 0 || family >= DWL_SOFT_FAMILY_COUNT)
        return kNotDefined;
    const FamilyRow& row = pg_SoftFamilies[static_cast<size_t>(family)];
    if (row.single != nullptr)
        return row.single;
    if (code < 0 || static_cast<size_t>(code) >= row.codes.size())
        return kUnknownCode;
    return row.codes[static_cast<size_t>(code)];
}

int dwl_GetCodeCount(int family)
{
    if (family < 0 || family >= DWL_SOFT_FAMILY_COUNT)
        return 0;
    return static_cast<int>(pg_SoftFamilies[static_cast<size_t>(family)].codes.size());
}

void dwl_SetResult(DownloadResult* result, int family, int code)
{
    result->family = family;
    result->code = code;
    std::memset(result->comment, 0, sizeof result->comment);
    std::snprintf(result->comment, sizeof result->comment, "%s", "no comment");
}

DownloadResult dwl_MakeResult(int family, int code)
{
    DownloadResult result;
    dwl_SetResult(&result, family, code);
    return result;
}

DownloadResult dwl_MakeLayerResult(int family, int code)
{
    return code < 0 ? dwl_MakeResult(DWL_SOFT_LIB_PC_ERR, DWL_PCLIB_UART) : dwl_MakeResult(family, code);
}

}  // extern "C"
