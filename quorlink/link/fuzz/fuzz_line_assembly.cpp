// Arbitrary bytes, in arbitrary read chunks, through the line assembler and
// the line classifiers: every line must lie inside the buffer, be
// NUL-terminated where promised, and the counts must stay in bounds.

#include "quorlink/link/line_assembler.h"
#include "quorlink/link/link_tables.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <span>

using quorlink::link::LineAssembler;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LineAssembler assembler;
    size_t at = 0;
    while (at < size) {
        // The first byte of each chunk sets the chunk's length (1..64).
        const size_t n = std::min<size_t>(1 + (data[at] & 0x3F), size - at - 1);
        at += 1;
        auto room = assembler.WritableSpan();
        const size_t take = std::min(n, room.size());
        std::copy_n(data + at, take, room.begin());
        assembler.Commit(take);
        at += n;
        for (int guard = 0; guard < 4096; ++guard) {
            const auto e = assembler.Next();
            if (e.kind == LineAssembler::Kind::None)
                break;
            if (e.text.size() >= LineAssembler::kBufferSize)
                std::abort();
            if (e.kind == LineAssembler::Kind::Line && e.text.data()[e.text.size()] != 0)
                std::abort();
            (void)quorlink::link::ClassifyLine(e.text);
            (void)quorlink::link::CmeErrorNumber(e.text);
        }
        if (assembler.fillCount() > LineAssembler::kMaxHeld || assembler.readIndex() > assembler.fillCount())
            std::abort();
    }
    return 0;
}
