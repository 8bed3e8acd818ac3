// The resource ids against the script. The compiled resources are checked in the shipped
// program by tests/release/check_resources.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

// ---- The id header and the script ----------------------------------------------------------

// The ids of resource.h that hold a number, by name.
std::map<std::string, long> HeaderIds() {
    std::map<std::string, long> ids;
    std::istringstream in(ReadText(KQ_RES_DIR "/resource.h"));
    const std::regex define(
        R"(^\s*#\s*define\s+(ID\w*)\s+\(?\s*(-?(0[xX][0-9a-fA-F]+|\d+))\s*\)?\s*(//.*)?$)");
    std::smatch m;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, m, define))
            ids[m[1]] = std::stol(m[2], nullptr, 0);
    return ids;
}

// Windows' own ids, which the script may use without resource.h.
const std::set<std::string> kWindowsIds = {"IDOK", "IDCANCEL", "VS_VERSION_INFO",
                                           "CREATEPROCESS_MANIFEST_RESOURCE_ID"};

struct Token {
    std::string text;
    int line;
    bool quoted;
};

// Splits a resource script into tokens, leaving out comments and preprocessor lines.
std::vector<Token> Tokenize(const std::string& script) {
    std::vector<Token> tokens;
    int line = 1;
    bool lineStart = true;
    for (size_t i = 0; i < script.size();) {
        const char c = script[i];
        if (c == '\n') {
            ++line;
            ++i;
            lineStart = true;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (lineStart && c == '#') {
            i = script.find('\n', i);
        } else if (script.compare(i, 2, "//") == 0) {
            i = script.find('\n', i);
        } else if (script.compare(i, 2, "/*") == 0) {
            const size_t end = std::min(script.find("*/", i + 2), script.size());
            line += static_cast<int>(std::count(script.begin() + i, script.begin() + end, '\n'));
            i = end + 2;
        } else if (c == '"') {
            size_t j = i + 1;
            while (j < script.size() && !(script[j] == '"' && script[j + 1] != '"'))
                j += (script[j] == '"' || script[j] == '\\') ? 2 : 1;
            tokens.push_back({script.substr(i + 1, j - i - 1), line, true});
            i = j + 1;
            lineStart = false;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < script.size() &&
                   (std::isalnum(static_cast<unsigned char>(script[j])) || script[j] == '_'))
                ++j;
            tokens.push_back({script.substr(i, j - i), line, false});
            i = j;
            lineStart = false;
        } else {
            tokens.push_back({std::string(1, c), line, false});
            ++i;
            lineStart = false;
        }
        if (i >= script.size())
            break;
    }
    return tokens;
}

struct IdUse {
    std::string id; // as written, e.g. "IDC_STATIC" or "-1"
    int line;
};

