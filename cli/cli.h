#pragma once
// The command table of the `telvane` program. Every command is one row:
// its name, a one-line summary, its usage text, the options it accepts and
// the function that runs it. Groups ("codec") hold a table of their own.
// Results go to stdout, errors to stderr; a command returns kExitOk,
// kExitFailure or kExitUsage.

#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace telvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct OptionSpec {
    std::string_view name;  // without the leading "--"
    bool takesValue;
};

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> options;

    [[nodiscard]] bool Has(std::string_view name) const { return options.find(name) != options.end(); }
    [[nodiscard]] std::optional<std::string> Get(std::string_view name) const;
};

// A whole decimal argument between low and high; nothing for anything else.
[[nodiscard]] std::optional<int> NumberInRange(const std::string& text, int low, int high);

struct Io {
    std::FILE* in;
    std::FILE* out;
    std::FILE* err;
};

struct Command {
    std::string_view name;
    std::string_view summary;
    std::string_view usage;  // the arguments after the command's name
    std::span<const OptionSpec> options;
    int minPositional;
    int maxPositional;
    int (*run)(const Args& args, const Io& io);
    std::span<const Command> subcommands;  // non-empty for a group
};

// The top-level table.
std::span<const Command> TopLevelCommands();
// The offline codec tools.
std::span<const Command> CodecCommands();
// pictures, picture put|clear|save, image wallpaper|convert.
std::span<const Command> PicturesCommands();
// ringtones, ringtone put|clear|save, play.
std::span<const Command> SoundCommands();
// mp3 list|put|clear (MP3 mode).
std::span<const Command> Mp3Commands();

// Runs the program on argv[1..] ("telvane" is argv[0]).
int Main(std::span<const std::string_view> argv, const Io& io);

// Reports a failure on stderr ("telvane: <what>") and returns kExitFailure.
int Fail(const Io& io, std::string_view what);

// A string resource in English (the terminal has no resource bundle);
// "#id" for an id the table lacks.
[[nodiscard]] std::string ResourceText(int id);

}  // namespace telvane::cli
