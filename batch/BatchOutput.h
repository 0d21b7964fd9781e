#pragma once
// One output of quorvel-batch (the trials or the summary).
//
// A path is written through AtomicFile: a regular file under that name (or
// behind that link) is replaced only once the new content is complete and on
// disk, so a full disk or an interrupted run leaves the old file as it was;
// something else (a pipe such as bash's >(gzip > out.gz), /dev/null, a
// terminal) is written straight through. `open` only checks, and the file is
// created at the first write, so nothing is left on disk should the process be
// killed during the run. "-" is the standard output, written straight through
// and never closed. Every write and the final flush are checked, so a closed
// pipe or a full device is reported instead of passing for success.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

class AtomicFile;

class BatchOutput
{
public:
    // `standardOutput` is what "-" writes to.
    BatchOutput(std::string path, std::FILE *standardOutput);
    ~BatchOutput();
    BatchOutput(const BatchOutput &) = delete;
    BatchOutput &operator=(const BatchOutput &) = delete;

    bool isStandardOutput() const { return path == "-"; }
    // "the standard output" or the path, for messages.
    std::string name() const;

    // Checks that the output can be written, before any long work, without creating anything.
    bool open();
    bool write(const char *data, std::size_t size);
    // Writes out the rest; a file is replaced only now.
    bool finish();
    // Gives up: a file under the path stays as it was.
    void discard();

    // The system's reason for the first failure.
    const std::string &error() const { return reason; }

private:
    bool fail(int errorNumber);
    bool startFile();

    std::string path;
    std::FILE *standardOutput;
    std::unique_ptr<AtomicFile> file;
    bool started = false; // the file has been opened
    std::FILE *stream = nullptr; // the standard output
    std::string reason;
};
