#include "app/controllers/HelpText.h"

#include <vector>

namespace upkeep::app {
namespace {

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

bool blank(std::string_view line) {
    return line.find_first_not_of(' ') == std::string_view::npos;
}

// "=====" or "-----": the line above is a heading.
char underline(std::string_view line) {
    if (line.size() < 2 || (line[0] != '=' && line[0] != '-'))
        return 0;
    return line.find_first_not_of(line[0]) == std::string_view::npos ? line[0] : 0;
}

std::size_t indentOf(std::string_view line) {
    const std::size_t at = line.find_first_not_of(' ');
    return at == std::string_view::npos ? line.size() : at;
}

bool tableLine(std::string_view line) {
    if (indentOf(line) > 0)
        return true;
    const std::size_t gap = line.find("  ");
    return gap != std::string_view::npos && line.find_first_not_of(' ', gap) != std::string::npos;
}

// The cells of a table line: the text between gaps of two or more spaces.
std::vector<std::string> cellsOf(std::string_view line) {
    std::vector<std::string> cells;
    std::size_t at = indentOf(line);
    while (at < line.size()) {
        std::size_t gap = line.find("  ", at);
        if (gap == std::string_view::npos)
            gap = line.size();
        cells.emplace_back(line.substr(at, gap - at));
        at = line.find_first_not_of(' ', gap);
        if (at == std::string_view::npos)
            break;
    }
    return cells;
}

// Whether the character that ends (or starts) the UTF-8 text is from the
// scripts written without spaces between words (Chinese, Japanese).
bool unspacedScript(std::string_view text, bool atEnd) {
    if (text.empty())
        return false;
    std::size_t start = 0;
    if (atEnd) {
        start = text.size() - 1;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
            --start;
    }
    const auto lead = static_cast<unsigned char>(text[start]);
    if (lead < 0xE0 || lead >= 0xF0 || start + 2 >= text.size())
        return false;
    const unsigned codePoint = ((lead & 0x0Fu) << 12) |
                               ((static_cast<unsigned char>(text[start + 1]) & 0x3Fu) << 6) |
                               (static_cast<unsigned char>(text[start + 2]) & 0x3Fu);
    // CJK punctuation, kana and ideographs, and full-width forms; not Hangul,
    // which is written with spaces.
    return (codePoint >= 0x2E80 && codePoint < 0xA000) ||
           (codePoint >= 0xF900 && codePoint < 0xFB00) ||
           (codePoint >= 0xFF00 && codePoint < 0xFFF0);
}

// Joins a wrapped line to the text before it.
void joinLine(std::string& text, std::string_view line) {
    if (!text.empty() && !unspacedScript(text, true) && !unspacedScript(line, false))
        text += ' ';
    text += line;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string helpAsHtml(std::string_view text) {
    const std::vector<std::string_view> lines = linesOf(text);
    std::string html;
    std::string paragraph;
    std::vector<std::vector<std::string>> rows;
    std::size_t rowIndent = 0;

    auto endParagraph = [&] {
        if (!paragraph.empty())
            html += "<p>" + escaped(paragraph) + "</p>\n";
        paragraph.clear();
    };
    auto endTable = [&] {
        if (rows.empty())
            return;
        html += "<table cellspacing=\"0\" cellpadding=\"2\">\n";
        for (const std::vector<std::string>& row : rows) {
            html += "<tr>";
            for (std::size_t i = 0; i < row.size(); ++i) {
                // The first column keeps its words together; the last wraps.
                html += i == 0 && row.size() > 1 ? "<td style=\"white-space: nowrap\">" : "<td>";
                html += escaped(row[i]) + "</td>";
            }
            html += "</tr>\n";
        }
        html += "</table>\n";
        rows.clear();
    };

    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (i + 1 < lines.size() && !blank(line) && underline(lines[i + 1])) {
            endParagraph();
            endTable();
            const char* tag = underline(lines[i + 1]) == '=' ? "h2" : "h3";
            html += std::string("<") + tag + ">" + escaped(line) + "</" + tag + ">\n";
            ++i;
        } else if (blank(line)) {
            endParagraph();
            endTable();
        } else if (tableLine(line)) {
            endParagraph();
            std::vector<std::string> cells = cellsOf(line);
            const std::size_t indent = indentOf(line);
            if (cells.size() == 1 && !rows.empty() && rows.back().size() > 1 &&
                indent > rowIndent) {
                joinLine(rows.back().back(), cells[0]);
            } else {
                rows.push_back(std::move(cells));
                rowIndent = indent;
            }
        } else {
            endTable();
            joinLine(paragraph, line);
        }
    }
    endParagraph();
    endTable();
    return html;
}

}  // namespace upkeep::app
