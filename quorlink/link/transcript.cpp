#include "quorlink/link/transcript.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quorlink::link {

std::string FormatTranscriptLine(const plat::TimeOfDay& time, bool sent, std::string_view text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d %s: ", time.hour % 100, time.minute % 100, time.second % 100,
                  sent ? "SEND" : "RECV");
    std::string line(stamp);
    line.append(text);
    line.append("\r\n");
    return line;
}

Transcript::~Transcript()
{
    Close();
}

bool Transcript::Open(const std::string& path)
{
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

void Transcript::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Transcript::Write(bool sent, std::string_view text)
{
    if (fd_ < 0)
        return;
    const std::string line = FormatTranscriptLine(plat::LocalTimeOfDay(), sent, text);
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // a full disk must not stop the link
        done += static_cast<size_t>(n);
    }
}

}  // namespace quorlink::link
