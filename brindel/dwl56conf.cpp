// "config.txt": restore and save of the operator's settings.
#include "brindel/dwl56conf.h"

#include "brindel/brindel.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl51mmi.h"
#include "brindel/runtime/dwl_rt.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace {

// Lines end at LF; a CR before it is not part of the line.
class LineReader {
public:
    LineReader(const char* text, size_t length) : text_(text, length) { }

    // The next line that is not a comment ("*...") or empty; false at the end.
    bool NextValueLine(std::string_view& line)
    {
        while (pos_ < text_.size()) {
            const size_t lf = text_.find('\n', pos_);
            const size_t end = lf == std::string_view::npos ? text_.size() : lf;
            line = text_.substr(pos_, end - pos_);
            pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (!line.empty() && line.front() != '*')
                return true;
        }
        return false;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

enum class Field { Port, Simlock, Pmu, ProductType, DownloadType, SpeedIndex };

struct ValueRow {
    std::string_view key;
    int lineCode;  // the line is missing or does not begin with its key
    int valueCode;  // the value is out of range
    long maximum;
    Field field;
};

// The value lines after the file lines, in their order. Download types go up
// to 6 (read and write block) so that every type the context can hold
// survives a save and restore. The speed index must stay inside the
// 32-entry speed tables it indexes.
constexpr ValueRow pg_ConfigValues[] = {
    {"COM : ", DWL_CONF_COM_LINE, DWL_CONF_COM_VALUE, 4, Field::Port},
    {"Simlock keys : ", DWL_CONF_SIMLOCK_LINE, DWL_CONF_SIMLOCK_VALUE, 1, Field::Simlock},
    {"PMU : ", DWL_CONF_PMU_LINE, DWL_CONF_PMU_VALUE, 1, Field::Pmu},
    {"Product Type : ", DWL_CONF_PRODUCT_LINE, DWL_CONF_PRODUCT_VALUE, 4, Field::ProductType},
    {"Download Type : ", DWL_CONF_DOWNLOAD_LINE, DWL_CONF_DOWNLOAD_VALUE, 6, Field::DownloadType},
    {"Baudrate Index: ", DWL_CONF_DOWNLOAD_LINE, DWL_CONF_DOWNLOAD_LINE, 31, Field::SpeedIndex},
};

constexpr std::string_view kCompared = "CMP File : ";
constexpr std::string_view kSoftware = "CLA File : ";
constexpr std::string_view kPackage = "BIN File : ";

// A decimal value: optional blanks, digits, optional trailing blanks. -1 when
// the text is not such a number (or is absurdly large).
long ParseValue(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 9)
        return -1;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

void Store(T_DownloadContext& c, Field field, long value)
{
    const auto v = static_cast<uint8_t>(value);
    switch (field) {
    case Field::Port: c.port = v; break;
    case Field::Simlock: c.simlockOption = v; break;
    case Field::Pmu: c.pmuOption = v; break;
    case Field::ProductType: c.projectType = v; break;
    case Field::DownloadType: c.downloadType = v; break;
    case Field::SpeedIndex: c.speedIndex = v; break;
    }
}

}  // namespace

extern "C" {

int dwl56_4ParseConfig(T_DownloadContext* context, const char* text, size_t length)
{
    T_DownloadContext& c = *context;
    LineReader reader(text, length);
    std::string_view line;

    // Optional compared file; its presence switches compared download off.
    bool have = reader.NextValueLine(line);
    if (have && line.starts_with(kCompared)) {
        line.remove_prefix(kCompared.size());
        dwl50_2SetPath(c.comparedPath, line.data(), line.size());
        c.comparedOption = 0;
        have = reader.NextValueLine(line);
    }

    // Software and package files, each loaded as soon as it is named. A file
    // that cannot be loaded does not stop the restore: the operator sees it
    // is missing when starting.
    if (!have || !line.starts_with(kSoftware))
        return DWL_CONF_NO_SOFTWARE;
    line.remove_prefix(kSoftware.size());
    if (!dwl50_2SetPath(c.softwarePath, line.data(), line.size()))
        return DWL_CONF_NO_SOFTWARE;
    (void)dwl51_0InitLoadFile_ctx(context);

    if (!reader.NextValueLine(line) || !line.starts_with(kPackage))
        return DWL_CONF_NO_PACKAGE;
    line.remove_prefix(kPackage.size());
    if (!dwl50_2SetPath(c.packagePath, line.data(), line.size()))
        return DWL_CONF_NO_PACKAGE;
    (void)dwl51_1InitPackageFile(context);

    for (const ValueRow& row : pg_ConfigValues) {
        if (!reader.NextValueLine(line) || !line.starts_with(row.key))
            return row.lineCode;
        line.remove_prefix(row.key.size());
        const long value = ParseValue(line);
        if (value < 0 || value > row.maximum)
            return row.valueCode;
        Store(c, row.field, value);
    }
    return DWL_OK;
}

int dwl56_2RestoreConfigFromFile(T_DownloadContext* context, const char* path)
{
    std::string text;
    if (!dwlrt::ReadWholeFile(path, text))
        return DWL_CONF_NO_FILE;
    return dwl56_4ParseConfig(context, text.data(), text.size());
}

int dwl56_0RestoreConfig(void)
{
    return dwl56_2RestoreConfigFromFile(&sg_DownloadContext, "config.txt");
}

size_t dwl56_5FormatConfig(const T_DownloadContext* context, char* out, size_t size)
{
    const T_DownloadContext& c = *context;
    const int n = std::snprintf(out, size,
                                "* ***********************\r\n"
                                "* Configuration save file\r\n"
                                "* ***********************\r\n"
                                "CMP File : %s\r\n"
                                "CLA File : %s\r\n"
                                "BIN File : %s\r\n"
                                "COM : %d\r\n"
                                "Simlock keys : %d\r\n"
                                "PMU : %d\r\n"
                                "Product Type : %d\r\n"
                                "Download Type : %d\r\n"
                                "Baudrate Index: %d\r\n",
                                c.comparedPath, c.softwarePath, c.packagePath, c.port, c.simlockOption, c.pmuOption,
                                c.projectType, c.downloadType, c.speedIndex);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

int dwl56_3SaveConfigToFile(const T_DownloadContext* context, const char* path)
{
    const dwlrt::FilePtr file = dwlrt::OpenFile(path, "wb");
    if (!file)
        return DWL_CONF_NO_FILE;
    std::string text(4 * DWL_PATH_LENGTH + 512, '\0');
    const size_t n = dwl56_5FormatConfig(context, text.data(), text.size());
    std::fwrite(text.data(), 1, std::min(n, text.size() - 1), file.get());
    return DWL_OK;
}

int dwl56_1SaveConfig(void)
{
    return dwl56_3SaveConfigToFile(&sg_DownloadContext, "config.txt");
}

}  // extern "C"
