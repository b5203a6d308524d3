// Build step: turns the string-table files (one per language) into a C++
// source holding them as constant arrays. Each file has two sections:
//
//   [strings]
//   140 = Cancel              number, "=", text to the end of the line
//   [menu]
//   popup = &File             a drop-down menu
//   item 57600 = &New...      a command of the menu above
//   item 32790 checked = ...  a command that carries the check mark at start
//   separator
//
// Blank lines and lines starting with '#' are ignored. Blanks around the text
// are dropped; escapes: \n \t \\ \" and \xHH. Texts must be valid UTF-8.
// Any error stops the build with the file and line.
//
// Usage: make-tables OUTPUT.cpp TABLE-FILE...   (files in the order of the Table enum)

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kFirstId = 140;
constexpr int kLastId = 319;

struct Item {
    int commandId = 0;  // 0: separator
    std::string label;
    bool checked = false;
};

struct Popup {
    std::string label;
    std::vector<Item> items;
};

struct Table {
    std::string path;
    std::string stem;
    std::map<int, std::string> texts;
    std::vector<Popup> menu;
};

[[noreturn]] void fail(const std::string& where, const std::string& message) {
    std::fprintf(stderr, "%s: error: %s\n", where.c_str(), message.c_str());
    std::exit(1);
}

std::string trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

bool validUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        if (byte < 0x80)
            extra = 0;
        else if (byte >= 0xC2 && byte <= 0xDF)
            extra = 1;
        else if (byte >= 0xE0 && byte <= 0xEF)
            extra = 2;
        else if (byte >= 0xF0 && byte <= 0xF4)
            extra = 3;
        else
            return false;
        if (text.size() - i < extra + 1)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string unescape(const std::string& raw, const std::string& where) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (++i == raw.size())
            fail(where, "backslash at the end of the line");
        switch (raw[i]) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'x': {
                int high = i + 1 < raw.size() ? hexValue(raw[i + 1]) : -1;
                int low = i + 2 < raw.size() ? hexValue(raw[i + 2]) : -1;
                if (high < 0 || low < 0 || (high == 0 && low == 0))
                    fail(where, "\\x needs two hex digits and cannot be 00");
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                fail(where, std::string("unknown escape \\") + raw[i]);
        }
    }
    return out;
}

// "KEY = VALUE" -> key and unescaped value; false when there is no '='.
bool splitLine(const std::string& line, const std::string& where, std::string& key,
               std::string& value) {
    std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    key = trim(line.substr(0, equals));
    value = unescape(trim(line.substr(equals + 1)), where);
    if (!validUtf8(value))
        fail(where, "the text is not valid UTF-8 after its escapes");
    return true;
}

int parseNumber(const std::string& text, const std::string& where) {
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        fail(where, "expected a number, found \"" + text + "\"");
    return std::stoi(text);
}

