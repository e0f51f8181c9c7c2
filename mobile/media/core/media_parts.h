#pragma once
// Copying a camera photo, or a picture or sound received by WAP or MMS, to
// the PC. The phone keeps such a file in parts of 20480 bytes: part 0
// under the file's name f, part i (i >= 1) under f + "_" + i. Saving
// downloads every part into the program directory (local part i named f
// followed by i), then joins them in order into the file the user chose.
//
// Plain C++ over a shell::BatchRunner, shared by the pictures and
// ringtones pages and `telvane`. Thread affinity: the thread that runs the
// batches.

#include "mobile/media/core/media_listing.h"
#include "mobile/media/core/media_slots.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace media {

inline constexpr uint32_t kPartSize = 20480;

// size / 20480 + 1, one less when size is a multiple of 20480 (at least 1).
[[nodiscard]] int PartCount(uint32_t size);
// f, f_1, f_2, ...
[[nodiscard]] std::string PhonePartName(std::string_view fileName, int part);
// f, f1, f2, ...
[[nodiscard]] std::string LocalPartName(std::string_view fileName, int part);

// One request 201 for each part from phoneDirectory into the program directory;
// title 57964, one step for each part.
[[nodiscard]] shell::BatchPlan PartsDownloadPlan(std::string_view phoneDirectory, std::string_view fileName,
                                                 uint32_t size, std::string_view programDirectory);

// Joins the local parts into out: every part must be there; the result is
// written beside out and moved over it only when complete, so a failed
// join never leaves a cut file. The local parts are removed afterwards.
[[nodiscard]] bool JoinParts(std::string_view programDirectory, std::string_view fileName, int parts,
                             const std::filesystem::path& out);

// What the save dialog offers: the extension after the first "." of the
// phone file name, the display name with \ / : * ? < > | and the double
// quote replaced by "_", and the filter "ext File(*.ext)|*.ext||".
[[nodiscard]] std::string SaveExtension(std::string_view fileName);
[[nodiscard]] std::string SaveDefaultName(std::string_view displayName);
[[nodiscard]] std::string SaveFilter(std::string_view extension);

// Saves the item of a camera, WAP or MMS row to out: private camera and MMS
// items are refused (57979 with 57980 as the box's title), a row past a WAP
// list's count does nothing; then the parts are downloaded and joined
// (57960, or 57907 when the batch failed or a part is missing).
[[nodiscard]] FlowResult SaveItem(shell::BatchRunner& runner, std::string_view programDirectory, MediaList list,
                                  const MediaRow& row, const std::filesystem::path& out);

}  // namespace media
