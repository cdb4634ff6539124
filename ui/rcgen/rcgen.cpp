// Build-time tool: turns the resource script into C++ tables for builds
// without a resource compiler, so that the .rc file stays the one source.
//
//   rcgen INPUT.rc OUTPUT.cpp [INCLUDE_DIR]
//
// Understands what our script uses: #include of headers whose #defines name
// ids and styles, // comments, STRINGTABLE blocks, BITMAP resources and
// DIALOGEX templates with the classic control statements. Control styles
// are computed as a resource compiler computes them: every control starts
// as WS_CHILD | WS_VISIBLE plus its statement's own defaults, and the style
// expression then adds bits with '|' and removes them with NOT.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::map<std::string, long> g_defines;

[[noreturn]] void Fail(const std::string& message) {
    std::cerr << "rcgen: " << message << "\n";
    std::exit(1);
}

std::string StripComment(const std::string& line) {
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') inString = !inString;
        if (!inString && line.compare(i, 2, "//") == 0) return line.substr(0, i);
    }
    return line;
}

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// --- Tokens -----------------------------------------------------------------

struct Token {
    enum Kind { Word, Number, String, Punct, End } kind = End;
    std::string text;  // the word, the punctuation, the string's value
    long number = 0;
    int line = 0;
};

class Lexer {
public:
    void AddLine(const std::string& line, int lineNumber) {
        std::size_t i = 0;
        while (i < line.size()) {
            char c = line[i];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '"') {
                Token token{Token::String, "", 0, lineNumber};
                i = ReadString(line, i, &token.text);
                tokens_.push_back(token);
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                char* end = nullptr;
                unsigned long value = std::strtoul(line.c_str() + i, &end, 0);
                std::size_t next = static_cast<std::size_t>(end - line.c_str());
                while (next < line.size() && (line[next] == 'L' || line[next] == 'l' ||
                                              line[next] == 'U' || line[next] == 'u')) {
                    ++next;
                }
                tokens_.push_back({Token::Number, line.substr(i, next - i), static_cast<long>(value),
                                   lineNumber});
                i = next;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                std::size_t next = i;
                while (next < line.size() &&
                       (std::isalnum(static_cast<unsigned char>(line[next])) || line[next] == '_')) {
                    ++next;
                }
                tokens_.push_back({Token::Word, line.substr(i, next - i), 0, lineNumber});
                i = next;
            } else {
                tokens_.push_back({Token::Punct, std::string(1, c), 0, lineNumber});
                ++i;
            }
        }
    }

    const Token& Peek() const { return position_ < tokens_.size() ? tokens_[position_] : end_; }
    Token Next() { return position_ < tokens_.size() ? tokens_[position_++] : end_; }
    bool Accept(const std::string& text) {
        const Token& token = Peek();
        if ((token.kind == Token::Punct || token.kind == Token::Word) && token.text == text) {
            ++position_;
            return true;
        }
        return false;
    }
    void Expect(const std::string& text) {
        if (!Accept(text)) Error("expected '" + text + "'");
    }
    [[noreturn]] void Error(const std::string& message) const {
        Fail("line " + std::to_string(Peek().line) + ": " + message + " near '" + Peek().text + "'");
    }

private:
    // A quoted resource string starting at text[pos]; returns the index after it.
    static std::size_t ReadString(const std::string& text, std::size_t pos, std::string* value) {
        for (std::size_t i = pos + 1; i < text.size(); ++i) {
            char c = text[i];
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    *value += '"';
                    ++i;
                    continue;
                }
                return i + 1;
            }
            if (c == '\\' && i + 1 < text.size()) {
                char next = text[++i];
                *value += next == 'n' ? '\n' : next == 't' ? '\t' : next;
                continue;
            }
            *value += c;
        }
        Fail("unterminated string in: " + text);
    }

    std::vector<Token> tokens_;
    std::size_t position_ = 0;
    Token end_;
};

// --- Expressions --------------------------------------------------------------

long Primary(Lexer& lexer) {
    if (lexer.Accept("(")) {
        long value = Primary(lexer);
        while (lexer.Accept("|")) value |= Primary(lexer);
        lexer.Expect(")");
        return value;
    }
    if (lexer.Accept("-")) return -Primary(lexer);
    Token token = lexer.Next();
    if (token.kind == Token::Number) return token.number;
    if (token.kind == Token::Word) {
        auto it = g_defines.find(token.text);
        if (it == g_defines.end()) Fail("line " + std::to_string(token.line) + ": unknown name '" + token.text + "'");
        return it->second;
    }
    Fail("line " + std::to_string(token.line) + ": expected a number, found '" + token.text + "'");
}

