#pragma once
// Helpers shared by the engine's tests.

#include <string>

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
