#pragma once
// The code page 936 (GBK) tables, generated at build time by
// gen/gbk_tables_gen.cpp.

#include <cstdint>

namespace quorlink::codecs {

inline constexpr int kGbkPositions = 23940;

// Indexed by (lead - 0x81) * 190 + column, column = trail - 0x40 for trails
// 0x40..0x7E and trail - 0x41 for trails 0x80..0xFE.
extern const std::uint16_t kGbkToUcs2[kGbkPositions];
// Every value of kGbkToUcs2, ascending (all distinct).
extern const std::uint16_t kUcs2Keys[kGbkPositions];
// The GBK code (lead byte high) of each key, parallel to kUcs2Keys.
extern const std::uint16_t kGbkCodes[kGbkPositions];

}  // namespace quorlink::codecs
