// The resource ids against the script, and the resources as windres compiles them (a .res file
// built next to this test) against what the program, the dialog manager and the shell rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        // The lead byte holds as many high 1 bits as the sequence has bytes (0xC0, 0xE0, 0xF0).
        int more = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out += static_cast<char>(more ? ((0xFF << (7 - more)) & 0xFF) | (c >> (6 * more)) : c);
        while (more-- > 0)
            out += static_cast<char>(0x80 | ((c >> (6 * more)) & 0x3F));
    }
    return out;
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

// ---- The compiled resources ----------------------------------------------------------------

// Little-endian reads that stop, and remember it, at the end of the data.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& data, size_t pos = 0) : data_(data), pos_(pos) {}
    template <typename T> T Read() {
        T value{};
        if (pos_ + sizeof(T) > data_.size()) {
            ok_ = false;
            pos_ = data_.size();
            return value;
        }
        std::memcpy(&value, &data_[pos_], sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    std::u16string String() {
        std::u16string text;
        for (char16_t c = Read<uint16_t>(); c != 0 && ok_; c = Read<uint16_t>())
            text += c;
        return text;
    }
    void Align(size_t to) { pos_ = (pos_ + to - 1) / to * to; }
    size_t Pos() const { return pos_; }
    void Seek(size_t pos) { pos_ = pos; }
    bool Ok() const { return ok_ && pos_ <= data_.size(); }

private:
    const std::vector<uint8_t>& data_;
    size_t pos_;
    bool ok_ = true;
};

// A resource's type or name, or a dialog's menu, class or control text: an ordinal or a
// string.
struct NameOrOrdinal {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::u16string text;

    bool Is(uint16_t n) const { return isOrdinal && ordinal == n; }
};

NameOrOrdinal ReadNameOrOrdinal(Reader& r) {
    NameOrOrdinal n;
    const uint16_t first = r.Read<uint16_t>();
    if (first == 0xFFFF) {
        n.isOrdinal = true;
        n.ordinal = r.Read<uint16_t>();
    } else if (first != 0) {
        n.text = char16_t(first) + r.String();
    }
    return n;
}

enum : uint16_t {
    kRtIcon = 3,
    kRtBitmap = 2,
    kRtDialog = 5,
    kRtString = 6,
    kRtGroupIcon = 14,
    kRtVersion = 16,
    kRtManifest = 24
};
const uint16_t kGerman = 0x0407;

struct Resource {
    NameOrOrdinal type, name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

struct ResFile {
    std::vector<Resource> resources;
    std::string error;

    const Resource* Find(uint16_t type, uint16_t id) const {
        for (const Resource& r : resources)
            if (r.type.Is(type) && r.name.Is(id))
                return &r;
        return nullptr;
    }
};

ResFile LoadRes(const std::string& path) {
    ResFile file;
    const std::string text = ReadText(path);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    if (bytes.empty()) {
        file.error = "cannot read " + path;
        return file;
    }
    Reader r(bytes);
    while (r.Pos() + 8 <= bytes.size()) {
        const size_t start = r.Pos();
        const uint32_t dataSize = r.Read<uint32_t>();
        const uint32_t headerSize = r.Read<uint32_t>();
        Resource res;
        res.type = ReadNameOrOrdinal(r);
        res.name = ReadNameOrOrdinal(r);
        r.Align(4);
        r.Read<uint32_t>(); // data version
        r.Read<uint16_t>(); // memory flags
        res.language = r.Read<uint16_t>();
        if (!r.Ok() || headerSize < 32 || start + headerSize + dataSize > bytes.size()) {
            file.error = "resource header at offset " + std::to_string(start) + " is broken";
            return file;
        }
        const size_t data = start + headerSize;
        res.data.assign(bytes.begin() + data, bytes.begin() + data + dataSize);
        // The file starts with an empty entry that only marks it as 32-bit.
        if (!(res.type.Is(0) && dataSize == 0))
            file.resources.push_back(std::move(res));
        r.Seek(data + dataSize);
        r.Align(4);
    }
    return file;
}

const ResFile& Compiled() {
    static const ResFile file = LoadRes(KQ_COMPILED_RES);
    return file;
}

// The compiled resource of that type and id, or a failure saying it is missing.
const Resource* Get(uint16_t type, uint16_t id) {
    const ResFile& file = Compiled();
    EXPECT_EQ("", file.error);
    const Resource* res = file.Find(type, id);
    EXPECT_NE(nullptr, res) << "no resource of type " << type << " with id " << id;
    return res;
}

std::string Describe(const NameOrOrdinal& n) {
    return n.isOrdinal ? std::to_string(n.ordinal) : '"' + Utf8(n.text) + '"';
}

TEST(CompiledResources, HoldEveryResourceTheProgramLoadsInGerman) {
    const ResFile& file = Compiled();
    ASSERT_EQ("", file.error);
    const struct {
        uint16_t type, id;
        const char* what;
    } required[] = {{kRtDialog, 102, "main dialog"},
                    {kRtDialog, 100, "About box"},
                    {kRtGroupIcon, 128, "icon group"},
                    {kRtBitmap, 134, "background"},
                    {kRtString, 101 / 16 + 1, "string 101"},
                    {kRtVersion, 1, "version block"},
                    {kRtManifest, 1, "manifest"}};
    for (const auto& want : required)
        EXPECT_NE(nullptr, file.Find(want.type, want.id))
            << "the " << want.what << " (type " << want.type << ", id " << want.id
            << ") is missing";
    for (const Resource& res : file.resources)
        EXPECT_EQ(Hex(kGerman), Hex(res.language))
            << "resource type " << Describe(res.type) << " id " << Describe(res.name);
}

// ---- Dialog templates ----------------------------------------------------------------------

std::string Rect(int x, int y, int cx, int cy) {
    return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" +
           std::to_string(cy);
}

// What a template and each of its items give alike: styles, and the place in dialog units.
struct DialogWindow {
    uint32_t style = 0, exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;

    // The extended forms put a help id and the extended style before the style.
    void ReadStyles(Reader& r, bool extended) {
        if (extended)
            r.Read<uint32_t>(); // help id
        const uint32_t first = r.Read<uint32_t>(), second = r.Read<uint32_t>();
        style = extended ? second : first;
        exStyle = extended ? first : second;
    }
    void ReadPlace(Reader& r) {
        x = r.Read<int16_t>();
        y = r.Read<int16_t>();
        cx = r.Read<int16_t>();
        cy = r.Read<int16_t>();
    }
    std::string Place() const { return Rect(x, y, cx, cy); }
};

struct DialogItem : DialogWindow {
    uint32_t id = 0;
    NameOrOrdinal cls, text;
};

struct DialogTemplate : DialogWindow {
    bool extended = false;
    NameOrOrdinal menu, cls;
    std::u16string caption;
    uint16_t pointSize = 0, weight = 0;
    uint8_t italic = 0, charset = 0;
    std::u16string face;
    std::vector<DialogItem> items;
    bool ok = false;
};

const uint32_t kDsSetFont = 0x40;

DialogTemplate ParseDialog(const std::vector<uint8_t>& data) {
    DialogTemplate d;
    Reader r(data);
    uint16_t count = 0;
    d.extended = r.Read<uint16_t>() == 1 && r.Read<uint16_t>() == 0xFFFF;
    if (!d.extended)
        r.Seek(0);
    d.ReadStyles(r, d.extended);
    count = r.Read<uint16_t>();
    d.ReadPlace(r);
    d.menu = ReadNameOrOrdinal(r);
    d.cls = ReadNameOrOrdinal(r);
    d.caption = r.String();
    if (d.style & kDsSetFont) {
        d.pointSize = r.Read<uint16_t>();
        if (d.extended) {
            d.weight = r.Read<uint16_t>();
            d.italic = r.Read<uint8_t>();
            d.charset = r.Read<uint8_t>();
        }
        d.face = r.String();
    }
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        DialogItem item;
        r.Align(4);
        item.ReadStyles(r, d.extended);
        item.ReadPlace(r);
        item.id = d.extended ? r.Read<uint32_t>() : r.Read<uint16_t>();
        item.cls = ReadNameOrOrdinal(r);
        item.text = ReadNameOrOrdinal(r);
        const uint16_t creationData = r.Read<uint16_t>();
        r.Seek(r.Pos() + creationData);
        d.items.push_back(item);
    }
    d.ok = r.Ok() && d.items.size() == count;
    return d;
}

// The window class a control is made of: the predefined ones may come as an atom or by name.
std::string ClassOf(const NameOrOrdinal& cls) {
    if (cls.isOrdinal) {
        switch (cls.ordinal) {
        case 0x80:
            return "button";
        case 0x82:
            return "static";
        default:
            return "atom " + Hex(cls.ordinal);
        }
    }
    return Lower(Utf8(cls.text));
}

struct ExpectedControl {
    uint32_t id;
    const char* cls;
    const char* text; // UTF-8
    int x, y, cx, cy;
    uint32_t style, exStyle;
};

void ExpectControls(const DialogTemplate& d, const std::vector<ExpectedControl>& expected) {
    ASSERT_EQ(expected.size(), d.items.size()) << "number of controls";
    for (size_t i = 0; i < expected.size(); ++i) {
        const ExpectedControl& want = expected[i];
        const DialogItem& got = d.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\"");
        EXPECT_EQ(want.id, got.id) << "id (controls must stay in this tab order)";
        EXPECT_EQ(want.cls, ClassOf(got.cls)) << "window class";
        EXPECT_FALSE(got.text.isOrdinal) << "text is a resource ordinal";
        EXPECT_EQ(want.text, Utf8(got.text.text)) << "text";
        EXPECT_EQ(Rect(want.x, want.y, want.cx, want.cy), got.Place())
            << "position and size in dialog units";
        EXPECT_EQ(Hex(want.style), Hex(got.style)) << "style";
        EXPECT_EQ(Hex(want.exStyle), Hex(got.exStyle)) << "extended style";
    }
}

