#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const telvane::cli::Io io{stdin, stdout, stderr};
    const int rc = telvane::cli::Main(args, io);
    if (std::fflush(stdout) != 0 && rc == telvane::cli::kExitOk) {
        std::perror("telvane: stdout");
        return telvane::cli::kExitFailure;
    }
    return rc;
}
