// A one-line progress bar on stderr for long renders. It redraws in place only on a terminal;
// when stderr goes to a file or a pipe it stays silent, so logs don't fill with redraws.
#pragma once

#include <string>

namespace hostsim {

class ProgressBar {
  public:
    explicit ProgressBar(std::string label, bool enabled = true);
    ~ProgressBar(); // ends the line if the bar was drawn
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(int done, int total);
    void finish();

    static bool stderrIsTerminal();

  private:
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    int lastPercent_ = -1;
};

} // namespace hostsim
