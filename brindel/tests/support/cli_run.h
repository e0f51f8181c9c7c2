// Runs the brindel program with arguments and collects what it prints.
#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace brindel_test {

struct CliResult {
    int exitCode;  // -1 when the program could not be run or did not exit
    std::string out;  // standard output (standard error is dropped)
};

inline CliResult RunProgram(const std::string& program, const std::string& args)
{
    const std::string command = program + " " + args + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    CliResult r{-1, {}};
    if (pipe == nullptr)
        return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.out.append(buffer, n);
    const int status = ::pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace brindel_test