Table readTable(const std::string& path) {
    Table table;
    table.path = path;
    std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    table.stem = name.substr(0, name.find('.'));

    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail(path, "cannot open");
    enum class Section { None, Strings, Menu } section = Section::None;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = path + ":" + std::to_string(number);
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);  // a byte-order mark some editors add
        if (!validUtf8(line))
            fail(where, "not valid UTF-8");
        std::string stripped = trim(line);
        if (stripped.empty() || stripped[0] == '#')
            continue;
        if (stripped == "[strings]") {
            section = Section::Strings;
            continue;
        }
        if (stripped == "[menu]") {
            section = Section::Menu;
            continue;
        }
        std::string key, value;
        if (section == Section::Strings) {
            if (!splitLine(stripped, where, key, value))
                fail(where, "expected NUMBER = TEXT");
            int id = parseNumber(key, where);
            if (id < kFirstId || id > kLastId)
                fail(where, "string number " + key + " outside 140..319");
            if (!table.texts.emplace(id, value).second)
                fail(where, "string " + key + " given twice");
        } else if (section == Section::Menu) {
            if (stripped == "separator") {
                if (table.menu.empty())
                    fail(where, "separator before the first popup");
                table.menu.back().items.push_back(Item{});
                continue;
            }
            if (!splitLine(stripped, where, key, value))
                fail(where, "expected popup = LABEL, item ID = LABEL or separator");
            if (value.empty())
                fail(where, "empty label");
            std::istringstream words(key);
            std::string word, idText, flag, extra;
            words >> word >> idText >> flag >> extra;
            if (word == "popup" && idText.empty()) {
                table.menu.push_back(Popup{value, {}});
            } else if (word == "item" && !idText.empty() && (flag.empty() || flag == "checked") &&
                       extra.empty()) {
                if (table.menu.empty())
                    fail(where, "item before the first popup");
                int commandId = parseNumber(idText, where);
                if (commandId <= 0 || commandId > 65535)
                    fail(where, "command id out of range");
                table.menu.back().items.push_back(Item{commandId, value, flag == "checked"});
            } else {
                fail(where, "unknown menu line \"" + key + "\"");
            }
        } else {
            fail(where, "text outside a [strings] or [menu] section");
        }
    }
    if (table.texts.empty())
        fail(path, "no [strings]");
    if (table.menu.empty())
        fail(path, "no [menu]");
    for (const Popup& popup : table.menu) {
        if (popup.items.empty())
            fail(path, "menu \"" + popup.label + "\" has no items");
    }
    return table;
}

std::string literal(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '?':
                out += "\\?";
                break;  // no trigraphs
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char octal[8];
                    std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
                    out += octal;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make-tables OUTPUT.cpp TABLE-FILE...\n");
        return 2;
    }
    std::vector<Table> tables;
    for (int i = 2; i < argc; ++i)
        tables.push_back(readTable(argv[i]));

    std::ostringstream out;
    out << "// Generated by make-tables from resources/strings/*.txt. Do not edit.\n"
        << "#include \"resources/TableData.h\"\n\n"
        << "namespace upkeep::resources::detail {\n"
        << "static_assert(kTableCount == " << tables.size() << ", \"one file per table\");\n"
        << "static_assert(kFirstStringId == " << kFirstId << " && kLastStringId == " << kLastId
        << ");\n"
        << "namespace {\n";
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const Table& table = tables[t];
        out << "\n// strings/" << table.stem << ".txt\n";
        out << "const char* const kTexts" << t << "[kSlotCount] = {\n";
        for (int id = kFirstId; id <= kLastId; ++id) {
            auto found = table.texts.find(id);
            out << "    /* " << id << " */ "
                << (found == table.texts.end() ? "nullptr" : literal(found->second)) << ",\n";
        }
        out << "};\n";
        for (std::size_t p = 0; p < table.menu.size(); ++p) {
            out << "const MenuItem kItems" << t << "_" << p << "[] = {\n";
            for (const Item& item : table.menu[p].items) {
                out << "    {" << item.commandId << ", " << literal(item.label) << ", "
                    << (item.checked ? "true" : "false") << "},\n";
            }
            out << "};\n";
        }
        out << "const MenuPopup kMenu" << t << "[] = {\n";
        for (std::size_t p = 0; p < table.menu.size(); ++p) {
            out << "    {" << literal(table.menu[p].label) << ", kItems" << t << "_" << p << "},\n";
        }
        out << "};\n";
    }
    out << "}  // namespace\n\nconst TableData kTableData[kTableCount] = {\n";
    for (std::size_t t = 0; t < tables.size(); ++t) {
        out << "    {" << literal(tables[t].stem) << ", kTexts" << t << ", kMenu" << t << ", "
            << tables[t].menu.size() << "},\n";
    }
    out << "};\n\n}  // namespace upkeep::resources::detail\n";

    // Write only on change, so an unchanged table set does not recompile.
    const std::string output = argv[1];
    const std::string text = out.str();
    {
        std::ifstream existing(output, std::ios::binary);
        std::ostringstream old;
        old << existing.rdbuf();
        if (existing && old.str() == text)
            return 0;
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file) {
        std::fprintf(stderr, "%s: error: cannot write\n", output.c_str());
        return 1;
    }
    return 0;
}