// The compiled template of that id; ok is false when it is missing or cut short.
DialogTemplate CompiledDialog(uint16_t id) {
    const Resource* res = Get(kRtDialog, id);
    return res ? ParseDialog(res->data) : DialogTemplate{};
}

const uint32_t kChildVisible = 0x50000000, kGroup = 0x00020000, kTabStop = 0x00010000;
const uint32_t kButtonEdges = 0x00020201; // WS_EX_DLGMODALFRAME|WS_EX_CLIENTEDGE|WS_EX_STATICEDGE

TEST(MainDialogTemplate, IsAnExtendedFixedPopupWithItsFont) {
    const DialogTemplate d = CompiledDialog(102);
    ASSERT_TRUE(d.ok) << "template 102 is missing or cut short";
    EXPECT_TRUE(d.extended) << "template 102 must be a DLGTEMPLATEEX for the buttons' edges";
    EXPECT_EQ("0x90C800C0", Hex(d.style))
        << "WS_POPUP|WS_VISIBLE|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT, nothing more";
    EXPECT_EQ("0x00040000", Hex(d.exStyle)) << "WS_EX_APPWINDOW";
    EXPECT_EQ(Rect(0, 0, 320, 162), d.Place());
    EXPECT_EQ("Korvo2016 - SP", Utf8(d.caption));
    EXPECT_TRUE(!d.menu.isOrdinal && d.menu.text.empty()) << "no menu";
    EXPECT_TRUE(!d.cls.isOrdinal && d.cls.text.empty()) << "the standard dialog class";
    EXPECT_EQ(8, d.pointSize);
    EXPECT_EQ("MS Sans Serif", Utf8(d.face));
    EXPECT_EQ(0, d.weight);
    EXPECT_EQ(0, d.italic);
    EXPECT_EQ(1, d.charset) << "DEFAULT_CHARSET";
}

