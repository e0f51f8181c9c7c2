#pragma once
// The program directory: where working copies, index copies, transcripts,
// logs and conversion files live.
//
// $TELVANE_HOME/ if set, else $XDG_DATA_HOME/telvane/, else
// ~/.local/share/telvane/. Created on first use. Always ends with '/'.

#include <string>

namespace plat {

// Returns the directory with its trailing '/'. If it cannot be created the
// path is still returned; opening a file in it then fails with a clear error.
[[nodiscard]] std::string ProgramDirectory();

// Creates a directory and its parents (like mkdir -p); true when it exists.
bool MakeDirectories(const std::string& path);

}  // namespace plat
