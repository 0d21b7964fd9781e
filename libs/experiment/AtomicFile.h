#pragma once
// A file that is written whole or not at all.
//
// The content goes to a new temporary file beside the target (same folder, so
// the final rename stays on one file system). Every write is checked, and
// `commit` flushes, syncs and closes the temporary file before renaming it over
// the target: only then does the target change. Any failure (a full disk, a
// size limit, a folder that cannot be written) leaves the target exactly as it
// was, removes the temporary file and keeps the system's reason. A file that is
// never committed is discarded by the destructor.
//
// A new file gets the usual permissions (0666 less the umask); a replaced file
// keeps the permissions it had.

#include <cstddef>
#include <string>
#include <vector>

class AtomicFile
{
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file; false (with `error`) when it cannot.
    bool open();
    // Buffered; false once any write has failed.
    bool write(const char *data, std::size_t size);
    bool write(const std::string &text) { return write(text.data(), text.size()); }
    // Writes out the rest, then replaces the target. False, with the target
    // untouched, on any failure.
    bool commit();
    // Drops the temporary file; the target stays as it was.
    void discard();

    const std::string &path() const { return target; }
    // The system's reason for the first failure, e.g. "No space left on device".
    const std::string &error() const { return reason; }

private:
    bool flushBuffer();
    bool fail(int errorNumber);

    std::string target;
    std::string temporary;
    int fd = -1;
    std::vector<char> buffer;
    std::string reason;
};
