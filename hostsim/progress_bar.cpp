#include "hostsim/progress_bar.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace hostsim {

namespace {
constexpr int kBarWidth = 40;
}

ProgressBar::ProgressBar(std::string label, bool enabled)
    : label_(std::move(label)), enabled_(enabled && stderrIsTerminal()) {}

ProgressBar::~ProgressBar() {
    finish();
}

bool ProgressBar::stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void ProgressBar::update(int done, int total) {
    if (!enabled_ || total <= 0) {
        return;
    }
    const int percent = static_cast<int>(100LL * done / total);
    if (percent == lastPercent_) {
        return; // redrawing the same line costs more than the render of a row under emulation
    }
    lastPercent_ = percent;
    const int filled = kBarWidth * percent / 100;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar, percent);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (drawn_) {
        std::fprintf(stderr, "\n");
        std::fflush(stderr);
        drawn_ = false;
    }
}

} // namespace hostsim
