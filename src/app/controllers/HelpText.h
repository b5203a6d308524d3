#pragma once
// The help text, written as plain text for any editor, turned into simple
// rich text that the help window can reflow to its width.

#include <string>
#include <string_view>

namespace upkeep::app {

// The plain text's parts, as HTML:
//  - a line underlined with "===" or "---" is a heading;
//  - lines of prose up to a blank line are one paragraph, their line breaks
//    dropped (a space between them, none between Chinese or Japanese text);
//  - lines that are indented or hold a gap of two or more spaces are rows
//    of a table whose cells are separated by those gaps; a further-indented
//    line with one cell continues the last cell of the row above.
std::string helpAsHtml(std::string_view text);

}  // namespace upkeep::app
