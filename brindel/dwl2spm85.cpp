// The PCF5085 download: bank limit, the loader's own erase, then the image in
// 8192-byte blocks, each answered with its checksum or a failure status.
#include "brindel/dwl2spm85.h"

#include "brindel/dwl11command.h"
#include "brindel/dwl12pclib.h"
#include "brindel/dwl17debug.h"
#include "brindel/dwl_result.h"
#include "brindel/panels/dwl52display.h"
#include "brindel/runtime/dwl_rt.h"

#include <algorithm>
#include <vector>

extern "C" {

thread_local uint32_t v_DeltaBytes = 0;

int dwl2_2CheckBankLimit(uint8_t deviceId, uint32_t softwareSize)
{
    if ((deviceId == 0x95 || deviceId == 0x28) && softwareSize > 0x17FFFF)
        return DWL_5085_FILE_TOO_BIG;
    if (deviceId == 0xB7 && softwareSize >= 0x300000)
        return DWL_5085_FILE_TOO_BIG;
    return DWL_OK;
}

int dwl2_0CheckInTransmit(uint8_t port, uint32_t expectedSum)
{
    uint8_t b[4];
    for (uint8_t& byte : b) {
        const int v = dwl12_7ReadByte(port);
        byte = v == DWL_READ_TIMEOUT ? uint8_t{DWL_TIMEOUT_BYTE} : static_cast<uint8_t>(v);
        if (v == DWL_READ_TIMEOUT)
            return DWL_5085_CHECKSUM;
    }
    if (b[3] >= DWL_5085_CHAR_CORRUPTED && b[3] <= DWL_5085_WRITE_ERROR_DQ7_BIS) {
        v_DeltaBytes = uint32_t{b[0]} | (uint32_t{b[1]} << 8);
        return b[3];
    }
    const uint32_t sum = uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
    return sum == expectedSum ? int{DWL_OK} : int{DWL_5085_CHECKSUM};
}

DownloadResult dwl2_1DownLoad(T_DownloadContext* context)
{
    DownloadResult result = dwl_MakeResult(DWL_SOFT_OK, 0);
    const uint8_t port = context->port;
    const uint32_t size = context->softwareSize;
    const uint8_t* image = context->softwareImage;
    if (dwl2_2CheckBankLimit(context->deviceId, size) != DWL_OK) {
        dwl52_2MessageBox("Softwares download",
                          context->deviceId == 0xB7
                              ? "File size is over 3 Mbytes. It can not be loaded in the dual bank Flash Memory"
                              : "File size is over 1.5 Mbytes. It can not be loaded in the dual bank Flash Memory");
        dwl_SetResult(&result, DWL_SOFT_5085_ERR, DWL_5085_FILE_TOO_BIG);
        return result;
    }
    if (image == nullptr && size != 0) {
        dwl_SetResult(&result, DWL_SOFT_NOK, 0);
        return result;
    }
    dwl52_1DisplayMessage("CLEAR PROCESSING");
    const uint32_t start = rt_TimeSeconds();
    const int open = dwl12_0UartInit(port, 115200, RT_PARITY_NONE, 120);
    if (open != DWL_OK) {
        dwl_SetResult(&result, DWL_SOFT_LIB_PC_ERR, open);
        return result;
    }
    std::vector<uint32_t> sums;
    for (uint32_t at = 0; at < size; at += DWL_5085_BLOCK_SIZE) {
        const uint32_t n = std::min<uint32_t>(DWL_5085_BLOCK_SIZE, size - at);
        uint32_t sum = 0;
        for (uint32_t i = 0; i < n; ++i)
            sum += image[at + i];
        sums.push_back(sum);
    }
    if (dwl11_55EraseResultByte(port) != DWL_OK) {
        dwl_SetResult(&result, DWL_SOFT_5085_ERR, DWL_5085_BAD_ERASE);
        return result;
    }
    dwl52_1DisplayMessage("END CLEAR PROCESS");
    dwl52_7DisplayElapsed(rt_TimeSeconds() - start);

    dwl52_1DisplayMessage("DOWNLOAD PROCESSING");
    if (rt_FlushInQ(port) < 0) {
        dwl_SetResult(&result, DWL_SOFT_LIB_PC_ERR, DWL_PCLIB_UART);
        return result;
    }
    dwl52_4SetProgress(0, 0, size);
    for (uint32_t block = 0; block < sums.size(); ++block) {
        const uint32_t at = block * DWL_5085_BLOCK_SIZE;
        const uint32_t n = std::min<uint32_t>(DWL_5085_BLOCK_SIZE, size - at);
        if (const int w = dwl12_9WriteBuffer(port, image + at, n); w < 0 || static_cast<uint32_t>(w) != n) {
            dwl_SetResult(&result, DWL_SOFT_LIB_PC_ERR, DWL_PCLIB_UART);
            return result;
        }
        const int rc = dwl2_0CheckInTransmit(port, sums[block]);
        if (rc != DWL_OK) {
            if (rc != DWL_5085_CHECKSUM)
                dwl52_4SetProgress(0, std::min(size, at + v_DeltaBytes), size);
            dwl_SetResult(&result, DWL_SOFT_5085_ERR, rc);
            return result;
        }
        dwl52_4SetProgress(0, at + n, size);
    }
    dwl52_1DisplayMessage("DOWNLOAD COMPLETED");
    dwl52_7DisplayElapsed(rt_TimeSeconds() - start);
    return result;
}

}  // extern "C"
