#pragma once
// Result records the worker posts (WM_LINK_RESULT, a malloc'ed LinkResult
// in lParam). A record whose window is gone is freed here.

#include <cstdint>
#include <string_view>

namespace quorlink::link {

// A text record; the text is cut to the record's 771 characters.
void PostTextTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, std::string_view text);
void PostProgressTo(uint32_t window, uint32_t wParam, int32_t status, int32_t code, int32_t current, int32_t total);

}  // namespace quorlink::link
