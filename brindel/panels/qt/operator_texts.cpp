#include "operator_texts.h"

#include <QLocale>
#include <QtGlobal>

#include <array>

namespace brindelui {

namespace {

struct Row {
    Text text;
    const char* english;
    const char* chinese;
};

// Menu and window texts the operator knows from the engine's panels keep
// their English wording.
constexpr Row kRows[] = {
    {Text::WindowTitle, "Firmware download", "固件下载"},
    {Text::Version, "version : %1", "版本：%1"},
    {Text::MenuFile, "&File", "文件(&F)"},
    {Text::RestoreConfiguration, "Restore configuration", "恢复配置"},
    {Text::SaveConfiguration, "Save configuration", "保存配置"},
    {Text::Quit, "Quit", "退出"},
    {Text::MenuConfiguration, "&Configuration", "配置(&C)"},
    {Text::MenuService, "&Service", "维修(&S)"},
    {Text::Service, "Service", "维修"},
    {Text::Port, "Port", "端口"},
    {Text::Product, "Product", "产品"},
    {Text::DownloadType, "Download type", "下载类型"},
    {Text::Baudrate, "Baudrate", "波特率"},
    {Text::Uart, "UART", "串口"},
    {Text::SimlockKeys, "Simlock keys", "SIM 锁密钥"},
    {Text::Keep, "KEEP", "保留"},
    {Text::Lose, "LOSE", "丢弃"},
    {Text::Pmu, "PMU", "电源管理"},
    {Text::On, "ON", "开"},
    {Text::Off, "OFF", "关"},
    {Text::ChkKeys, "Chk Keys", "检查密钥"},
    {Text::Yes, "YES", "是"},
    {Text::No, "NO", "否"},
    {Text::ComparedDownload, "Compared Download", "比较下载"},
    {Text::FlashDump, "FLASH dump", "闪存转储"},
    {Text::Address, "Address", "地址"},
    {Text::Size, "Size", "大小"},
    {Text::OpenClaFile, "Open Cla File", "打开 Cla 文件"},
    {Text::OpenComparingClaFile, "Open Comparing Cla File", "打开比较用 Cla 文件"},
    {Text::OpenPackageFile, "Open Package File", "打开数据包文件"},
    {Text::NoFile, "(none)", "（无）"},
    {Text::Start, "Start", "开始"},
    {Text::SoftwareInformation, "Software information", "软件信息"},
    {Text::PackageInformation, "Package information", "数据包信息"},
    {Text::MultiPack, "Multi-pack", "多数据包"},
    {Text::Debug, "Debug", "调试"},
    {Text::DllDownload, "Dll Download", "模块下载"},
    {Text::LoadDll, "Load Dll", "加载模块"},
    {Text::Download, "Download", "下载"},
    {Text::Log, "Steps", "步骤"},
    {Text::Sectors, "Sectors", "扇区"},
    {Text::SoftwareProgress, "Software", "软件"},
    {Text::PackageProgress, "Package", "数据包"},
    {Text::ConfirmQuitTitle, "Confirm to quit", "确认退出"},
    {Text::ConfirmQuitText, "Do you really want to quit?", "确定要退出吗？"},
    {Text::AlreadyRunning, "The firmware download program is already running.", "固件下载程序已在运行。"},
    {Text::ClaFilter, "Cla Files (*.cla)", "Cla 文件 (*.cla)"},
    {Text::BinFilter, "Bin Files (*.bin)", "Bin 文件 (*.bin)"},
    {Text::DumFilter, "Dump Files (*.dum)", "转储文件 (*.dum)"},
    {Text::FileToLoad, "File to Load", "要加载的文件"},
    {Text::TypeSoftware, "Software", "软件"},
    {Text::TypePackage, "Package", "数据包"},
    {Text::TypeSoftwareWithNewPackage, "Software with new package", "软件及新数据包"},
    {Text::TypeSoftwareWithoutPackage, "Software without package", "软件（不含数据包）"},
    {Text::TypeReadBlock, "Read Block", "读取块"},
    {Text::TypeWriteBlock, "Write Block", "写入块"},
    {Text::ChipSelect0, "Chip select 0 (Flash low)", "片选 0（闪存低位）"},
    {Text::ChipSelect1, "Chip select 1 (RAM)", "片选 1（内存）"},
    {Text::ChipSelect2, "Chip select 2 (Flash high)", "片选 2（闪存高位）"},
    {Text::ChipSelect3, "Chip select 3 (Not used)", "片选 3（未使用）"},
    {Text::WaitStateItem, "CS%1_%2 Wait State", "CS%1_%2 等待周期"},
    {Text::SwitchOn, "Switch on", "开机"},
    {Text::SwitchOff, "Switch off", "关机"},
    {Text::Erase, "Erase", "擦除"},
    {Text::EraseSector, "Erase sector", "擦除扇区"},
    {Text::Bank, "Bank", "存储体"},
    {Text::AllBanks, "All banks", "全部存储体"},
    {Text::Sector, "Sector", "扇区"},
    {Text::Dump, "Dump", "转储"},
    {Text::FlashDescriptions, "Flash descriptions", "闪存描述"},
    {Text::Clear, "Clear", "清除"},
    {Text::Close, "Close", "关闭"},
    {Text::NoSoftwareLoaded, "No software file is loaded.", "尚未加载软件文件。"},
    {Text::NoPackageLoaded, "No package file is loaded.", "尚未加载数据包文件。"},
    {Text::PackSize, "Size", "大小"},
    {Text::PackAddress, "Address", "地址"},
    {Text::PackMandatory, "Mandatory", "必需项"},
    {Text::DownloadChosenPack, "Download into the chosen pack", "下载到所选数据包区"},
    {Text::NoPorts, "No serial port found", "未找到串口"},
    {Text::DllStarted, "COM%1: started", "COM%1：已开始"},
    {Text::Running, "Downloading…", "正在下载…"},
};

constexpr bool InEnumOrder()
{
    for (size_t i = 0; i < std::size(kRows); ++i)
        if (static_cast<size_t>(kRows[i].text) != i)
            return false;
    return std::size(kRows) == static_cast<size_t>(Text::Count_);
}
static_assert(InEnumOrder(), "one row per text, in the order of Text");

bool g_chinese = false;

}  // namespace

QString LanguageForLocale()
{
    const QString forced = qEnvironmentVariable("TELVANE_LANGUAGE");
    if (forced == "zh" || forced == "en")
        return forced;
    return QLocale().language() == QLocale::Chinese ? "zh" : "en";
}

void SetLanguage(const QString& language)
{
    g_chinese = language == "zh";
}

QString Tr(Text text)
{
    const auto index = static_cast<size_t>(text);
    Q_ASSERT(index < std::size(kRows) && kRows[index].text == text);
    return QString::fromUtf8(g_chinese ? kRows[index].chinese : kRows[index].english);
}

}  // namespace brindelui