// Every place the script names a resource, a control or a string by id.
std::vector<IdUse> ScriptIdUses(const std::vector<Token>& tokens) {
    static const std::set<std::string> kResourceTypes = {
        "ACCELERATORS", "BITMAP", "CURSOR",       "DIALOG", "DIALOGEX",    "HTML",       "ICON",
        "MENU",         "MENUEX", "MESSAGETABLE", "RCDATA", "RT_MANIFEST", "VERSIONINFO"};
    static const std::set<std::string> kControls = {
        "AUTO3STATE",  "AUTOCHECKBOX", "AUTORADIOBUTTON", "CHECKBOX", "COMBOBOX",
        "CONTROL",     "CTEXT",        "DEFPUSHBUTTON",   "EDITTEXT", "GROUPBOX",
        "ICON",        "LISTBOX",      "LTEXT",           "PUSHBOX",  "PUSHBUTTON",
        "RADIOBUTTON", "RTEXT",        "SCROLLBAR",       "STATE3"};
    static const std::set<std::string> kWithoutText = {"COMBOBOX", "EDITTEXT", "LISTBOX",
                                                       "SCROLLBAR"};
    // Statements inside a resource's header that are followed by a number.
    static const std::set<std::string> kStatements = {
        "CAPTION", "CHARACTERISTICS", "CLASS",    "EXSTYLE",     "FILEFLAGS", "FILEFLAGSMASK",
        "FILEOS",  "FILESUBTYPE",     "FILETYPE", "FILEVERSION", "FONT",      "LANGUAGE",
        "MENU",    "PRODUCTVERSION",  "STYLE",    "VERSION"};
    auto isOpen = [](const Token& t) { return t.text == "BEGIN" || t.text == "{"; };
    auto isClose = [](const Token& t) { return t.text == "END" || t.text == "}"; };
    // The tokens from i up to the next comma, as one field.
    auto field = [&](size_t& i) {
        std::string text;
        for (; i < tokens.size() && tokens[i].text != ","; ++i)
            text += tokens[i].quoted ? "\"" + tokens[i].text + "\"" : tokens[i].text;
        ++i;
        return text;
    };

    std::vector<IdUse> uses;
    std::string block; // the kind of the resource whose body is open
    int depth = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (isOpen(t)) {
            ++depth;
        } else if (isClose(t)) {
            if (--depth == 0)
                block.clear();
        } else if (depth == 0 && (i == 0 || tokens[i - 1].line != t.line) && !t.quoted &&
                   !kStatements.count(t.text) && i + 1 < tokens.size() &&
                   tokens[i + 1].line == t.line &&
                   (kResourceTypes.count(tokens[i + 1].text) ||
                    std::isdigit(static_cast<unsigned char>(tokens[i + 1].text[0])))) {
            uses.push_back({t.text, t.line});
            block = tokens[++i].text;
        } else if (depth == 0 && t.text == "STRINGTABLE") {
            block = t.text;
        } else if (depth == 1 && block == "STRINGTABLE" && !t.quoted && t.text != ",") {
            const int line = t.line;
            std::string id;
            for (; i < tokens.size() && !tokens[i].quoted && tokens[i].text != ","; ++i)
                id += tokens[i].text;
            uses.push_back({id, line});
            while (i + 1 < tokens.size() && tokens[i + 1].quoted)
                ++i;
        } else if (depth == 1 && (block == "DIALOG" || block == "DIALOGEX") && !t.quoted &&
                   kControls.count(t.text)) {
            size_t j = i + 1;
            if (!kWithoutText.count(t.text))
                field(j);
            uses.push_back({field(j), t.line});
        }
    }
    return uses;
}

TEST(ResourceIds, HeaderValuesAreUnique) {
    const auto ids = HeaderIds();
    ASSERT_GE(ids.size(), 9u) << "resource.h lost its ids, or they are no longer plain numbers";
    // IDOK and IDCANCEL share the command space with the program's own ids.
    std::map<long, std::string> owners = {{1, "IDOK"}, {2, "IDCANCEL"}};
    for (const auto& [name, value] : ids) {
        const auto [it, fresh] = owners.emplace(value, name);
        EXPECT_TRUE(fresh) << name << " and " << it->second << " are both " << value;
    }
}

TEST(ResourceIds, AboutCommandIsAValidSystemMenuCommand) {
    const auto ids = HeaderIds();
    ASSERT_TRUE(ids.count("IDM_ABOUTBOX"));
    const long about = ids.at("IDM_ABOUTBOX");
    // Windows uses the low four bits of system commands and reserves 0xF000 and above.
    EXPECT_EQ(about & 0xFFF0, about) << "IDM_ABOUTBOX " << Hex(about) << " sets the low bits";
    EXPECT_LT(about, 0xF000) << "IDM_ABOUTBOX " << Hex(about) << " is in the SC_ range";
    EXPECT_GT(about, 0);
}

TEST(ResourceIds, ScriptUsesOnlyNamedIdsFromTheHeader) {
    const auto ids = HeaderIds();
    const auto uses = ScriptIdUses(Tokenize(ReadText(KQ_RES_DIR "/install.rc")));
    // Dialogs 100 and 102, icon, bitmap, manifest, version, string and six controls.
    ASSERT_GE(uses.size(), 13u) << "the script's ids were not found";
    for (const IdUse& use : uses) {
        EXPECT_TRUE(ids.count(use.id) || kWindowsIds.count(use.id))
            << "install.rc:" << use.line << " uses id " << use.id
            << ", which resource.h does not define";
    }
}

TEST(ResourceIds, EveryResourceAndControlIdInTheHeaderIsUsed) {
    std::set<std::string> used;
    for (const IdUse& use : ScriptIdUses(Tokenize(ReadText(KQ_RES_DIR "/install.rc"))))
        used.insert(use.id);
    for (const auto& entry : HeaderIds()) {
        const std::string& name = entry.first;
        // IDM_ ids are commands the code adds at run time, not resources.
        if (name.rfind("IDM_", 0) == 0)
            continue;
        EXPECT_TRUE(used.count(name)) << name << " is in resource.h but not in install.rc";
    }
}

} // namespace
