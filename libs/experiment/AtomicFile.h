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
// keeps the permissions (and, where the system allows, the owner) it had. A
// file without any write permission is refused ("Permission denied"), even for
// root. A symbolic link stays a link: the file it leads to is replaced, beside
// itself, as editors do. A target that is not a regular file (a named pipe, a
// device, a terminal, or a link into /proc such as /dev/stdout) cannot be
// replaced by a rename: it is written straight through, and `commit` only
// writes out the rest and closes it.

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

    // Checks, without creating anything, that `open` can succeed: the folder
    // exists and may be written, and the target is not a folder and not
    // write-protected. False with `error` when not.
    bool check();
    // Checks, then creates the temporary file; false (with `error`) when it cannot.
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
    bool writeOut(const char *data, std::size_t size);
    bool fail(int errorNumber);

    std::string target;
    std::string finalTarget; // the target with its links followed, set by check()
    bool direct = false; // written straight through, not replaced
    std::string temporary;
    int fd = -1;
    std::vector<char> buffer;
    std::string reason;
};
