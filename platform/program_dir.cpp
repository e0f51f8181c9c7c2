#include "platform/program_dir.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <pwd.h>

namespace plat {

bool MakeDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::string partial;
    partial.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        partial.push_back(path[i]);
        const bool boundary = path[i] == '/' || i + 1 == path.size();
        if (!boundary || partial == "/")
            continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ProgramDirectory()
{
    std::string dir;
    if (const char* home = std::getenv("TELVANE_HOME"); home && *home) {
        dir = home;
    } else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        dir = std::string(xdg) + "/telvane";
    } else {
        const char* userHome = std::getenv("HOME");
        if (!userHome || !*userHome) {
            if (const passwd* pw = ::getpwuid(::getuid()))
                userHome = pw->pw_dir;
        }
        dir = std::string(userHome ? userHome : "/tmp") + "/.local/share/telvane";
    }
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    MakeDirectories(dir);
    dir.push_back('/');
    return dir;
}

}  // namespace plat
