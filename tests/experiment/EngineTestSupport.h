#pragma once
// Helpers shared by the engine's tests.

#include <iostream>
#include <sstream>
#include <string>

// Collects what the code under test writes to std::cerr while it lives.
class CerrCapture
{
public:
    CerrCapture()
        : previous(std::cerr.rdbuf(captured.rdbuf()))
    {
    }
    ~CerrCapture() { std::cerr.rdbuf(previous); }
    CerrCapture(const CerrCapture &) = delete;
    CerrCapture &operator=(const CerrCapture &) = delete;

    std::string text() const { return captured.str(); }

private:
    std::ostringstream captured;
    std::streambuf *previous;
};

// A death-test pattern that matches `text` literally.
inline std::string literally(const std::string &text)
{
    std::string pattern;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}
