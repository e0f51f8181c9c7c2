// Operator front end: loading the software, compared and package files into
// the download context.
#include "brindel/panels/dwl51mmi.h"

#include "brindel/dwl17debug.h"
#include "brindel/dwl50dev.h"
#include "brindel/dwl_result.h"
#include "brindel/runtime/dwl_rt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads a whole file into a new malloc'ed buffer of size + extra bytes (the
// extra bytes zeroed). The old image is freed only once the new one is read.
int LoadImage(const char* path, size_t extra, uint8_t** image, uint32_t* size)
{
    // Only regular files: a device or a pipe named here could block or never end.
    if (rt_GetFileSize(path) < 0)
        return DWL_PCLIB_FILE_NOT_FOUND;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file)
        return DWL_PCLIB_FILE_NOT_FOUND;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return DWL_PCLIB_FILE_SIZE;
    const long length = std::ftell(file.get());
    if (length < 0 || static_cast<unsigned long>(length) > 0xFFFFFFF0ul ||
        std::fseek(file.get(), 0, SEEK_SET) != 0)
        return DWL_PCLIB_FILE_SIZE;
    const size_t n = static_cast<size_t>(length);
    auto* data = static_cast<uint8_t*>(std::calloc(n + extra, 1));
    if (data == nullptr)
        return DWL_PCLIB_FILE_SIZE;
    if (std::fread(data, 1, n, file.get()) != n) {
        std::free(data);
        return DWL_PCLIB_FILE_SIZE;
    }
    std::free(*image);
    *image = data;
    *size = static_cast<uint32_t>(n);
    return DWL_OK;
}

// Remembers the directory of the last file chosen.
void RememberDirectory(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr)
        dwl50_2SetPath(sg_DownloadContext.directory, "", 0);
    else
        dwl50_2SetPath(sg_DownloadContext.directory, path, static_cast<size_t>(slash - path + 1));
}

}  // namespace

extern "C" {

int dwl51_0InitLoadFile(void)
{
    T_DownloadContext& c = sg_DownloadContext;
    int rc = LoadImage(c.softwarePath, 1, &c.softwareImage, &c.softwareSize);
    if (rc != DWL_OK)
        return rc;
    dwl17_2TraceStep(("Loading CLA File: " + std::string(c.softwarePath)).c_str());
    RememberDirectory(c.softwarePath);
    if (c.comparedOption == 1 && c.comparedPath[0] != '\0') {
        rc = LoadImage(c.comparedPath, 1, &c.comparedImage, &c.comparedSize);
        if (rc != DWL_OK)
            return rc;
        dwl17_2TraceStep(("Loading Compared File: " + std::string(c.comparedPath)).c_str());
    }
    return DWL_OK;
}

int dwl51_1InitPackageFile(void)
{
    T_DownloadContext& c = sg_DownloadContext;
    const int rc = LoadImage(c.packagePath, 2, &c.packageImage, &c.packageSize);
    if (rc != DWL_OK)
        return rc;
    // The package is handled in 16-bit units: an odd size gets one zero byte.
    if (c.packageSize % 2 != 0)
        ++c.packageSize;
    dwl17_2TraceStep(("Loading BIN File: " + std::string(c.packagePath)).c_str());
    RememberDirectory(c.packagePath);
    return DWL_OK;
}

}  // extern "C"