// A style expression applied to `style`: '|' adds bits, NOT removes them.
unsigned long StyleExpression(Lexer& lexer, unsigned long style) {
    do {
        bool remove = lexer.Accept("NOT");
        unsigned long value = static_cast<unsigned long>(Primary(lexer)) & 0xFFFFFFFFul;
        style = remove ? (style & ~value) : (style | value);
    } while (lexer.Accept("|"));
    return style;
}

// A plain number (an id, a coordinate): 32 bits, signed.
long Number(Lexer& lexer) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(StyleExpression(lexer, 0)));
}

// --- Resources ----------------------------------------------------------------

struct Control {
    long id = -1;
    std::string className;
    std::string text;
    unsigned long style = 0;
    unsigned long exStyle = 0;
    long x = 0, y = 0, cx = 0, cy = 0;
};

struct Dialog {
    long id = 0;
    std::string caption;
    unsigned long style = 0;
    unsigned long exStyle = 0;
    long x = 0, y = 0, cx = 0, cy = 0;
    std::string fontName;
    long fontSize = 0;
    std::vector<Control> controls;
};

struct Bitmap {
    std::string name;
    std::vector<unsigned char> bytes;
};

unsigned long Define(const char* name) {
    auto it = g_defines.find(name);
    if (it == g_defines.end()) Fail(std::string("the script's headers do not define ") + name);
    return static_cast<unsigned long>(it->second) & 0xFFFFFFFFul;
}

// The predefined window classes are stored by the resource compiler as
// atoms, whatever case the script writes them in.
std::string CanonicalClass(const std::string& name) {
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* known : {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"}) {
        if (upper == known) return upper;
    }
    return name;
}

struct Statement {
    const char* keyword;
    const char* className;
    bool hasText;
    std::vector<const char*> defaults;
};

const std::vector<Statement>& Statements() {
    static const std::vector<Statement> statements = {
        {"DEFPUSHBUTTON", "BUTTON", true, {"BS_DEFPUSHBUTTON", "WS_TABSTOP"}},
        {"PUSHBUTTON", "BUTTON", true, {"BS_PUSHBUTTON", "WS_TABSTOP"}},
        {"AUTOCHECKBOX", "BUTTON", true, {"BS_AUTOCHECKBOX", "WS_TABSTOP"}},
        {"CHECKBOX", "BUTTON", true, {"BS_CHECKBOX", "WS_TABSTOP"}},
        {"GROUPBOX", "BUTTON", true, {"BS_GROUPBOX"}},
        {"LTEXT", "STATIC", true, {"SS_LEFT", "WS_GROUP"}},
        {"CTEXT", "STATIC", true, {"SS_CENTER", "WS_GROUP"}},
        {"RTEXT", "STATIC", true, {"SS_RIGHT", "WS_GROUP"}},
        {"EDITTEXT", "EDIT", false, {"ES_LEFT", "WS_BORDER", "WS_TABSTOP"}},
        {"LISTBOX", "LISTBOX", false, {"LBS_NOTIFY", "WS_BORDER"}},
    };
    return statements;
}

void Rectangle(Lexer& lexer, Control* control) {
    control->x = Number(lexer);
    lexer.Expect(",");
    control->y = Number(lexer);
    lexer.Expect(",");
    control->cx = Number(lexer);
    lexer.Expect(",");
    control->cy = Number(lexer);
}

Control ParseControl(Lexer& lexer, const std::string& keyword) {
    Control control;
    control.style = Define("WS_CHILD") | Define("WS_VISIBLE");
    if (keyword == "CONTROL") {
        Token text = lexer.Next();
        if (text.kind != Token::String) lexer.Error("expected the control's text");
        control.text = text.text;
        lexer.Expect(",");
        control.id = Number(lexer);
        lexer.Expect(",");
        Token className = lexer.Next();
        if (className.kind != Token::String) lexer.Error("expected a class name");
        control.className = CanonicalClass(className.text);
        lexer.Expect(",");
        control.style = StyleExpression(lexer, control.style);
        lexer.Expect(",");
        Rectangle(lexer, &control);
        if (lexer.Accept(",")) control.exStyle = StyleExpression(lexer, 0);
        return control;
    }
    for (const Statement& statement : Statements()) {
        if (keyword != statement.keyword) continue;
        control.className = statement.className;
        for (const char* name : statement.defaults) control.style |= Define(name);
        if (statement.hasText) {
            Token text = lexer.Next();
            if (text.kind != Token::String) lexer.Error("expected the control's text");
            control.text = text.text;
            lexer.Expect(",");
        }
        control.id = Number(lexer);
        lexer.Expect(",");
        Rectangle(lexer, &control);
        if (lexer.Accept(",")) {
            control.style = StyleExpression(lexer, control.style);
            if (lexer.Accept(",")) control.exStyle = StyleExpression(lexer, 0);
        }
        return control;
    }
    lexer.Error("unknown control statement '" + keyword + "'");
}

