#include "cli/Progress.h"

#include "cli/TerminalText.h"

#include <unistd.h>

#include <cstdio>

namespace upkeep::cli {

ProgressBar::ProgressBar() : terminal_(::isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    done();
}

void ProgressBar::show(const std::string& label, int percent) {
    if (!terminal_)
        return;
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    if (percent == lastPercent_ && label == lastLabel_)
        return;
    constexpr int kWidth = 30;
    int filled = percent * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r\033[K[%s] %3d%%  %s", bar.c_str(), percent,
                 terminalText(label).c_str());
    std::fflush(stderr);
    drawn_ = true;
    lastPercent_ = percent;
    lastLabel_ = label;
}

void ProgressBar::done() {
    if (drawn_)
        std::fputc('\n', stderr);
    drawn_ = false;
    lastPercent_ = -1;
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
