#pragma once
// The restore page's path field, and unpacking a backup into plain files.
//
// A field that ends with ")" is "FILE(ARGUMENT)": with "break" in the
// argument the backup FILE is unpacked into a directory ("FILE(break)",
// "FILE(break /some/dir)"); with "save" the local FILE is uploaded to one
// phone path ("FILE(save /app/jpeg/name)", "-p" before the path encodes the
// name the way the phone keeps slot files); any other argument restores
// FILE. A field without a final ")" is a backup path as typed.

#include "mobile/backup/core/notice.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace backup {

struct RestoreField {
    enum class Form { Restore, Break, Save };
    Form form = Form::Restore;
    std::string file;  // the backup (Restore, Break) or the local file (Save)
    std::string argument;  // inside the parentheses; empty for a plain path
    std::string target;  // Break: the directory named, empty for the default
    std::string phonePath;  // Save: the phone path (directory and name)
    bool encodeName = false;  // Save: "-p" given
};

// Splits a field into its form. `exists` tells whether a local file is
// there: a name that itself ends in ")" (and holds no service word) is
// restored whole when it exists.
[[nodiscard]] RestoreField ParseRestoreField(std::string_view text,
                                             const std::function<bool(const std::string&)>& exists = {});

// The phone path of a save form: the name encoded (StringToPosix) when
// `encodeName`; empty when the path has no "/" or the name is empty.
[[nodiscard]] std::string SavePhonePath(std::string_view phonePath, bool encodeName);

// The local name of an unpacked phone file: every "/" becomes "_".
[[nodiscard]] std::string UnpackedName(std::string_view phonePath);

struct UnpackOutcome {
    bool done = false;  // the backup was read to its end and every usable file written
    size_t written = 0;
    size_t skipped = 0;  // entries with an unusable or repeated name
    std::string targetDir;  // with its trailing "/"
};

// Unpacks a backup into targetDir (created when missing), logging to
// "break_log.txt" there. Every file goes into targetDir itself, never
// below or beside it, and an existing symbolic link there is not
// followed. What goes wrong is reported through `report`.
[[nodiscard]] UnpackOutcome UnpackBackup(const std::string& backupPath, std::string targetDir,
                                         const std::function<void(const Notice&)>& report);

// The directory a "break" field without a directory unpacks into.
[[nodiscard]] std::string DefaultBreakDirectory(const std::string& programDir);

// A backup header as text for a message: printable ASCII as is, other
// bytes as \xHH.
[[nodiscard]] std::string PrintableHeader(std::string_view header);

}  // namespace backup
