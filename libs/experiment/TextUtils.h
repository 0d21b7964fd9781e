#pragma once
// Text helpers shared by the parameter file reader and the staircase pages.
//
// `tokenize` cuts a byte string at any of a set of separator characters and
// never yields an empty token. `stringToVector` trims the text, tokenizes it
// and converts every token strictly and independently of the user's locale
// ("." is the decimal point; "3.5" is no int; a bool is 0 or 1). A token that
// does not convert raises boost::bad_lexical_cast.

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>

#include <string>
#include <vector>

std::vector<std::string> tokenize(const std::string &text, const std::string &separators);

template <typename T> std::vector<T> stringToVector(const std::string &text, const std::string &separators)
{
    std::string trimmed = text;
    boost::algorithm::trim(trimmed);
    std::vector<T> values;
    for (const std::string &token : tokenize(trimmed, separators))
        values.push_back(boost::lexical_cast<T>(token));
    return values;
}
