#pragma once
// Text helpers of the engine: cutting text into tokens, the text of a real
// number, and UTF-8 checks.
//
// `tokenize` cuts a byte string at any of a set of separator characters and
// never yields an empty token.

#include <cstddef>
#include <string>
#include <vector>

// The shortest text in general (%g) notation that reads back to exactly
// `value`, independent of the user's locale: 0.5, -99999, 0.001, -12345.678,
// 1e-07. Files, messages and summaries all write reals this way.
std::string formatReal(double value);
// The same text written at `out`, which has room for realTextCapacity
// characters, without allocating; returns its length.
constexpr std::size_t realTextCapacity = 32;
std::size_t writeReal(double value, char *out);

// The length of the valid UTF-8 sequence that starts at text[i] (1 to 4), or 0
// when the byte there starts none (a stray continuation byte, an overlong form,
// a surrogate, a sequence cut short).
std::size_t utf8SequenceAt(const std::string &text, std::size_t i);
// The text with each byte that starts no valid UTF-8 sequence replaced by
// U+FFFD, so that every reader decodes it alike.
std::string validUtf8(const std::string &text);

std::vector<std::string> tokenize(const std::string &text, const std::string &separators);
