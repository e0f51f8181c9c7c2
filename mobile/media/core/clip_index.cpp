#include "mobile/media/core/clip_index.h"

#include "mobile/media/core/media_index.h"
#include "platform/clock.h"
#include "resources/strings.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace media {

namespace {

std::string Format(const char* format, auto... args)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

}  // namespace

std::optional<std::vector<ClipInfo>> ParseClipIndex(std::span<const uint8_t> bytes)
{
    if (bytes.size() != kClipIndexSize)
        return std::nullopt;
    std::vector<ClipInfo> clips;
    for (size_t i = 0; i < kClipRecordCount; ++i) {
        ClipIndexRecord r;
        std::memcpy(&r, bytes.data() + i * sizeof r, sizeof r);
        ClipInfo c;
        c.number = r.number.get();
        c.name = PhoneTextToUtf8(r.name);
        c.isPrivate = r.isPrivate != 0;
        c.size = r.size.get();
        c.seconds = r.seconds.get();
        clips.push_back(std::move(c));
    }
    return clips;
}

LoadedClipIndex LoadClipIndex(const std::string& path, int attempts)
{
    LoadedClipIndex loaded;
    std::error_code ec;
    for (int i = 0; i < attempts && std::filesystem::exists(path, ec); ++i) {
        if (const auto bytes = ReadFileBytes(path)) {
            auto clips = ParseClipIndex(*bytes);
            loaded.status = clips ? IndexLoad::Ok : IndexLoad::WrongSize;
            if (clips)
                loaded.clips = std::move(*clips);
            return loaded;
        }
        plat::Sleep(10);
    }
    return loaded;  // never written (nothing to wait for), or it stayed unreadable
}

std::string ClipFileName(int number)
{
    return Format("Video%02d", number - 1);
}

std::vector<ClipRow> BlankClipRows()
{
    return std::vector<ClipRow>(kVideoListRows);
}

std::vector<ClipRow> ClipRows(const std::vector<ClipInfo>& clips, const std::function<std::string(int)>& text,
                              std::span<const KnownClipSize> known)
{
    std::vector<ClipRow> rows;
    for (size_t i = 0; i < clips.size(); ++i) {
        const ClipInfo& c = clips[i];
        ClipRow row;
        if (c.empty()) {
            row.number = std::to_string(i + 1);
            row.name = text(res::IDS_EMPTY);
            row.size = "0K";
        } else if (c.isPrivate) {
            row.number = std::to_string(c.number);
            row.name = text(res::IDS_PRIVATE_ITEM_NAME);
            row.length = "0";
            row.resolution = "0";
            row.size = "0K";
            row.clipNumber = c.number;  // selectable, so that saving it can be refused
        } else {
            row.number = std::to_string(c.number);
            row.name = c.name;
            row.length = Format("%02u:%02u", c.seconds / 60, c.seconds % 60);
            row.resolution = "128x96";
            for (const KnownClipSize& k : known)
                if (k.number == c.number && k.size == c.size)
                    row.resolution = Format("%dx%d", k.width, k.height);
            row.size = Format("%u K", c.size / 1024);
            row.clipNumber = c.number;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string WithExtension(const std::string& path, const std::string& ext)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path.substr(0, dot) + ext;
    return path + ext;
}

}  // namespace media
