#pragma once
// Running telvane in the command-line tests: in this process through
// telvane::cli::Main (needs telvane_cli), or as the program itself
// (TELVANE_BINARY, a child process with no terminal), and the fixture of a
// fresh emulated phone whose program directory lies beside it.

#include "cli/cli.h"
#include "support/sim_phone.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>


extern char** environ;

namespace clitest {

namespace fs = std::filesystem;

struct Result {
    int exit = -1;
    std::string out, err;
};

// telvane's entry point in this process, with stdout and stderr captured.
inline Result RunInProcess(std::vector<std::string> args, std::FILE* in = nullptr)
{
    const auto drain = [](std::FILE* f) {
        std::string s;
        std::rewind(f);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            s.append(buf, n);
        std::fclose(f);
        return s;
    };
    const std::vector<std::string_view> argv(args.begin(), args.end());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Result r;
    r.exit = telvane::cli::Main(argv, {in, out, err});
    r.out = drain(out);
    r.err = drain(err);
    return r;
}

#ifdef TELVANE_BINARY
// The telvane program as a child process: stdin from /dev/null, stdout and
// stderr into files in dir, read back by Wait. Killed if never waited for.
class Process {
public:
    Process(std::vector<std::string> args, const fs::path& dir) : out_(dir / "out"), err_(dir / "err")
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        args.insert(args.begin(), TELVANE_BINARY);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, TELVANE_BINARY, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    Result Wait()
    {
        Result r;
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
            r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid_ = -1;
        }
        r.out = linktest::SimPhone::ReadAll(out_);
        r.err = linktest::SimPhone::ReadAll(err_);
        return r;
    }
    // Waits (real time) until stderr holds text.
    bool WaitForErr(const std::string& text, int realMs = 30000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
        while (std::chrono::steady_clock::now() < end) {
            if (linktest::SimPhone::ReadAll(err_).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // polling a file, not timing
        }
        return false;
    }

private:
    fs::path out_, err_;
    pid_t pid_ = -1;
};

inline Result RunProgram(std::vector<std::string> args, const fs::path& dir)
{
    return Process(std::move(args), dir).Wait();
}
#endif

// A fresh emulated phone, and TELVANE_HOME in its directory.
class PhoneTest : public ::testing::Test {
protected:
    explicit PhoneTest(std::string name) : name_(std::move(name)) {}
    void SetUp() override
    {
        phone = std::make_unique<linktest::SimPhone>(name_);
        ASSERT_TRUE(phone->ok());
        home = phone->dir() / "home";
        fs::create_directories(home);
        ::setenv("TELVANE_HOME", home.c_str(), 1);
    }
    void TearDown() override
    {
        phone.reset();
        ::unsetenv("TELVANE_HOME");
        ::unsetenv("TELVANE_SERIAL_DIR");
    }

    std::unique_ptr<linktest::SimPhone> phone;
    fs::path home;

private:
    std::string name_;
};

}  // namespace clitest
