#include "ParametersLoader.h"

#include "TextUtils.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

const char *const ParametersLoader::separators = ":\t\r  ";

MissingKeyError::MissingKeyError(const std::string &key)
    : std::runtime_error("Can't find such identifier: " + key)
    , missingKey(key)
{
}

ParametersFileError::ParametersFileError(const std::string &path, const std::string &reason)
    : std::runtime_error("Can't read parameters file " + path + ": " + reason)
    , filePath(path)
    , why(reason)
{
}

void ParametersLoader::loadFile(const std::string &path)
{
    errno = 0;
    std::ifstream is(path.c_str());
    if (!is.good())
        throw ParametersFileError(path, errno ? std::strerror(errno) : "the file cannot be opened");
    errno = 0;
    if (!load(is))
        throw ParametersFileError(path, errno ? std::strerror(errno) : "the file cannot be read");
}

bool ParametersLoader::load(std::istream &is)
{
    std::string line;
    // getline also delivers a last line that has no line break.
    while (std::getline(is, line)) {
        if (line.size() <= 1)
            continue;
        const std::vector<std::string> tokens = tokenize(line, separators);
        if (tokens.empty() || tokens.front()[0] == '#')
            continue;
        for (std::size_t i = 1; i < tokens.size(); ++i)
            table.emplace(tokens.front(), tokens[i]);
    }
    return !is.bad();
}

bool ParametersLoader::exists(const std::string &key) const
{
    return table.find(key) != table.end();
}

std::string ParametersLoader::get(const std::string &key) const
{
    // multimap keeps equal keys in insertion order, so lower_bound is the
    // first value of the first occurrence.
    const auto it = table.lower_bound(key);
    if (it == table.end() || it->first != key) {
        std::cerr << "Can't find such identifier: " << key << " !!!" << std::endl;
        throw MissingKeyError(key);
    }
    return it->second;
}