TEST(MainDialogTemplate, HoldsThePlainPushButtonsInTabOrder) {
    const DialogTemplate d = CompiledDialog(102);
    ASSERT_TRUE(d.ok) << "template 102 is missing or cut short";
    // None is BS_DEFPUSHBUTTON: Enter must not start an installation by itself.
    const uint32_t push = kChildVisible | kTabStop;
    ExpectControls(
        d, {{2, "button", "Beenden", 269, 114, 47, 29, push, kButtonEdges},
            {1000, "button", u8"1. Korvo-Hauptordner ausw\u00e4hlen...", 3, 4, 160, 29, push,
             kButtonEdges},
            {1001, "button", "3. Starte Installation", 3, 110, 160, 29, push, kButtonEdges}});
}

TEST(AboutBoxTemplate, IsAPlainTemplateWithCaptionAndControls) {
    const DialogTemplate d = CompiledDialog(100);
    ASSERT_TRUE(d.ok) << "template 100 is missing or cut short";
    EXPECT_FALSE(d.extended) << "template 100 is a DLGTEMPLATE";
    EXPECT_EQ("0x80C800C0", Hex(d.style))
        << "WS_POPUP|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT, nothing more";
    EXPECT_EQ("0x00000000", Hex(d.exStyle));
    EXPECT_EQ(Rect(0, 0, 205, 57), d.Place());
    EXPECT_EQ(u8"Info \u00fcber Korvo2016 - SP", Utf8(d.caption));
    EXPECT_EQ(8, d.pointSize);
    EXPECT_EQ("MS Sans Serif", Utf8(d.face));

    ASSERT_EQ(3u, d.items.size());
    const std::string notice = Utf8(d.items[1].text.text);
    // About four dialog units per character of MS Sans Serif 8: longer would be clipped.
    EXPECT_FALSE(notice.empty()) << "the release notice is missing";
    EXPECT_LE(d.items[1].text.text.size(), 71u / 4) << "\"" << notice << "\" is too long";
    const uint32_t noPrefix = 0x80, defPush = 0x01;
    ExpectControls(
        d,
        {{0xFFFF, "static", "Korvo2016 - SP", 15, 15, 108, 8, kChildVisible | kGroup | noPrefix, 0},
         {0xFFFF, "static", notice.c_str(), 15, 30, 71, 8, kChildVisible | kGroup, 0},
         {1, "button", "OK", 142, 20, 50, 14, kChildVisible | kGroup | kTabStop | defPush, 0}});
}

