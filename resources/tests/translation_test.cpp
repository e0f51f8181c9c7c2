// Every text of the desktop program exists in English and Chinese: the
// string table's rows, the dialog templates and the menu and toolbar
// (which name strings), and the string numbers the code asks for. A
// Chinese text must be a translation, not a copy of the English one.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = TELVANE_SOURCE_DIR;

// Rows whose Chinese text is rightly the English one.
struct Exception {
    int id;
    const char* reason;
};
constexpr Exception kSameInBothLanguages[] = {
    {57344, "the product's name, kept in Latin letters in Chinese too"},
    {59009, "the product's name, kept in Latin letters in Chinese too"},
    {59020, "MP3 is the format's name in Chinese as well"},
    {59215, "WAP is the protocol's name in Chinese as well"},
};

struct Row {
    std::string name, english, chinese;
};

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<int, Row> Strings()
{
    std::map<int, Row> rows;
    std::istringstream in(ReadFile(kRoot / "resources/strings/strings.tsv"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cols;
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, '\t');)
            cols.push_back(f);
        cols.resize(4);
        rows[std::stoi(cols[0])] = {cols[1], cols[2], cols[3]};
    }
    return rows;
}

// True when the UTF-8 text holds a CJK ideograph or CJK punctuation.
bool HasChinese(const std::string& s)
{
    for (size_t i = 0; i + 2 < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b == 0xE3 || (b >= 0xE4 && b <= 0xE9) || b == 0xEF)
            return true;
    }
    return false;
}

bool HasLetters(const std::string& s)
{
    return std::any_of(s.begin(), s.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

std::vector<fs::path> Files(const fs::path& dir, const std::string& extension)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file() && e.path().extension() == extension)
            out.push_back(e.path());
    }
    return out;
}

}  // namespace

TEST(Translation, EveryStringInBothLanguages)
{
    const auto rows = Strings();
    ASSERT_GT(rows.size(), 150u);
    std::set<int> excepted;
    for (const auto& e : kSameInBothLanguages) {
        excepted.insert(e.id);
        EXPECT_TRUE(rows.count(e.id)) << e.id << " is excepted but not in the table";
    }
    for (const auto& [id, r] : rows) {
        EXPECT_FALSE(r.english.empty()) << id << " " << r.name;
        EXPECT_FALSE(r.chinese.empty()) << id << " " << r.name << " has no Chinese text";
        if (excepted.count(id)) {
            EXPECT_EQ(r.chinese, r.english) << id << " is excepted as the same in both; it is not";
            continue;
        }
        EXPECT_NE(r.chinese, r.english) << id << " " << r.name << ": the Chinese text is the English one";
        EXPECT_TRUE(!HasLetters(r.english) || HasChinese(r.chinese))
            << id << " " << r.name << ": \"" << r.chinese << "\" is not Chinese";
    }
}

// Dialog templates name their texts by string number ("@n"); a literal text
// would show in one language only.
TEST(Translation, DialogsAndMenusNameStrings)
{
    const auto rows = Strings();
    const std::regex text(R"(<string>([^<]*)</string>)");
    const std::regex ref(R"(@(\d+))");
    int dialogs = 0;
    for (const fs::path& ui : Files(kRoot / "resources/dialogs", ".ui")) {
        ++dialogs;
        const std::string body = ReadFile(ui);
        for (auto it = std::sregex_iterator(body.begin(), body.end(), text); it != std::sregex_iterator(); ++it) {
            const std::string t = (*it)[1];
            std::smatch m;
            if (std::regex_match(t, m, ref))
                EXPECT_TRUE(rows.count(std::stoi(m[1]))) << ui.filename() << " names missing string " << t;
            else
                EXPECT_FALSE(HasLetters(t)) << ui.filename() << " has the literal text \"" << t << "\"";
        }
    }
    EXPECT_GE(dialogs, 5);

    // "popup STRING", "item COMMAND STRING", "button COMMAND IMAGE STRING".
    for (const auto& [file, column] : {std::pair{"resources/menus/128.menu", 0}, {"resources/menus/136.toolbar", 3}}) {
        std::istringstream in(ReadFile(kRoot / file));
        int named = 0;
        for (std::string line; std::getline(in, line);) {
            std::istringstream w(line);
            std::vector<std::string> words;
            for (std::string x; w >> x;)
                words.push_back(x);
            if (words.empty() || words[0][0] == '#' || words[0] == "separator")
                continue;
            const size_t at = column ? size_t(column) : (words[0] == "popup" ? 1 : 2);
            ASSERT_LT(at, words.size()) << file << ": " << line;
            EXPECT_TRUE(rows.count(std::stoi(words[at]))) << file << " names missing string " << words[at];
            ++named;
        }
        EXPECT_GT(named, 5) << file;
    }
}

// String numbers written in the program's code (Str(n)) exist in the table.
TEST(Translation, NumbersTheCodeAsksFor)
{
    const auto rows = Strings();
    const std::regex call(R"(\bStr\((\d{4,5})\))");
    int calls = 0;
    for (const fs::path& src : Files(kRoot / "mobile", ".cpp")) {
        if (src.parent_path().filename() == "tests")
            continue;  // tests also ask for numbers that do not exist
        const std::string body = ReadFile(src);
        for (auto it = std::sregex_iterator(body.begin(), body.end(), call); it != std::sregex_iterator(); ++it) {
            ++calls;
            EXPECT_TRUE(rows.count(std::stoi((*it)[1]))) << src.filename() << " asks for missing string " << (*it)[1];
        }
    }
    EXPECT_GT(calls, 0);
}
