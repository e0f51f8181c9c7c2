#pragma once
// The link transcript "log.txt": every command sent and every line
// received, one time-stamped line each, written to the file at once.
//
// Owned by the worker thread.

#include "platform/clock.h"

#include <string>
#include <string_view>

namespace quorlink::link {

// "hh:mm:ss SEND: <text>\r\n" or "hh:mm:ss RECV: <text>\r\n", local time.
[[nodiscard]] std::string FormatTranscriptLine(const plat::TimeOfDay& time, bool sent, std::string_view text);

class Transcript {
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Creates (or empties) the file; false when it cannot be created, in
    // which case the link runs without a transcript.
    bool Open(const std::string& path);
    void Close();
    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }

    void Sent(std::string_view command) { Write(true, command); }
    void Received(std::string_view line) { Write(false, line); }

private:
    void Write(bool sent, std::string_view text);
    int fd_ = -1;
};

}  // namespace quorlink::link