// ---- Bitmap, icon, string, version, manifest -----------------------------------------------

struct BitmapInfo {
    uint32_t size;
    int32_t width, height;
    uint16_t planes, bitCount;
    uint32_t compression, sizeImage;
    int32_t xPels, yPels;
    uint32_t clrUsed, clrImportant;
};
static_assert(sizeof(BitmapInfo) == 40, "laid out as BITMAPINFOHEADER");

BitmapInfo ReadBitmapInfo(const std::vector<uint8_t>& data) {
    BitmapInfo info{};
    if (data.size() >= sizeof info)
        std::memcpy(&info, data.data(), sizeof info);
    return info;
}

TEST(BackgroundBitmap, IsA512x266PaletteBitmapStoredBottomUp) {
    const Resource* res = Get(kRtBitmap, 134);
    ASSERT_NE(nullptr, res);
    const BitmapInfo info = ReadBitmapInfo(res->data);
    ASSERT_EQ(40u, info.size) << "BITMAPINFOHEADER expected (no file header, no V4/V5 header)";
    EXPECT_EQ(512, info.width);
    EXPECT_EQ(266, info.height) << "a positive height: rows stored bottom-up";
    EXPECT_EQ(1, info.planes);
    EXPECT_EQ(8, info.bitCount);
    EXPECT_EQ(0u, info.compression) << "BI_RGB";
    const uint32_t colours = info.clrUsed ? info.clrUsed : 256;
    EXPECT_EQ(256u, colours) << "palette entries";

    const size_t pixels = 40 + 4 * size_t{colours};
    const size_t stride = (size_t(info.width) * 8 + 31) / 32 * 4;
    ASSERT_GE(res->data.size(), pixels + stride * size_t(std::max(info.height, 0)))
        << "pixel data cut short";
    // A real picture, not a flat placeholder.
    const std::set<uint8_t> used(res->data.begin() + pixels, res->data.end());
    EXPECT_GT(used.size(), 16u) << "the picture uses only " << used.size() << " colours";
}

