#include "TextUtils.h"

#include <charconv>

std::size_t writeReal(double value, char *out)
{
    for (int precision = 6;; ++precision) {
        const auto written
            = std::to_chars(out, out + realTextCapacity, value, std::chars_format::general, precision);
        double back = 0.0;
        const auto read = std::from_chars(out, written.ptr, back);
        // Seventeen significant digits always read back to the same double.
        if (precision == 17 || (read.ec == std::errc() && back == value))
            return static_cast<std::size_t>(written.ptr - out);
    }
}

std::size_t utf8SequenceAt(const std::string &text, std::size_t i)
{
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf; // the range of the second byte
    if (c >= 0xc2 && c <= 0xdf) {
        length = 2;
    } else if (c >= 0xe0 && c <= 0xef) {
        length = 3;
        low = c == 0xe0 ? 0xa0 : low;
        high = c == 0xed ? 0x9f : high;
    } else if (c >= 0xf0 && c <= 0xf4) {
        length = 4;
        low = c == 0xf0 ? 0x90 : low;
        high = c == 0xf4 ? 0x8f : high;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xc0) != 0x80)
            return 0;
    return length;
}

std::string validUtf8(const std::string &text)
{
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceAt(text, i);
        if (length == 0)
            valid += "\xef\xbf\xbd";
        else
            valid.append(text, i, length);
        i += length == 0 ? 1 : length;
    }
    return valid;
}

std::string formatReal(double value)
{
    char text[realTextCapacity];
    return std::string(text, writeReal(value, text));
}

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