Dialog ParseDialog(Lexer& lexer, long id) {
    Dialog dialog;
    dialog.id = id;
    dialog.x = Number(lexer);
    lexer.Expect(",");
    dialog.y = Number(lexer);
    lexer.Expect(",");
    dialog.cx = Number(lexer);
    lexer.Expect(",");
    dialog.cy = Number(lexer);
    if (lexer.Accept(",")) Number(lexer);  // help id
    bool hasCaption = false;
    bool hasFont = false;
    while (!lexer.Accept("BEGIN") && !lexer.Accept("{")) {
        Token option = lexer.Next();
        if (option.text == "STYLE") {
            dialog.style = StyleExpression(lexer, 0);
        } else if (option.text == "EXSTYLE") {
            dialog.exStyle = StyleExpression(lexer, 0);
        } else if (option.text == "CAPTION") {
            Token caption = lexer.Next();
            if (caption.kind != Token::String) lexer.Error("expected the caption");
            dialog.caption = caption.text;
            hasCaption = true;
        } else if (option.text == "FONT") {
            dialog.fontSize = Number(lexer);
            lexer.Expect(",");
            Token name = lexer.Next();
            if (name.kind != Token::String) lexer.Error("expected the font name");
            dialog.fontName = name.text;
            while (lexer.Accept(",")) Number(lexer);  // weight, italic, character set
            hasFont = true;
        } else {
            Fail("line " + std::to_string(option.line) + ": unknown dialog option '" + option.text + "'");
        }
    }
    // A caption implies a caption bar and a font the DS_SETFONT style.
    if (hasCaption) dialog.style |= Define("WS_CAPTION");
    if (hasFont) dialog.style |= Define("DS_SETFONT");
    while (!lexer.Accept("END") && !lexer.Accept("}")) {
        Token keyword = lexer.Next();
        if (keyword.kind != Token::Word) lexer.Error("expected a control statement");
        dialog.controls.push_back(ParseControl(lexer, keyword.text));
    }
    return dialog;
}

std::vector<unsigned char> ReadFile(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates) {
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Fail("cannot open " + candidates.front());
}

void ReadDefines(const std::string& path) {
    std::ifstream in(path);
    if (!in) Fail("cannot open " + path);
    std::string line;
    while (std::getline(in, line)) {
        std::string text = Trim(StripComment(line));
        if (text.rfind("#define", 0) != 0) continue;
        std::istringstream words(text.substr(7));
        std::string name;
        words >> name;
        std::string rest;
        std::getline(words, rest);
        Lexer lexer;
        lexer.AddLine(rest, 0);
        if (lexer.Peek().kind == Token::End) continue;
        g_defines[name] = Number(lexer);
    }
}

