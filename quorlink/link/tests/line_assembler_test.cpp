#include "quorlink/link/line_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using quorlink::link::LineAssembler;
using Kind = LineAssembler::Kind;

struct Out {
    Kind kind;
    std::string text;
    bool operator==(const Out&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Out& o)
{
    return os << static_cast<int>(o.kind) << ":\"" << o.text << "\"";
}

size_t Feed(LineAssembler& a, const std::string& bytes)
{
    return a.Append(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// Feeds each chunk and extracts until nothing comes, like the worker does
// after every read.
std::vector<Out> Extract(LineAssembler& a, const std::vector<std::string>& chunks)
{
    std::vector<Out> out;
    for (const auto& chunk : chunks) {
        Feed(a, chunk);
        for (;;) {
            const auto e = a.Next();
            if (e.kind == Kind::None)
                break;
            out.push_back({e.kind, std::string(e.text)});
        }
    }
    return out;
}

TEST(LineAssembly, CutsLinesFromByteExactInput)
{
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<Out> expected;
    } cases[] = {
        {"framed final", {"\r\nOK\r\n"}, {{Kind::Line, "OK"}}},
        {"two lines in one read",
         {"\r\n+CPBS: \"SM\",3,250\r\n\r\nOK\r\n"},
         {{Kind::Line, "+CPBS: \"SM\",3,250"}, {Kind::Line, "OK"}}},
        {"split across reads", {"\r\n+CP", "BS: 1", ",2\r", "\n"}, {{Kind::Line, "+CPBS: 1,2"}}},
        {"byte by byte", {"\r", "\n", "O", "K", "\r", "\n"}, {{Kind::Line, "OK"}}},
        {"bare terminators", {"A\rB\nC\r\n"}, {{Kind::Line, "A"}, {Kind::Line, "B"}, {Kind::Line, "C"}}},
        {"leading spaces trimmed", {"\r\n  *GET: 1\r\n"}, {{Kind::Line, "*GET: 1"}}},
        {"echo then result", {"AT*CONNECT\r\r\nOK\r\n"}, {{Kind::Line, "AT*CONNECT"}, {Kind::Line, "OK"}}},
        {"switchoff after OK", {"\r\nOK\r\nSWITCHOFF\r\n"}, {{Kind::SwitchOff, "SWITCHOFF"}}},
        {"switchoff after OK, unterminated", {"\r\nOK\r\nSWITCHOFF"}, {{Kind::SwitchOff, "SWITCHOFF"}}},
        {"switchoff framed", {"\r\nSWITCHOFF\r\n\r\nOK\r\n"}, {{Kind::SwitchOff, "SWITCHOFF"}}},
        {"switchoff bare is a plain line", {"SWITCHOFF\r\n"}, {{Kind::Line, "SWITCHOFF"}}},
        {"prompt alone", {"\r\n> "}, {{Kind::Prompt, "> "}}},
        {"prompt without framing", {"> "}, {{Kind::Prompt, "> "}}},
        {"prompt with a trailing byte", {"\r\n> 0"}, {}},
        {"prompt arriving in two reads", {"\r\n>", " "}, {{Kind::Prompt, "> "}}},
        {"no terminator yet", {"\r\n+CMT: ,23"}, {}},
    };
    for (const auto& c : cases) {
        LineAssembler a;
        EXPECT_EQ(Extract(a, c.chunks), c.expected) << c.name;
    }
}

TEST(LineAssembly, SwitchOffConsumesEverythingHeld)
{
    LineAssembler a;
    Feed(a, "\r\nOK\r\nSWITCHOFF\r\n+CMT: ,23\r\n");
    EXPECT_EQ(a.Next().kind, Kind::SwitchOff);
    EXPECT_EQ(a.Next().kind, Kind::None);
    EXPECT_EQ(a.fillCount(), 0u);
    EXPECT_EQ(a.readIndex(), 0u);
}

TEST(LineAssembly, LinesAreNulTerminatedInPlace)
{
    LineAssembler a;
    Feed(a, "\r\nOK\r\nERROR\n");
    const auto first = a.Next();
    ASSERT_EQ(first.kind, Kind::Line);
    EXPECT_EQ(first.text.data()[first.text.size()], '\0');
    const auto second = a.Next();
    EXPECT_EQ(std::string(second.text.data()), "ERROR");
}

TEST(LineAssembly, FullUnterminatedRunIsDropped)
{
    LineAssembler a;
    EXPECT_EQ(a.WritableSpan().size(), LineAssembler::kMaxHeld);
    EXPECT_EQ(Feed(a, std::string(3000, 'x')), LineAssembler::kMaxHeld);  // a read never asks for more
    EXPECT_TRUE(a.WritableSpan().empty());
    EXPECT_EQ(a.Next().kind, Kind::None);
    EXPECT_EQ(a.fillCount(), 0u);
    // The link carries on with the next line.
    EXPECT_EQ(Extract(a, {"\r\nOK\r\n"}), (std::vector<Out>{{Kind::Line, "OK"}}));
}

TEST(LineAssembly, PartialLineAtTheEndOfAFullBufferIsKept)
{
    // Lines followed by the start of a long one fill the buffer to the
    // last byte; the start must survive for the next read.
    LineAssembler a;
    const std::string head = "\r\n*GET: 0,1\r\n";
    const std::string partial(LineAssembler::kMaxHeld - head.size(), 'B');
    Feed(a, head + partial);
    EXPECT_EQ(a.fillCount(), LineAssembler::kMaxHeld);
    const auto line = a.Next();
    ASSERT_EQ(line.kind, Kind::Line);
    EXPECT_EQ(line.text, "*GET: 0,1");
    EXPECT_EQ(a.Next().kind, Kind::None);
    EXPECT_EQ(a.readIndex(), 0u);
    EXPECT_EQ(a.fillCount(), partial.size());
    EXPECT_EQ(Extract(a, {"\r\n"}), (std::vector<Out>{{Kind::Line, partial}}));
}

TEST(LineAssembly, ConsumedBytesMoveOutOfTheWay)
{
    LineAssembler a;
    Feed(a, "\r\nOK\r\n\r\n+CS");
    EXPECT_EQ(a.Next().text, "OK");
    EXPECT_EQ(a.Next().kind, Kind::None);
    EXPECT_EQ(a.readIndex(), 0u);
    EXPECT_EQ(a.fillCount(), 3u);  // "+CS": the CR LF before it was skipped
    EXPECT_EQ(a.WritableSpan().size(), LineAssembler::kMaxHeld - 3);
    // Only terminators held: emptied.
    LineAssembler b;
    Feed(b, "\r\n\r\n");
    EXPECT_EQ(b.Next().kind, Kind::None);
    EXPECT_EQ(b.fillCount(), 0u);
}

}  // namespace
