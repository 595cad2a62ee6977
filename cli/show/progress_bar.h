// The progress of a long repair, drawn on standard error when it is a
// terminal and left out otherwise (in scripts, logs and pipes).
#ifndef TESMORA_CLI_PROGRESS_BAR_H
#define TESMORA_CLI_PROGRESS_BAR_H

#include <cstdint>
#include <string>

namespace tesmora::cli {

class ProgressBar {
public:
    // Draws only when enabled; by default when standard error is a terminal.
    ProgressBar();
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}

    // What is being done, shown before the bar: "range 2/3".
    void setTask(std::string task) { task_ = std::move(task); }
    // The module's status text, shown after the task.
    void setStatus(std::string status) { status_ = std::move(status); }
    // The module counts position down from the end of the selection to its
    // start, so the work done is total - position.
    void show(std::uint32_t position, std::uint32_t total);
    // Wipes the bar's line, if one was drawn.
    void clear();

private:
    bool enabled_;
    bool drawn_ = false;
    int lastPercent_ = -1;
    std::string task_;
    std::string status_;
};

}  // namespace tesmora::cli

#endif