std::string CppLiteral(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string Hex(unsigned long value) {
    std::ostringstream out;
    out << "0x" << std::hex << value << "u";
    return out.str();
}

void Write(std::ostream& out, const std::string& source, const std::vector<std::pair<long, std::string>>& strings,
           const std::vector<Dialog>& dialogs, const std::vector<Bitmap>& bitmaps) {
    out << "// Generated by rcgen from " << source << "; do not edit.\n"
        << "#include \"ui/resources.h\"\n\n"
        << "namespace resources {\n\n"
        << "const StringResource kStringTable[] = {\n";
    for (const auto& [id, value] : strings) out << "    {" << id << ", " << CppLiteral(value) << "},\n";
    out << "};\n"
        << "const std::size_t kStringTableSize = " << strings.size() << ";\n\n"
        << "namespace {\n\n";
    for (const Dialog& dialog : dialogs) {
        out << "const platform::ControlTemplate kControls" << dialog.id << "[] = {\n";
        for (const Control& c : dialog.controls) {
            out << "    {" << c.id << ", " << CppLiteral(c.className) << ", " << CppLiteral(c.text) << ", "
                << Hex(c.style) << ", " << Hex(c.exStyle) << ", " << c.x << ", " << c.y << ", " << c.cx << ", "
                << c.cy << "},\n";
        }
        out << "};\n\n";
    }
    out << "const platform::DialogTemplate kDialogs[] = {\n";
    for (const Dialog& d : dialogs) {
        out << "    {" << d.id << ", " << CppLiteral(d.caption) << ", " << Hex(d.style) << ", " << Hex(d.exStyle)
            << ", " << d.x << ", " << d.y << ", " << d.cx << ", " << d.cy << ", " << CppLiteral(d.fontName) << ", "
            << d.fontSize << ", kControls" << d.id << ", " << d.controls.size() << "},\n";
    }
    out << "};\n\n";
    for (std::size_t i = 0; i < bitmaps.size(); ++i) {
        out << "const unsigned char kBitmapBytes" << i << "[] = {";
        for (std::size_t b = 0; b < bitmaps[i].bytes.size(); ++b) {
            out << (b % 16 == 0 ? "\n    " : " ") << static_cast<int>(bitmaps[i].bytes[b]) << ",";
        }
        out << "\n};\n\n";
    }
    out << "const platform::BitmapTemplate kBitmaps[] = {\n";
    for (std::size_t i = 0; i < bitmaps.size(); ++i) {
        out << "    {" << CppLiteral(bitmaps[i].name) << ", kBitmapBytes" << i << ", sizeof kBitmapBytes" << i
            << "},\n";
    }
    if (bitmaps.empty()) out << "    {\"\", nullptr, 0},\n";
    out << "};\n\n"
        << "}  // namespace\n\n"
        << "const platform::ResourceTables kModuleResources = {\n"
        << "    kDialogs, " << dialogs.size() << ", kStringTable, " << strings.size() << ", kBitmaps, "
        << bitmaps.size() << ",\n};\n\n"
        << "}  // namespace resources\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) Fail("usage: rcgen INPUT.rc OUTPUT.cpp [INCLUDE_DIR]");
    std::string source = argv[1];
    std::string includeDir = argc > 3 ? argv[3] : ".";
    std::string sourceDir = source.find('/') == std::string::npos ? "." : source.substr(0, source.rfind('/'));
    std::ifstream in(source);
    if (!in) Fail("cannot open " + source);

    // Preprocessor lines are handled as they come; everything else is
    // tokenised and parsed as a whole.
    Lexer lexer;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::string text = Trim(StripComment(line));
        if (text.empty()) continue;
        if (text[0] == '#') {
            if (text.rfind("#include", 0) == 0) {
                std::size_t open = text.find_first_of("\"<");
                std::size_t close = text.find_last_of("\">");
                ReadDefines(includeDir + "/" + text.substr(open + 1, close - open - 1));
            }
            continue;
        }
        lexer.AddLine(text, lineNumber);
    }

    std::vector<std::pair<long, std::string>> strings;
    std::vector<Dialog> dialogs;
    std::vector<Bitmap> bitmaps;
    while (lexer.Peek().kind != Token::End) {
        if (lexer.Accept("STRINGTABLE")) {
            if (!lexer.Accept("BEGIN")) lexer.Expect("{");
            while (!lexer.Accept("END") && !lexer.Accept("}")) {
                long id = Number(lexer);
                lexer.Accept(",");
                Token text = lexer.Next();
                if (text.kind != Token::String) lexer.Error("expected a string");
                strings.emplace_back(id, text.text);
            }
            continue;
        }
        Token name = lexer.Next();
        if (name.kind != Token::Word && name.kind != Token::Number) lexer.Error("expected a resource");
        if (lexer.Accept("BITMAP")) {
            Token file = lexer.Next();
            if (file.kind != Token::String) lexer.Error("expected the bitmap's file name");
            bitmaps.push_back({name.text, ReadFile({sourceDir + "/" + file.text, includeDir + "/" + file.text})});
        } else if (lexer.Accept("DIALOGEX")) {
            long id = name.kind == Token::Number ? name.number : g_defines.count(name.text) ? g_defines[name.text] : 0;
            if (id == 0) Fail("dialog '" + name.text + "' needs a numeric id");
            dialogs.push_back(ParseDialog(lexer, id));
        } else {
            lexer.Error("unsupported resource type");
        }
    }

    std::ofstream out(argv[2]);
    Write(out, source, strings, dialogs, bitmaps);
    return out ? 0 : 1;
}
