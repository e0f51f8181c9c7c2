#pragma once
// Assembly of response lines in place in the fixed receive buffer.
//
// Bytes read from the port are appended at the fill count; lines are cut
// from the read index. A returned line points into the buffer and stays
// valid until the next call that reads into or extracts from the buffer.
//
// Owned by the worker thread; not thread-safe.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quorlink::link {

class LineAssembler {
public:
    static constexpr size_t kBufferSize = 2048;
    // The most bytes the buffer holds, leaving room for a terminating NUL.
    static constexpr size_t kMaxHeld = kBufferSize - 1;

    enum class Kind {
        None,  // no line is available
        Line,  // a complete line, trimmed at its start, NUL-terminated
        SwitchOff,  // the phone's switch-off notice; everything held was consumed
        Prompt,  // the message-text prompt "> "
    };
    struct Extracted {
        Kind kind = Kind::None;
        std::string_view text;
    };

    // Cuts the next line from the buffer. Dropping "RING" and the like and
    // offering lines to listeners is left to the caller.
    [[nodiscard]] Extracted Next();

    // Room for the next read (at most kMaxHeld minus the fill count bytes),
    // then Commit() with the bytes that actually arrived.
    [[nodiscard]] std::span<uint8_t> WritableSpan();
    void Commit(size_t bytes);

    // Convenience for tests and the fuzz target: copies as much of data as
    // fits; returns the bytes taken.
    size_t Append(std::span<const uint8_t> data);

    void Clear();

    [[nodiscard]] size_t fillCount() const { return fill_; }
    [[nodiscard]] size_t readIndex() const { return read_; }

private:
    [[nodiscard]] bool HeldBeginsWith(size_t at, std::string_view text) const;

    std::array<uint8_t, kBufferSize> buffer_{};
    size_t fill_ = 0;
    size_t read_ = 0;
};

}  // namespace quorlink::link
