#pragma once
// Texts from printers, the spooler and files, made safe to print on a
// terminal: an escape sequence inside a model name must not retitle the
// window or clear the screen.

#include <string>
#include <string_view>
#include <vector>

namespace upkeep::cli {

// Control characters (C0, DEL and C1) and bytes that are not well-formed
// UTF-8 are shown as \xHH, one per byte; everything else stands as it is.
std::string terminalText(std::string_view text);

// Rows as lines of columns two blanks apart, each cell but a row's last
// padded to its column's widest by display width, so that German and
// Japanese columns line up as English ones do. Cells are shown as given.
std::string columns(const std::vector<std::vector<std::string>>& rows);

// The text with blanks after it up to `width` columns of display width.
std::string padded(std::string_view text, std::size_t width);

}  // namespace upkeep::cli
