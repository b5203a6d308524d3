#pragma once
// A progress bar on the terminal (stderr) for downloads; silent when stderr
// is not a terminal.

#include <string>

namespace upkeep::cli {

class ProgressBar {
  public:
    ProgressBar();
    ~ProgressBar();
    // share: of the file taken, 0 to kProgressWhole.
    void show(const std::string& label, int share);
    void done();

  private:
    bool terminal_;
    bool drawn_ = false;
    int lastShown_ = -1;  // in tenths of a percent
    std::string lastLabel_;
};

// One line of status on the terminal (stderr), redrawn in place and erased
// at the end, so that nothing of it stays above the output; silent when
// stderr is not a terminal.
class StatusLine {
  public:
    StatusLine();
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;
    void show(const std::string& text);
    void erase();

  private:
    bool terminal_;
    std::string shown_;
};

}  // namespace upkeep::cli
