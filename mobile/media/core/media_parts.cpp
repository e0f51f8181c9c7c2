#include "mobile/media/core/media_parts.h"

#include "resources/strings.h"

#include <fstream>

namespace media {

namespace fs = std::filesystem;

int PartCount(uint32_t size)
{
    const uint32_t count = size / kPartSize + 1 - (size % kPartSize == 0 ? 1 : 0);
    return static_cast<int>(std::max<uint32_t>(count, 1));
}

std::string PhonePartName(std::string_view fileName, int part)
{
    std::string name(fileName);
    if (part > 0)
        name += "_" + std::to_string(part);
    return name;
}

std::string LocalPartName(std::string_view fileName, int part)
{
    std::string name(fileName);
    if (part > 0)
        name += std::to_string(part);
    return name;
}

shell::BatchPlan PartsDownloadPlan(std::string_view phoneDirectory, std::string_view fileName, uint32_t size,
                                   std::string_view programDirectory)
{
    shell::BatchPlan plan;
    plan.titleId = res::IDS_COPYING_FILE_PC;
    const int parts = PartCount(size);
    plan.stepCount = parts;
    const plat::ThreadId self = plat::CurrentThreadId();
    for (int i = 0; i < parts; ++i) {
        const uint32_t block = NewTransferBlock(std::string(phoneDirectory) + PhonePartName(fileName, i),
                                                std::string(programDirectory) + LocalPartName(fileName, i));
        plan.steps.push_back(shell::BatchStep::Request(REQ_DOWNLOAD, shell::NewRequest(self, {}, block)));
    }
    return plan;
}

bool JoinParts(std::string_view programDirectory, std::string_view fileName, int parts, const fs::path& out)
{
    std::error_code ec;
    std::vector<fs::path> locals;
    for (int i = 0; i < parts; ++i) {
        locals.push_back(fs::path(std::string(programDirectory) + LocalPartName(fileName, i)));
        if (!fs::is_regular_file(locals.back(), ec))
            return false;
    }
    fs::path temporary = out;
    temporary += ".part";
    {
        std::ofstream o(temporary, std::ios::binary | std::ios::trunc);
        std::vector<char> block(kPartSize);
        for (const fs::path& p : locals) {
            std::ifstream in(p, std::ios::binary);
            while (in && o) {
                in.read(block.data(), std::streamsize(block.size()));
                o.write(block.data(), in.gcount());
            }
            if (in.bad() || !o)
                break;
        }
        if (!o.flush()) {
            o.close();
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, out, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    for (const fs::path& p : locals)
        fs::remove(p, ec);
    return true;
}

std::string SaveExtension(std::string_view fileName)
{
    const size_t dot = fileName.find('.');
    return dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot + 1));
}

std::string SaveDefaultName(std::string_view displayName)
{
    static constexpr std::string_view kReplaced = "\\/:*?<>|\"";
    std::string out(displayName);
    for (char& c : out)
        if (kReplaced.find(c) != std::string_view::npos)
            c = '_';
    return out;
}

std::string SaveFilter(std::string_view extension)
{
    const std::string e(extension);
    return e + " File(*." + e + ")|*." + e + "||";
}

FlowResult SaveItem(shell::BatchRunner& runner, std::string_view programDirectory, MediaList list, const MediaRow& row,
                    const fs::path& out)
{
    using shell::Icon;
    const bool wap = list == MediaList::WapPictures || list == MediaList::WapSounds;
    if (!row.used || row.fileName.empty())
        return {false, 0, Icon::Information};
    if (!wap && row.isPrivate)
        return {false, res::IDS_ITEM_PRIVATE_PHONES_PRIVACY, Icon::Error};
    const int parts = PartCount(row.size);
    if (runner.runBatch(PartsDownloadPlan(IndexInfo(list).directory, row.fileName, row.size, programDirectory)) !=
            shell::kBatchOk ||
        !JoinParts(programDirectory, row.fileName, parts, out))
        return {false, res::IDS_BACKUP_FAILED, Icon::Error};
    return {true, res::IDS_BACKUP_COMPLETE, Icon::Information};
}

}  // namespace media
