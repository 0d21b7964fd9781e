#pragma once
// One output of quorvel-batch (the trials or the summary).
//
// A path that names a regular file, or nothing yet, is written through
// AtomicFile: the file under that name is replaced only once the new content
// is complete and on disk, so a full disk or an interrupted run leaves the old
// file as it was. "-" is the standard output, and a path that names something
// other than a regular file (a pipe such as bash's >(gzip > out.gz), /dev/null,
// a terminal) cannot be replaced by a rename: both are written straight
// through, and every write and the final flush are checked, so a closed pipe
// or a full device is reported instead of passing for success.

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

    // Checks that the output can be written, before any long work.
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

    std::string path;
    std::FILE *standardOutput;
    std::unique_ptr<AtomicFile> file;
    std::FILE *stream = nullptr; // the standard output, or a stream this output opened
    bool ownsStream = false;
    std::string reason;
};