TEST(BackgroundBitmap, BackdropBehindTheButtonsSurvivesShrinking) {
    // The dialog shrinks the picture with the default stretch mode, which ANDs each dropped
    // pixel into its neighbour. Two neighbouring colours must therefore nest bitwise (their AND
    // is one of them), or 63 and 64 turn into a stray black dot.
    const Resource* res = Get(kRtBitmap, 134);
    ASSERT_NE(nullptr, res);
    const BitmapInfo info = ReadBitmapInfo(res->data);
    ASSERT_TRUE(info.width == 512 && info.height == 266 && info.bitCount == 8);
    const size_t pixels = 40 + 4 * 256;
    ASSERT_GE(res->data.size(), pixels + 512 * 266);
    auto colour = [&](int x, int row) {
        const uint8_t index = res->data[pixels + size_t(row) * 512 + size_t(x)];
        uint32_t bgr = 0;
        std::memcpy(&bgr, &res->data[40 + 4 * size_t{index}], 3);
        return bgr;
    };
    int clashes = 0;
    std::string first;
    // The left part, up to the title and the logo's rings, is plain backdrop.
    for (int row = 0; row < 266; ++row) {
        for (int x = 0; x < 256; ++x) {
            const uint32_t here = colour(x, row);
            for (const uint32_t next : {colour(x + 1, row), colour(x, std::min(row + 1, 265))}) {
                const uint32_t both = here & next;
                if (both != here && both != next && clashes++ == 0)
                    first = "x " + std::to_string(x) + ", y " + std::to_string(265 - row) + ": " +
                            Hex(here) + " next to " + Hex(next) + " (RGB)";
            }
        }
    }
    EXPECT_EQ(0, clashes) << "neighbouring colours that AND into a third one, first at " << first;
}

TEST(ApplicationIcon, GroupHasSixteenColourImagesOf32And16Pixels) {
    const Resource* group = Get(kRtGroupIcon, 128);
    ASSERT_NE(nullptr, group);
    for (const Resource& res : Compiled().resources) {
        if (res.type.Is(kRtGroupIcon) && res.name.isOrdinal) {
            EXPECT_GE(res.name.ordinal, 128) << "the shell shows the icon with the lowest id";
        }
    }

    Reader r(group->data);
    EXPECT_EQ(0, r.Read<uint16_t>()) << "reserved";
    EXPECT_EQ(1, r.Read<uint16_t>()) << "icons, not cursors";
    const uint16_t count = r.Read<uint16_t>();
    std::set<int> sizes;
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        const int width = r.Read<uint8_t>(), height = r.Read<uint8_t>();
        const int colours = r.Read<uint8_t>();
        r.Read<uint8_t>();
        const int planes = r.Read<uint16_t>(), bits = r.Read<uint16_t>();
        const uint32_t bytes = r.Read<uint32_t>();
        const uint16_t id = r.Read<uint16_t>();
        SCOPED_TRACE("entry " + std::to_string(i) + ": " + std::to_string(width) + "x" +
                     std::to_string(height) + ", icon " + std::to_string(id));
        EXPECT_EQ(width, height);
        sizes.insert(width);
        EXPECT_EQ(16, colours);
        EXPECT_EQ(1, planes);
        EXPECT_EQ(4, bits);

        const Resource* image = Get(kRtIcon, id);
        if (!image)
            continue;
        EXPECT_EQ(bytes, image->data.size()) << "size in the group differs from the image";
        const BitmapInfo info = ReadBitmapInfo(image->data);
        EXPECT_EQ(width, info.width);
        EXPECT_EQ(2 * height, info.height) << "colour bitmap and AND mask";
        EXPECT_EQ(4, info.bitCount);
        const size_t xorBytes = size_t(width) / 2 * height;
        const size_t andBytes = (size_t(width) + 31) / 32 * 4 * height;
        EXPECT_EQ(40 + 16 * 4 + xorBytes + andBytes, image->data.size())
            << "header, 16 colours, 4-bit image and 1-bit mask";
    }
    ASSERT_TRUE(r.Ok()) << "group directory cut short";
    EXPECT_EQ((std::set<int>{16, 32}), sizes);
}

