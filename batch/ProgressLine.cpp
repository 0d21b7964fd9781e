#include "ProgressLine.h"

namespace
{

constexpr std::chrono::milliseconds quietStart(1000);
constexpr std::chrono::milliseconds interval(250);

} // namespace

ProgressLine::ProgressLine(std::FILE *stream, bool enabled)
    : stream(stream)
    , enabled(enabled)
    , nextShow(Clock::now() + quietStart)
{
}

bool ProgressLine::due()
{
    return enabled && Clock::now() >= nextShow;
}

void ProgressLine::show(const std::string &text)
{
    if (!due())
        return;
    nextShow = Clock::now() + interval;
    // Spaces cover the rest of a longer previous text.
    const std::size_t width = text.size();
    std::string line = "\r" + text;
    if (shownWidth > width)
        line.append(shownWidth - width, ' ');
    std::fputs(line.c_str(), stream);
    std::fflush(stream);
    shownWidth = width;
}

void ProgressLine::clear()
{
    if (shownWidth == 0)
        return;
    std::fputs(("\r" + std::string(shownWidth, ' ') + "\r").c_str(), stream);
    std::fflush(stream);
    shownWidth = 0;
}
