#pragma once
// Reads a parameter file into a key -> values table.
//
// Every line is cut at the separators ":\t\r " (runs count as one). The first
// token is the key and each later token one value of it; lines of at most one
// character, lines of separators only and lines whose first token starts with
// '#' are skipped. A key may occur on several lines: all its values are kept in
// file order and `get` answers the first value of the first occurrence. A key
// line without a value stores nothing, so the key counts as absent.
//
// A UTF-8 byte order mark at the start of the text is skipped.
//
// Problems are reported to the caller as exceptions, never by ending the
// process: a file that cannot be read raises ParametersFileError, and `get` of
// an absent key raises MissingKeyError after writing
// "Can't find such identifier: <key> !!!" to the standard error stream.
// `loadFile` reads only regular files of at most `maxFileSize` bytes: a named
// pipe, a device such as /dev/urandom or a folder is refused before a byte is
// read, so none of them can block or exhaust memory.

#include <iosfwd>
#include <map>
#include <stdexcept>
#include <string>

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

    // Reads every line of the file; throws ParametersFileError when it is not a
    // regular file, is larger than maxFileSize, cannot be opened or read to its
    // end, or does not fit in memory. The table is changed only on success.
    void loadFile(const std::string &path);
    // Reads every line of an open stream; returns false on a read error.
    bool load(std::istream &is);

    bool exists(const std::string &key) const;
    // The first value stored for the key; throws MissingKeyError if there is
    // none, after reporting "Can't find such identifier: <key> !!!" (Reporting.h).
    std::string get(const std::string &key) const;

private:
    // Adds the lines of `text` to `into`.
    static void parse(const std::string &text, std::multimap<std::string, std::string> &into);

    std::multimap<std::string, std::string> table;
};
