#pragma once
// A one-line progress bar on stderr, drawn only when stderr is a terminal
// (scripts that read the output see no control characters).

#include "cli/cli.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace telvane::cli {

class ProgressBar {
public:
    ProgressBar(const Io& io, std::string label)
        : io_(io), label_(std::move(label)), shown_(::isatty(::fileno(io.err)) == 1)
    {
    }
    ~ProgressBar() { Done(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(long current, long total)
    {
        if (!shown_)
            return;
        constexpr int kWidth = 30;
        const int filled = total > 0 ? static_cast<int>(std::min<long>(kWidth, current * kWidth / total)) : kWidth;
        const int percent = total > 0 ? static_cast<int>(std::min<long>(100, current * 100 / total)) : 100;
        std::fprintf(io_.err, "\r%s [%.*s%*s] %3d%% %ld/%ld", label_.c_str(), filled, "##############################",
                     kWidth - filled, "", percent, current, total);
        std::fflush(io_.err);
        drawn_ = true;
    }
    void Done()
    {
        if (drawn_)
            std::fputc('\n', io_.err);
        drawn_ = false;
    }

private:
    const Io& io_;
    std::string label_;
    bool shown_;
    bool drawn_ = false;
};

}  // namespace telvane::cli
