#pragma once
// A progress bar on the terminal (stderr) for downloads; silent when stderr
// is not a terminal.

#include <string>

namespace upkeep::cli {

class ProgressBar {
  public:
    ProgressBar();
    ~ProgressBar();
    void show(const std::string& label, int percent);
    void done();

  private:
    bool terminal_;
    bool drawn_ = false;
    int lastPercent_ = -1;
    std::string lastLabel_;
};

}  // namespace upkeep::cli
