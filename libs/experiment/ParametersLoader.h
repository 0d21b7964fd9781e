#pragma once
// Reads a parameter file into a key -> values table.
//
// Every line is cut at the separators ":\t\r " (runs count as one). The first
// token is the key and each later token one value of it; lines of at most one
// character, lines of separators only and lines whose first token starts with
// '#' are skipped. Only the first value of a line is kept (the rest is never
// read, so a long line costs no more than its bytes). A key may occur on
// several lines: `get` answers the first value of the first occurrence, and
// `repeatedKeys` names the keys that had a value on more than one line. A key
// line without a value stores nothing, so the key counts as absent.
//
// A UTF-8 byte order mark at the start of the text is skipped. A text with more
// than `maxKeyCount` different keys is refused (no parameters file comes near),
// so any file within the size limit reads in a fraction of a second.
//
// Problems are reported to the caller as exceptions, never by ending the
// process: a file that cannot be read raises ParametersFileError, and `get` of
// an absent key raises MissingKeyError after writing
// "Can't find such identifier: <key> !!!" to the standard error stream.
// `loadFile` reads only regular files of at most `maxFileSize` bytes: a named
// pipe, a device such as /dev/urandom or a folder is refused before a byte is
// read, so none of them can block or exhaust memory.

#include <cstddef>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class MissingKeyError : public std::runtime_error
{
public:
    explicit MissingKeyError(const std::string &key);
    const std::string &key() const { return missingKey; }

private:
    std::string missingKey;
};

class ParametersFileError : public std::runtime_error
{
public:
    ParametersFileError(const std::string &path, const std::string &reason);
    const std::string &path() const { return filePath; }
    // The system's reason, e.g. "No such file or directory".
    const std::string &reason() const { return why; }

private:
    std::string filePath;
    std::string why;
};

class ParametersLoader
{
public:
    static const char *const separators;
    // The largest parameters file `loadFile` accepts, in bytes (16 MB).
    static constexpr long long maxFileSize = 16LL * 1024 * 1024;
    static constexpr std::size_t maxKeyCount = 10000;

    // Reads every line of the file; throws ParametersFileError when it is not a
    // regular file, is larger than maxFileSize, cannot be opened or read to its
    // end, holds too many keys, or does not fit in memory. The table is changed
    // only on success.
    void loadFile(const std::string &path);
    // Reads every line of an open stream; returns false on a read error or too many keys.
    bool load(std::istream &is);

    bool exists(const std::string &key) const;
    // The first value stored for the key; throws MissingKeyError if there is
    // none, after reporting "Can't find such identifier: <key> !!!" (Reporting.h).
    std::string get(const std::string &key) const;
    // The keys given a value on more than one line, in key order.
    std::vector<std::string> repeatedKeys() const;

private:
    // Adds the lines of `text` to the table; false when that makes too many keys.
    bool parse(const std::string &text);

    struct Entry {
        std::string firstValue;
        int lines = 0; // with a value
    };
    std::unordered_map<std::string, Entry> table;
};
