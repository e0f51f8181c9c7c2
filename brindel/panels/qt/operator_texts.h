#pragma once
// The operator program's own texts, in English and Simplified Chinese, from
// the string table (the program carries both languages; it has no resource
// bundle). The engine's messages (results, log lines, trace) are its fixed
// texts and are shown as they come.

#include "resources/strings.h"

#include <QString>

namespace brindelui {

// Each text is its string resource.
enum class Text {
    WindowTitle = res::IDS_DWL_WINDOW_TITLE,
    Version = res::IDS_DWL_VERSION,
    MenuFile = res::IDS_DWL_MENU_FILE,
    RestoreConfiguration = res::IDS_DWL_RESTORE_CONFIGURATION,
    SaveConfiguration = res::IDS_DWL_SAVE_CONFIGURATION,
    Quit = res::IDS_DWL_QUIT,
    MenuConfiguration = res::IDS_DWL_MENU_CONFIGURATION,
    MenuService = res::IDS_DWL_MENU_SERVICE,
    Service = res::IDS_DWL_SERVICE,
    Port = res::IDS_DWL_PORT,
    Product = res::IDS_DWL_PRODUCT,
    DownloadType = res::IDS_DWL_DOWNLOAD_TYPE,
    Baudrate = res::IDS_DWL_BAUDRATE,
    Uart = res::IDS_DWL_UART,
    SimlockKeys = res::IDS_DWL_SIMLOCK_KEYS,
    Keep = res::IDS_DWL_KEEP,
    Lose = res::IDS_DWL_LOSE,
    Pmu = res::IDS_DWL_PMU,
    On = res::IDS_DWL_ON,
    Off = res::IDS_DWL_OFF,
    ChkKeys = res::IDS_DWL_CHK_KEYS,
    Yes = res::IDS_DWL_YES,
    No = res::IDS_DWL_NO,
    ComparedDownload = res::IDS_DWL_COMPARED_DOWNLOAD,
    FlashDump = res::IDS_DWL_FLASH_DUMP,
    Address = res::IDS_DWL_ADDRESS,
    Size = res::IDS_DWL_SIZE,
    OpenClaFile = res::IDS_DWL_OPEN_CLA_FILE,
    OpenComparingClaFile = res::IDS_DWL_OPEN_COMPARING_CLA_FILE,
    OpenPackageFile = res::IDS_DWL_OPEN_PACKAGE_FILE,
    NoFile = res::IDS_DWL_NO_FILE,
    Start = res::IDS_DWL_START,
    SoftwareInformation = res::IDS_DWL_SOFTWARE_INFORMATION,
    PackageInformation = res::IDS_DWL_PACKAGE_INFORMATION,
    MultiPack = res::IDS_DWL_MULTI_PACK,
    Debug = res::IDS_DWL_DEBUG,
    DllDownload = res::IDS_DWL_DLL_DOWNLOAD,
    LoadDll = res::IDS_DWL_LOAD_DLL,
    Download = res::IDS_DWL_DOWNLOAD,
    Log = res::IDS_DWL_LOG,
    Sectors = res::IDS_DWL_SECTORS,
    SoftwareProgress = res::IDS_DWL_SOFTWARE_PROGRESS,
    PackageProgress = res::IDS_DWL_PACKAGE_PROGRESS,
    ConfirmQuitTitle = res::IDS_DWL_CONFIRM_QUIT_TITLE,
    ConfirmQuitText = res::IDS_DWL_CONFIRM_QUIT_TEXT,
    AlreadyRunning = res::IDS_DWL_ALREADY_RUNNING,
    ClaFilter = res::IDS_DWL_CLA_FILTER,
    BinFilter = res::IDS_DWL_BIN_FILTER,
    DumFilter = res::IDS_DWL_DUM_FILTER,
    FileToLoad = res::IDS_DWL_FILE_TO_LOAD,
    TypeSoftware = res::IDS_DWL_TYPE_SOFTWARE,
    TypePackage = res::IDS_DWL_TYPE_PACKAGE,
    TypeSoftwareWithNewPackage = res::IDS_DWL_TYPE_SOFTWARE_WITH_NEW_PACKAGE,
    TypeSoftwareWithoutPackage = res::IDS_DWL_TYPE_SOFTWARE_WITHOUT_PACKAGE,
    TypeReadBlock = res::IDS_DWL_TYPE_READ_BLOCK,
    TypeWriteBlock = res::IDS_DWL_TYPE_WRITE_BLOCK,
    ChipSelect0 = res::IDS_DWL_CHIP_SELECT0,
    ChipSelect1 = res::IDS_DWL_CHIP_SELECT1,
    ChipSelect2 = res::IDS_DWL_CHIP_SELECT2,
    ChipSelect3 = res::IDS_DWL_CHIP_SELECT3,
    WaitStateItem = res::IDS_DWL_WAIT_STATE_ITEM,
    SwitchOn = res::IDS_DWL_SWITCH_ON,
    SwitchOff = res::IDS_DWL_SWITCH_OFF,
    Erase = res::IDS_DWL_ERASE,
    EraseSector = res::IDS_DWL_ERASE_SECTOR,
    Bank = res::IDS_DWL_BANK,
    AllBanks = res::IDS_DWL_ALL_BANKS,
    Sector = res::IDS_DWL_SECTOR,
    Dump = res::IDS_DWL_DUMP,
    FlashDescriptions = res::IDS_DWL_FLASH_DESCRIPTIONS,
    Clear = res::IDS_DWL_CLEAR,
    Close = res::IDS_DWL_CLOSE,
    NoSoftwareLoaded = res::IDS_DWL_NO_SOFTWARE_LOADED,
    NoPackageLoaded = res::IDS_DWL_NO_PACKAGE_LOADED,
    PackSize = res::IDS_DWL_PACK_SIZE,
    PackAddress = res::IDS_DWL_PACK_ADDRESS,
    PackMandatory = res::IDS_DWL_PACK_MANDATORY,
    DownloadChosenPack = res::IDS_DWL_DOWNLOAD_CHOSEN_PACK,
    NoPorts = res::IDS_DWL_NO_PORTS,
    DllStarted = res::IDS_DWL_DLL_STARTED,
    Running = res::IDS_DWL_RUNNING,
};

// "zh" when TELVANE_LANGUAGE says so or the locale is Chinese, else "en".
[[nodiscard]] QString LanguageForLocale();
// Chooses the language of Tr (GUI thread, before the windows are made).
void SetLanguage(const QString& language);
[[nodiscard]] QString Tr(Text text);

}  // namespace brindelui
