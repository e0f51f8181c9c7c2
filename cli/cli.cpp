#include "cli/cli.h"

#include <cstdlib>

namespace telvane::cli {

std::optional<std::string> Args::Get(std::string_view name) const
{
    auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

std::optional<int> NumberInRange(const std::string& text, int low, int high)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high)
        return std::nullopt;
    return static_cast<int>(v);
}

int Fail(const Io& io, std::string_view what)
{
    std::fprintf(io.err, "telvane: %.*s\n", static_cast<int>(what.size()), what.data());
    return kExitFailure;
}

namespace {

struct EnglishRow {
    int id;
    const char* text;
};
constexpr EnglishRow kEnglish[] = {
#include "resources/strings_en.inc"
};

}  // namespace

std::string ResourceText(int id)
{
    for (const auto& r : kEnglish)
        if (r.id == id)
            return r.text;
    return "#" + std::to_string(id);
}

namespace {

void PrintTable(std::FILE* f, std::string_view prefix, std::span<const Command> table)
{
    std::fprintf(f, "usage: %.*s COMMAND [ARGS...]\n\ncommands:\n", static_cast<int>(prefix.size()), prefix.data());
    for (const Command& c : table)
        std::fprintf(f, "  %-16.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.summary.size()), c.summary.data());
    std::fprintf(f, "\n'%.*s COMMAND --help' describes one command.\n", static_cast<int>(prefix.size()), prefix.data());
}

void PrintUsage(std::FILE* f, std::string_view prefix, const Command& c)
{
    std::fprintf(f, "usage: %.*s %.*s %.*s\n\n%.*s\n", static_cast<int>(prefix.size()), prefix.data(),
                 static_cast<int>(c.name.size()), c.name.data(), static_cast<int>(c.usage.size()), c.usage.data(),
                 static_cast<int>(c.summary.size()), c.summary.data());
}

int UsageError(const Io& io, std::string_view prefix, const Command& c, const std::string& what)
{
    std::fprintf(io.err, "telvane: %s\n", what.c_str());
    PrintUsage(io.err, prefix, c);
    return kExitUsage;
}

const Command* Find(std::span<const Command> table, std::string_view name)
{
    for (const Command& c : table)
        if (c.name == name)
            return &c;
    return nullptr;
}

int Dispatch(std::span<const std::string_view> argv, const Io& io, std::string prefix, std::span<const Command> table)
{
    if (argv.empty()) {
        PrintTable(io.err, prefix, table);
        return kExitUsage;
    }
    if (argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
        PrintTable(io.out, prefix, table);
        return kExitOk;
    }
    const Command* c = Find(table, argv[0]);
    if (c == nullptr) {
        std::fprintf(io.err, "telvane: unknown command '%.*s'\n", static_cast<int>(argv[0].size()), argv[0].data());
        PrintTable(io.err, prefix, table);
        return kExitUsage;
    }
    if (!c->subcommands.empty())
        return Dispatch(argv.subspan(1), io, prefix + " " + std::string(c->name), c->subcommands);

    Args args;
    bool onlyPositional = false;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string_view a = argv[i];
        if (!onlyPositional && (a == "--help" || a == "-h")) {
            PrintUsage(io.out, prefix, *c);
            return kExitOk;
        }
        if (!onlyPositional && a == "--") {
            onlyPositional = true;
            continue;
        }
        if (!onlyPositional && a.size() > 2 && a.substr(0, 2) == "--") {
            std::string_view name = a.substr(2);
            std::optional<std::string_view> inlineValue;
            if (auto eq = name.find('='); eq != std::string_view::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            const OptionSpec* option = nullptr;
            for (const OptionSpec& o : c->options)
                if (o.name == name)
                    option = &o;
            if (option == nullptr)
                return UsageError(io, prefix, *c, "unknown option --" + std::string(name));
            std::string value;
            if (option->takesValue) {
                if (inlineValue) {
                    value = *inlineValue;
                } else if (i + 1 < argv.size()) {
                    value = argv[++i];
                } else {
                    return UsageError(io, prefix, *c, "option --" + std::string(name) + " needs a value");
                }
            } else if (inlineValue) {
                return UsageError(io, prefix, *c, "option --" + std::string(name) + " takes no value");
            }
            args.options[std::string(name)] = std::move(value);
            continue;
        }
        args.positional.emplace_back(a);
    }
    const int n = static_cast<int>(args.positional.size());
    if (n < c->minPositional || n > c->maxPositional)
        return UsageError(io, prefix, *c, "wrong number of arguments");
    return c->run(args, io);
}

}  // namespace

int Main(std::span<const std::string_view> argv, const Io& io)
{
    return Dispatch(argv, io, "telvane", TopLevelCommands());
}

}  // namespace telvane::cli
