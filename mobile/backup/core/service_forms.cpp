#include "mobile/backup/core/service_forms.h"

#include "mobile/backup/core/backup_engine.h"
#include "mobile/backup/core/backup_file.h"
#include "mobile/backup/core/backup_flows.h"
#include "platform/program_dir.h"
#include "quorlink/codecs/phone_strings.h"
#include "resources/strings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace backup {

namespace {

[[nodiscard]] std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

[[nodiscard]] std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A descriptor closed with its scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) { }
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Creates (truncates) a file directly inside the directory `dir`, never
// through a symbolic link.
[[nodiscard]] FilePtr CreateIn(int dir, const std::string& name)
{
    Fd fd(::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        return nullptr;
    FilePtr f(::fdopen(fd.get(), "wb"));
    if (f)
        (void)fd.release();
    return f;
}

void Line(std::FILE* log, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), log);
    std::fwrite("\r\n", 1, 2, log);
}

}  // namespace

RestoreField ParseRestoreField(std::string_view text, const std::function<bool(const std::string&)>& exists)
{
    RestoreField f;
    f.file = std::string(text);
    if (!text.ends_with(')'))
        return f;
    // The "(" that opens the final ")", so that names and directories with
    // parentheses of their own survive.
    size_t open = std::string_view::npos;
    int depth = 0;
    for (size_t i = text.size(); i-- > 0;) {
        if (text[i] == ')')
            ++depth;
        else if (text[i] == '(' && --depth == 0) {
            open = i;
            break;
        }
    }
    if (open == std::string_view::npos)
        return f;
    const std::string before(text.substr(0, open));
    const std::string_view arg = text.substr(open + 1, text.size() - open - 2);
    f.argument = std::string(arg);
    if (const size_t at = arg.find("break"); at != std::string_view::npos) {
        f.form = RestoreField::Form::Break;
        f.file = before;
        // The directory is the absolute path after the word.
        if (const size_t slash = arg.find('/', at + 5); slash != std::string_view::npos) {
            f.target = std::string(TrimRight(arg.substr(slash)));
            if (!f.target.ends_with('/'))
                f.target += '/';
        }
        return f;
    }
    if (const size_t at = arg.find("save"); at != std::string_view::npos) {
        f.form = RestoreField::Form::Save;
        f.file = before;
        // The word and one separator, then the phone path.
        std::string_view path = at + 5 <= arg.size() ? TrimLeft(arg.substr(at + 5)) : std::string_view();
        if (path.starts_with("-p")) {
            f.encodeName = true;
            path = TrimLeft(path.substr(2));
        }
        f.phonePath = std::string(TrimRight(path));
        return f;
    }
    // Any other argument restores the file before "(" (or a file whose own
    // name ends in ")").
    f.file = exists && !exists(before) && exists(f.file) ? f.file : before;
    return f;
}

std::string SavePhonePath(std::string_view phonePath, bool encodeName)
{
    const size_t slash = phonePath.rfind('/');
    if (slash == std::string_view::npos || slash + 1 == phonePath.size())
        return {};
    const std::string_view dir = phonePath.substr(0, slash + 1);
    std::string name(phonePath.substr(slash + 1));
    if (!encodeName)
        return std::string(dir) + name;
    // The encoder reads at most 49 characters; a longer name would be cut.
    constexpr size_t kMaxEncoded = 49;
    if (name.size() > kMaxEncoded)
        return {};
    std::string buf(name);
    buf.resize((8 * name.size() + 2) / 3 + 1, '\0');
    StringToPosix(buf.data());
    buf.resize(std::strlen(buf.c_str()));
    return std::string(dir) + buf;
}

std::string UnpackedName(std::string_view phonePath)
{
    std::string s(phonePath);
    for (char& c : s)
        if (c == '/')
            c = '_';
    return s;
}

std::string DefaultBreakDirectory(const std::string& programDir)
{
    return programDir + "break/";
}

std::string PrintableHeader(std::string_view header)
{
    std::string out;
    for (const char c : header) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

UnpackOutcome UnpackBackup(const std::string& backupPath, std::string targetDir,
                           const std::function<void(const Notice&)>& report)
{
    using shell::Icon;
    UnpackOutcome out;
    if (!targetDir.ends_with('/'))
        targetDir += '/';
    out.targetDir = targetDir;
    const Notice cannotCreate{res::IDS_BACKUP_CANT_CREATE_UNDER_DIR, Icon::Error};
    if (!plat::MakeDirectories(targetDir)) {
        report(cannotCreate);
        return out;
    }
    const Fd dir(::open(targetDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FilePtr log = dir.get() >= 0 ? CreateIn(dir.get(), std::string(kBreakLog)) : nullptr;
    if (!log) {
        report(cannotCreate);
        return out;
    }
    FilePtr in(std::fopen(backupPath.c_str(), "rb"));
    if (!in) {
        report({res::IDS_BACKUP_FILE_OPEN_FAILED, Icon::Error});
        return out;
    }
    const BackupScan scan = ScanBackup(in.get());
    if (scan.damage == Damage::NotBackup) {
        report({res::IDS_BACKUP_FILE_CRACKED,
                Icon::Error,
                {PrintableHeader(scan.header)},
                {res::IDS_BACKUP_FILE_HEADER_IS}});
        return out;
    }
    for (const BackupEntry& e : scan.entries)
        Line(log.get(), e.name);

    for (size_t i = 0; i < scan.entries.size(); ++i) {
        const BackupEntry& e = scan.entries[i];
        if (!e.hasData)
            break;
        if (e.problem != NameProblem::None) {
            // Unusable names never become local names; their data is skipped.
            Line(log.get(), "skipped file " + std::to_string(i + 1) + ": [" + PrintableHeader(e.name) + "]");
            ++out.skipped;
            continue;
        }
        const std::string local = UnpackedName(e.name);
        FilePtr f = CreateIn(dir.get(), local);
        const CopyResult c = f ? CopyRange(in.get(), e.dataOffset, e.size, f.get()) : CopyResult{};
        const bool closed = f && std::fclose(f.release()) == 0;
        if (!c.ok || !closed) {
            report({c.writeError == WriteError::DiskFull ? res::IDS_DISK_FULL : res::IDS_BACKUP_UNPACK_WRITE_FAILED,
                    Icon::Error,
                    {targetDir + local}});
            return out;
        }
        Line(log.get(), "break file: " + targetDir + local);
        ++out.written;
    }
    if (!scan.whole()) {
        // What could be unpacked is there; the message says how much.
        Notice n = DamageNotice(scan);
        n.moreIds.push_back(res::IDS_BACKUP_UNPACK_PARTIAL);
        n.args.push_back(std::to_string(out.written));
        n.args.push_back(targetDir);
        report(n);
        return out;
    }
    out.done = true;
    if (out.skipped != 0)
        report({res::IDS_BACKUP_UNPACKED_SKIPPED,
                Icon::Information,
                {std::to_string(out.written), targetDir, std::to_string(out.skipped)}});
    else
        report({res::IDS_BACKUP_UNPACKED, Icon::Information, {std::to_string(out.written), targetDir}});
    return out;
}

}  // namespace backup
