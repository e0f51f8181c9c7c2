#pragma once
// The phone link's lookup tables: the response keywords (a received line's
// code, and the short command for a code), the raw file-command names, and
// the helpers that read numbers out of result lines.
//
// Pure functions; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlink::link {

// Codes of ResponseKeywordTable. A line that matches no keyword has kNoKeyword.
enum ResponseCode : int {
    kRespOk = 0,
    kRespError = 1,
    kRespCme = 2,
    kRespStartUl = 3,
    kRespGet = 4,
    kRespEnd = 5,
    kRespStartDl = 6,
    kRespPut = 7,
    kRespRemove = 8,
    kRespList = 9,
    kRespVolume = 10,
    kRespConnect = 11,
    kRespDisconnect = 12,
    kRespFileInfo = 13,
    kRespMkdir = 14,
    kRespRmdir = 15,
    kNoKeyword = 50,
    kRespSwitchOff = 52,
};

struct KeywordRow {
    std::string_view keyword;
    int code;
};

// Walked first-match-wins; a keyword matches a line when it is a
// case-insensitive prefix of it.
inline constexpr KeywordRow ResponseKeywordTable[] = {
    {"OK", kRespOk},
    {"ERROR", kRespError},
    {"+CME", kRespCme},
    {"*STARTUL", kRespStartUl},
    {"*GET", kRespGet},
    {"*END", kRespEnd},
    {"*STARTDL", kRespStartDl},
    {"*PUT", kRespPut},
    {"*REMOVE", kRespRemove},
    {"*LIST", kRespList},
    {"*VOLUME", kRespVolume},
    {"*CONNECT", kRespConnect},
    {"*DISCONNECT", kRespDisconnect},
    {"*FILEINFO", kRespFileInfo},
    {"*MKDIR", kRespMkdir},
    {"*RMDIR", kRespRmdir},
    {"SWITCHOFF", kRespSwitchOff},
};

struct CommandNameRow {
    int requestCode;
    std::string_view name;
};

inline constexpr int kTableEndCode = 300;

// Raw file-command request codes and their command names, ended by 300.
inline constexpr CommandNameRow CommandNameTable[] = {
    {0x50, "*STARTUL"},  {0x51, "*GET"},   {0x52, "*END"},    {0x53, "*STARTDL"},  {0x54, "*PUT"},
    {0x55, "*REMOVE"},   {0x56, "*LIST"},  {0x57, "*VOLUME"}, {0x58, "*CONNECT"},  {0x59, "*DISCONNECT"},
    {0x5A, "*FILEINFO"}, {0x5B, "*MKDIR"}, {0x5C, "*RMDIR"},  {kTableEndCode, {}},
};

// The code of a received line (kNoKeyword when no keyword matches).
[[nodiscard]] int ClassifyLine(std::string_view line);

// "AT<keyword>\r" for a code of 16 or less that has a keyword; nothing else.
[[nodiscard]] std::optional<std::string> ShortCommand(int code);

// The command name of a raw file-command request code, if it has one.
[[nodiscard]] std::optional<std::string_view> CommandName(int requestCode);

// The number in a "+CME ERROR:" line: the digits from the first digit after
// the colon; -1 when there is none (or no colon).
[[nodiscard]] int CmeErrorNumber(std::string_view line);

// The final result a line carries. Every wait for the end of a command's
// answer asks this one function, so "OK", "ERROR", "+CME ERROR: n" and the
// message service's "+CMS ERROR: n" end an answer alike everywhere.
enum class FinalKind { Ok, Error, CmeError, CmsError };
struct FinalResult {
    FinalKind kind;
    int number;  // the +CME / +CMS error number; -1 when there is none
    [[nodiscard]] bool ok() const { return kind == FinalKind::Ok; }
};
// Nothing for a line that is no final result (information lines, echoes,
// "+CMEE: 1" and the like).
[[nodiscard]] std::optional<FinalResult> ClassifyFinal(std::string_view line);

// Case-insensitive (ASCII) prefix test.
[[nodiscard]] bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace quorlink::link
