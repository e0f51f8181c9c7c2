// A temporary directory that a test works in: the current directory and the
// program directory ($TELVANE_HOME) while it lives.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace brindel_test {

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/brindel-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        path_ = made ? made : "/tmp";
        std::error_code ec;
        old_ = std::filesystem::current_path(ec);
    }
    ~TempDir()
    {
        std::error_code ec;
        if (entered_) {
            std::filesystem::current_path(old_, ec);
            ::unsetenv("TELVANE_HOME");
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    void Enter()
    {
        std::error_code ec;
        std::filesystem::current_path(path_, ec);
        ::setenv("TELVANE_HOME", path_.c_str(), 1);
        entered_ = true;
    }

    const std::string& path() const { return path_; }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream out(path_ + "/" + name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void WriteText(const std::string& name, const std::string& text) const
    {
        std::ofstream(path_ + "/" + name, std::ios::binary | std::ios::trunc) << text;
    }
    void Remove(const std::string& name) const { std::remove((path_ + "/" + name).c_str()); }

private:
    std::string path_;
    std::filesystem::path old_;
    bool entered_ = false;
};

}  // namespace brindel_test
