#include "TextUtils.h"

std::vector<std::string> tokenize(const std::string &text, const std::string &separators)
{
    std::vector<std::string> tokens;
    std::string::size_type start = text.find_first_not_of(separators);
    while (start != std::string::npos) {
        const std::string::size_type end = text.find_first_of(separators, start);
        tokens.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(separators, end);
    }
    return tokens;
}
