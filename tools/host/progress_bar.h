// A one-line progress bar redrawn in place on a terminal; silent when the
// stream is not a terminal, so redirected output stays clean lines.
#pragma once

#include <cstdio>
#include <string>

namespace plclink::host {

class ProgressBar {
public:
    ProgressBar(std::FILE* stream, std::string label, long total);
    ~ProgressBar();
    void update(long done);
    void finish();  // ends the line

    // The bar as drawn for `done` of `total` in `columns` characters.
    static std::string Render(const std::string& label, long done, long total, int columns);

private:
    std::FILE* stream_;
    std::string label_;
    long total_;
    bool shown_;
    bool finished_ = false;
};

}  // namespace plclink::host
