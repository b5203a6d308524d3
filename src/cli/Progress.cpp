#include "cli/Progress.h"

#include "cli/TerminalText.h"
#include "printer/SendEngine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace upkeep::cli {

ProgressBar::ProgressBar() : terminal_(::isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    done();
}

void ProgressBar::show(const std::string& label, int share) {
    if (!terminal_)
        return;
    share = std::clamp(share, 0, kProgressWhole);
    // Tenths of a percent: a slow printer's first bytes show at once.
    const int tenths = share * 1000 / kProgressWhole;
    if (tenths == lastShown_ && label == lastLabel_)
        return;
    constexpr int kWidth = 30;
    int filled = share * kWidth / kProgressWhole;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r\033[K[%s] %3d.%d%%  %s", bar.c_str(), tenths / 10, tenths % 10,
                 terminalText(label).c_str());
    std::fflush(stderr);
    drawn_ = true;
    lastShown_ = tenths;
    lastLabel_ = label;
}

void ProgressBar::done() {
    if (drawn_)
        std::fputc('\n', stderr);
    drawn_ = false;
    lastShown_ = -1;
}

StatusLine::StatusLine() : terminal_(::isatty(STDERR_FILENO) == 1) {}

StatusLine::~StatusLine() {
    erase();
}

void StatusLine::show(const std::string& text) {
    if (!terminal_ || text == shown_)
        return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    shown_ = text;
}

void StatusLine::erase() {
    if (shown_.empty())
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_.clear();
}

}  // namespace upkeep::cli