TEST(AboutMenuString, IsString101InItsBlock) {
    const Resource* block = Get(kRtString, 101 / 16 + 1);
    ASSERT_NE(nullptr, block);
    Reader r(block->data);
    std::u16string text;
    for (int i = 0; i <= 101 % 16; ++i) {
        text.clear();
        for (uint16_t n = r.Read<uint16_t>(); n > 0 && r.Ok(); --n)
            text += char16_t(r.Read<uint16_t>());
    }
    ASSERT_TRUE(r.Ok()) << "string block cut short";
    EXPECT_EQ(u8"Info \u00fcber Korvo2013 - SP...", Utf8(text));
}

// A node of a version block: key, value and children.
struct VersionNode {
    std::u16string key;
    uint16_t type = 0;
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;
};

bool ParseVersionNode(const std::vector<uint8_t>& data, size_t pos, VersionNode& node) {
    Reader r(data, pos);
    const uint16_t length = r.Read<uint16_t>();
    const uint16_t valueLength = r.Read<uint16_t>();
    node.type = r.Read<uint16_t>();
    node.key = r.String();
    r.Align(4);
    const size_t end = pos + length;
    if (!r.Ok() || length < 6 || end > data.size())
        return false;
    // Text values count UTF-16 units, binary ones bytes.
    const size_t valueBytes = node.type == 1 ? 2 * size_t{valueLength} : valueLength;
    if (r.Pos() + valueBytes > end)
        return false;
    node.value.assign(data.begin() + r.Pos(), data.begin() + r.Pos() + valueBytes);
    r.Seek(r.Pos() + valueBytes);
    r.Align(4);
    while (r.Pos() < end) {
        VersionNode child;
        if (!ParseVersionNode(data, r.Pos(), child))
            return false;
        const uint16_t childLength = Reader(data, r.Pos()).Read<uint16_t>();
        node.children.push_back(child);
        r.Seek(r.Pos() + childLength);
        r.Align(4);
    }
    return true;
}

const VersionNode* Child(const VersionNode& node, const std::u16string& key) {
    for (const VersionNode& child : node.children)
        if (child.key == key)
            return &child;
    return nullptr;
}

std::string TextValue(const VersionNode& node) {
    std::u16string text(node.value.size() / 2, u'\0');
    if (!text.empty())
        std::memcpy(&text[0], node.value.data(), 2 * text.size());
    text.erase(std::find(text.begin(), text.end(), u'\0'), text.end());
    return Utf8(text);
}

