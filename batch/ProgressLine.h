#pragma once
// A one-line progress report on a terminal, for runs long enough to wonder about.
//
// Nothing is shown during the first second; after that the line is rewritten
// in place (carriage return, no line feed) at most four times a second, and
// `clear` blanks it so that the next message or the shell's prompt starts on a
// clean line. A disabled ProgressLine (standard error is not a terminal, so a
// log file would fill with carriage returns) shows nothing.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

class ProgressLine
{
public:
    ProgressLine(std::FILE *stream, bool enabled);
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // Whether a new text would be shown now; cheap enough to ask often.
    bool due();
    // Shows `text` if it is due.
    void show(const std::string &text);
    void clear();

private:
    using Clock = std::chrono::steady_clock;
    std::FILE *stream;
    bool enabled;
    Clock::time_point nextShow;
    std::size_t shownWidth = 0;
};
