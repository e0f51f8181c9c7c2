#pragma once
// Whole-file transfers between the PC and the phone's file system over the
// "*STARTDL"/"*PUT" (PC to phone) and "*STARTUL"/"*GET" (phone to PC)
// commands, file bytes travelling in Base64. Requests 200 and 201.
//
// The handlers run on the worker thread, inside the dispatch, and hold the
// link for the whole transfer. The helpers are pure.

#include "quorlink/link/link_requests.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorlink::link {

// File bytes per "*PUT" command (144 Base64 characters).
inline constexpr std::size_t kPutBlockBytes = 108;
// A start of a PC-to-phone transfer refused with error 1 ("a transfer is
// already open") is answered with the end command and tried again at most
// this many times before the request fails.
inline constexpr int kStartDownloadRetries = 3;

// "AT*PUT=<index>,<count>,<base64>,<check>\r" for one block.
[[nodiscard]] std::string PutCommand(int index, std::span<const uint8_t> block);

// A "*GET" reply line: the byte count and the Base64 text (up to the next
// comma or the end of the line). Nothing when the line has no colon or no
// count.
struct GetReply {
    long count;
    std::string_view data;
};
[[nodiscard]] std::optional<GetReply> ParseGetReply(std::string_view line);

// The file size of a "*STARTUL" line: the decimal number after its colon,
// 0 when there is none.
[[nodiscard]] long StartUploadSize(std::string_view line);
// The same, nothing when the line carries no number.
[[nodiscard]] std::optional<long> StartUploadSizeIfAny(std::string_view line);

// Consecutive "*GET" answers that bring no bytes (undecodable data) before
// a download is given up.
inline constexpr int kMaxEmptyExchanges = 3;

Disposition RunUpload(RequestContext& ctx, int32_t code, LinkRequest& request);  // 200
Disposition RunDownload(RequestContext& ctx, int32_t code, LinkRequest& request);  // 201

}  // namespace quorlink::link
