#pragma once
// The operator program's own texts, in English and Simplified Chinese. The
// engine's messages (results, log lines, trace) are its fixed texts and are
// shown as they come.

#include <QString>

namespace brindelui {

enum class Text {
    WindowTitle,
    Version,
    MenuFile,
    RestoreConfiguration,
    SaveConfiguration,
    Quit,
    MenuConfiguration,
    MenuService,
    Service,
    Port,
    Product,
    DownloadType,
    Baudrate,
    Uart,
    SimlockKeys,
    Keep,
    Lose,
    Pmu,
    On,
    Off,
    ChkKeys,
    Yes,
    No,
    ComparedDownload,
    FlashDump,
    Address,
    Size,
    OpenClaFile,
    OpenComparingClaFile,
    OpenPackageFile,
    NoFile,
    Start,
    SoftwareInformation,
    PackageInformation,
    MultiPack,
    Debug,
    DllDownload,
    LoadDll,
    Download,
    Log,
    Sectors,
    SoftwareProgress,
    PackageProgress,
    ConfirmQuitTitle,
    ConfirmQuitText,
    AlreadyRunning,
    ClaFilter,
    BinFilter,
    DumFilter,
    FileToLoad,
    TypeSoftware,
    TypePackage,
    TypeSoftwareWithNewPackage,
    TypeSoftwareWithoutPackage,
    TypeReadBlock,
    TypeWriteBlock,
    ChipSelect0,
    ChipSelect1,
    ChipSelect2,
    ChipSelect3,
    WaitStateItem,
    SwitchOn,
    SwitchOff,
    Erase,
    EraseSector,
    Bank,
    AllBanks,
    Sector,
    Dump,
    FlashDescriptions,
    Clear,
    Close,
    NoSoftwareLoaded,
    NoPackageLoaded,
    PackSize,
    PackAddress,
    PackMandatory,
    DownloadChosenPack,
    NoPorts,
    DllStarted,
    Running,
    Count_
};

// "zh" when TELVANE_LANGUAGE says so or the locale is Chinese, else "en".
[[nodiscard]] QString LanguageForLocale();
// Chooses the language of Tr (GUI thread, before the windows are made).
void SetLanguage(const QString& language);
[[nodiscard]] QString Tr(Text text);

}  // namespace brindelui
