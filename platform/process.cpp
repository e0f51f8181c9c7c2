#include "platform/process.h"

#include "platform/clock.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <utility>

extern char** environ;

namespace plat {

namespace {

int ExitStatusOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

std::string FindProgram(const std::string& program)
{
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // An empty entry names the current directory.
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

ChildProcess::~ChildProcess()
{
    kill();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), pidfd_(std::exchange(other.pidfd_, -1)), exitStatus_(other.exitStatus_),
      error_(std::move(other.error_))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        kill();
        pid_ = std::exchange(other.pid_, -1);
        pidfd_ = std::exchange(other.pidfd_, -1);
        exitStatus_ = other.exitStatus_;
        error_ = std::move(other.error_);
    }
    return *this;
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args)
{
    kill();
    exitStatus_ = -1;
    const std::string path = FindProgram(program);
    if (path.empty()) {
        error_ = program + ": no such program";
        return false;
    }
    std::vector<std::string> argvStore;
    argvStore.push_back(path);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);  // no controlling terminal
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error_ = path + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    return true;
}

void ChildProcess::reapIfEnded()
{
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = ExitStatusOf(status);
        pid_ = -1;
        if (pidfd_ >= 0)
            ::close(pidfd_);
        pidfd_ = -1;
    }
}

int ChildProcess::wait(int64_t limitMs)
{
    const uint32_t startTick = GetTickCount();
    for (;;) {
        reapIfEnded();
        if (pid_ <= 0)
            return kWaitEnded;
        const int64_t left = limitMs - int64_t(GetTickCount() - startTick);
        if (left <= 0)
            return kWaitTimeout;
        // The process's descriptor becomes readable when it ends; without
        // one (an old kernel) look again every 20 ms.
        if (pidfd_ >= 0) {
            pollfd p{pidfd_, POLLIN, 0};
            ::poll(&p, 1, RealTimeoutMs(left));
        } else {
            ::poll(nullptr, 0, std::min(20, RealTimeoutMs(left)));
        }
    }
}

void ChildProcess::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        if (::waitpid(pid_, &status, 0) == pid_)
            exitStatus_ = ExitStatusOf(status);
    }
    pid_ = -1;
    if (pidfd_ >= 0)
        ::close(pidfd_);
    pidfd_ = -1;
}

}  // namespace plat
