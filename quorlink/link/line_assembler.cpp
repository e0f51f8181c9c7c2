#include "quorlink/link/line_assembler.h"

#include <algorithm>
#include <cstring>

namespace quorlink::link {
namespace {

constexpr std::string_view kSwitchOff = "SWITCHOFF";
constexpr std::string_view kCrLfSwitchOff = "\r\nSWITCHOFF";

bool IsCrLf(uint8_t b)
{
    return b == '\r' || b == '\n';
}

}  // namespace

bool LineAssembler::HeldBeginsWith(size_t at, std::string_view text) const
{
    if (at > fill_ || fill_ - at < text.size())
        return false;
    return std::memcmp(buffer_.data() + at, text.data(), text.size()) == 0;
}

LineAssembler::Extracted LineAssembler::Next()
{
    // A complete line: the first CR or LF that comes after at least one
    // byte which is not itself a CR or LF (so the blank lines that frame
    // every response do not come out as empty lines).
    size_t term = fill_;
    bool seenContent = false;
    for (size_t i = read_; i < fill_; ++i) {
        if (IsCrLf(buffer_[i])) {
            if (seenContent) {
                term = i;
                break;
            }
        } else {
            seenContent = true;
        }
    }

    if (term < fill_) {
        if ((HeldBeginsWith(read_ + 2, "OK") && HeldBeginsWith(read_ + 4, kCrLfSwitchOff)) ||
            HeldBeginsWith(read_, kCrLfSwitchOff)) {
            read_ = fill_;
            return {Kind::SwitchOff, kSwitchOff};
        }
        size_t start = read_;
        buffer_[term] = 0;
        read_ = term + 1;
        if (read_ < fill_ && buffer_[read_] == '\n')
            ++read_;
        while (start < term && (IsCrLf(buffer_[start]) || buffer_[start] == ' '))
            ++start;
        return {Kind::Line, std::string_view(reinterpret_cast<const char*>(buffer_.data() + start), term - start)};
    }

    while (read_ < fill_ && IsCrLf(buffer_[read_]))
        ++read_;
    if (fill_ - read_ == 2 && buffer_[read_] == '>' && buffer_[read_ + 1] == ' ') {
        const size_t at = read_;
        read_ = fill_;
        return {Kind::Prompt, std::string_view(reinterpret_cast<const char*>(buffer_.data() + at), 2)};
    }

    // No line. A buffer that is all one unterminated run of kMaxHeld bytes
    // can take no more input: drop it. Anything shorter is kept for the
    // next read, even when the buffer's end was reached after lines were
    // consumed from it.
    if (read_ >= fill_ || fill_ - read_ >= kMaxHeld) {
        fill_ = 0;
        read_ = 0;
        return {};
    }
    if (read_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + read_, fill_ - read_);
        fill_ -= read_;
        read_ = 0;
    }
    return {};
}

std::span<uint8_t> LineAssembler::WritableSpan()
{
    if (fill_ >= kMaxHeld)
        return {};
    return std::span<uint8_t>(buffer_.data() + fill_, kMaxHeld - fill_);
}

void LineAssembler::Commit(size_t bytes)
{
    fill_ = std::min(kMaxHeld, fill_ + bytes);
}

size_t LineAssembler::Append(std::span<const uint8_t> data)
{
    auto room = WritableSpan();
    const size_t n = std::min(room.size(), data.size());
    std::copy_n(data.begin(), n, room.begin());
    Commit(n);
    return n;
}

void LineAssembler::Clear()
{
    fill_ = 0;
    read_ = 0;
}

}  // namespace quorlink::link