TEST(VersionBlock, Says1001InGermanWithUnicodeStrings) {
    const Resource* res = Get(kRtVersion, 1);
    ASSERT_NE(nullptr, res);
    VersionNode root;
    ASSERT_TRUE(ParseVersionNode(res->data, 0, root)) << "version block is malformed";
    EXPECT_EQ("VS_VERSION_INFO", Utf8(root.key));
    ASSERT_EQ(52u, root.value.size()) << "VS_FIXEDFILEINFO";
    uint32_t fixed[13];
    std::memcpy(fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ("0xFEEF04BD", Hex(fixed[0])) << "signature";
    EXPECT_EQ("0x00010000 0x00000001", Hex(fixed[2]) + " " + Hex(fixed[3])) << "file version";
    EXPECT_EQ("0x00010000 0x00000001", Hex(fixed[4]) + " " + Hex(fixed[5])) << "product version";
    EXPECT_EQ(1u, fixed[9]) << "VFT_APP";

    const VersionNode* var = Child(root, u"VarFileInfo");
    ASSERT_NE(nullptr, var);
    const VersionNode* translation = Child(*var, u"Translation");
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(4u, translation->value.size()) << "exactly one language";
    uint16_t pair[2];
    std::memcpy(pair, translation->value.data(), sizeof pair);
    EXPECT_EQ(Hex(0x0407) + " " + Hex(0x04B0), Hex(pair[0]) + " " + Hex(pair[1]));

    const VersionNode* info = Child(root, u"StringFileInfo");
    ASSERT_NE(nullptr, info);
    // The shell finds the strings under the block named after the translation.
    const VersionNode* table = Child(*info, u"040704B0");
    ASSERT_NE(nullptr, table) << "no string table \"040704B0\"";
    const std::map<std::string, std::string> exact = {
        {"FileDescription", "Korvo-Quenda Service-Pack"},
        {"FileVersion", "1.0.0.1"},
        {"InternalName", "install"},
        {"OriginalFilename", "install.exe"},
        {"ProductVersion", "1.0.0.1"}};
    for (const auto& [key, value] : exact) {
        const VersionNode* node = Child(*table, std::u16string(key.begin(), key.end()));
        ASSERT_NE(nullptr, node) << key << " is missing";
        EXPECT_EQ(value, TextValue(*node)) << key;
    }
    for (const char16_t* key : {u"CompanyName", u"ProductName", u"LegalCopyright"}) {
        const VersionNode* node = Child(*table, key);
        ASSERT_NE(nullptr, node) << Utf8(key) << " is missing";
        EXPECT_NE("", TextValue(*node)) << Utf8(key) << " is empty";
    }
}

// Whether the elements of an XML text open and close in pairs; a broken manifest keeps
// Windows from starting the program at all.
std::string TagBalance(const std::string& xml) {
    std::vector<std::string> open;
    for (size_t i = xml.find('<'); i != std::string::npos; i = xml.find('<', i + 1)) {
        if (xml.compare(i, 4, "<!--") == 0) {
            i = xml.find("-->", i);
            if (i == std::string::npos)
                return "unterminated comment";
            continue;
        }
        const size_t end = xml.find('>', i);
        if (end == std::string::npos)
            return "unterminated tag";
        std::string tag = xml.substr(i + 1, end - i - 1);
        i = end;
        if (tag.empty() || tag[0] == '?' || tag.back() == '/')
            continue;
        const bool closing = tag[0] == '/';
        std::string name = tag.substr(closing ? 1 : 0);
        name = name.substr(0, name.find_first_of(" \t\r\n"));
        if (!closing) {
            open.push_back(name);
        } else if (open.empty() || open.back() != name) {
            return "</" + name + "> closes " + (open.empty() ? "nothing" : "<" + open.back() + ">");
        } else {
            open.pop_back();
        }
    }
    return open.empty() ? "" : "<" + open.back() + "> is never closed";
}

// The attribute values of the first element of that name with the given attribute.
std::map<std::string, std::string> Element(const std::string& xml, const std::string& name,
                                           const std::string& with = "") {
    const std::regex element("<" + name + R"(\s([^>]*)>)");
    const std::regex attribute(R"re((\w+)\s*=\s*"([^"]*)")re");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), element);
         it != std::sregex_iterator(); ++it) {
        std::map<std::string, std::string> attributes;
        const std::string body = (*it)[1];
        for (auto a = std::sregex_iterator(body.begin(), body.end(), attribute);
             a != std::sregex_iterator(); ++a)
            attributes[(*a)[1]] = (*a)[2];
        if (with.empty() || body.find(with) != std::string::npos)
            return attributes;
    }
    return {};
}

TEST(Manifest, AsksForAdministratorOnSupportedSystems) {
    const Resource* res = Get(kRtManifest, 1);
    ASSERT_NE(nullptr, res);
    const std::string xml(res->data.begin(), res->data.end());
    EXPECT_EQ("", TagBalance(xml));

    auto level = Element(xml, "requestedExecutionLevel");
    EXPECT_EQ("requireAdministrator", level["level"]);
    EXPECT_EQ("false", level["uiAccess"]);

    const struct {
        const char *system, *id;
    } systems[] = {{"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
                   {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
                   {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
                   {"Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}};
    // Windows reads the ids regardless of letter case.
    const std::string lower = Lower(xml);
    for (const auto& s : systems)
        EXPECT_EQ(s.id, Element(lower, "supportedos", s.id)["id"]) << s.system << " is not listed";
}

} // namespace
