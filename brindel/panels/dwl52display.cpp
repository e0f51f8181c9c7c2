// Showing a result: in the operator window when it exists, otherwise through
// the result callback of the download context.
#include "brindel/dwl_result.h"

#include <cstdio>
#include <cstring>

extern "C" {

/* The operator window's panel handle; -1 while there is none (the engine used
 * as a library). */
int v_PanelOperator = -1;

void dwl52_10DisplayResult(int family, int code)
{
    if (v_PanelOperator != -1)
        return;  // the operator panels show results themselves
    const T_ResultCallback callback = sg_DownloadContext.resultCallback;
    if (callback == nullptr)
        return;
    DownloadResult result;
    result.family = family;
    result.code = code;
    std::memset(result.comment, 0, sizeof result.comment);
    std::snprintf(result.comment, sizeof result.comment, "%s", dwl_GetResultMessage(family, code));
    callback(&result);
}

}  // extern "C"
