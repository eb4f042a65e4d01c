#include "progress_bar.h"

#include <algorithm>

#include "terminal.h"

namespace plclink::host {

ProgressBar::ProgressBar(std::FILE* stream, std::string label, long total)
    : stream_(stream), label_(std::move(label)), total_(total), shown_(IsTerminal(stream)) {}

ProgressBar::~ProgressBar() { finish(); }

std::string ProgressBar::Render(const std::string& label, long done, long total, int columns) {
    done = std::clamp(done, 0L, std::max(total, 0L));
    int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict, GCC bug
    // 105651) about " " + std::string at -O2 and above.
    std::string counts = " ";
    counts += std::to_string(percent) + "% " + std::to_string(done) + "/" + std::to_string(total);
    int room = columns - 1 - static_cast<int>(label.size()) - 3 - static_cast<int>(counts.size());
    int width = std::clamp(room, 10, 50);
    int filled = total > 0 ? static_cast<int>(done * width / total) : width;
    return label + " [" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(width - filled), '.') + "]" + counts;
}

void ProgressBar::update(long done) {
    if (!shown_ || finished_) return;
    std::fprintf(stream_, "\r%s\x1b[K", Render(label_, done, total_, TerminalColumns(stream_)).c_str());
    std::fflush(stream_);
}

void ProgressBar::finish() {
    if (!shown_ || finished_) return;
    finished_ = true;
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

}  // namespace plclink::host
