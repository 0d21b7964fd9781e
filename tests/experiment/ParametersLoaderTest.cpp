#include "ParametersLoader.h"
#include "AddressSpaceLimit.h"
#include "Reporting.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

ParametersLoader loaded(const std::string &text)
{
    ParametersLoader loader;
    std::istringstream is(text);
    EXPECT_TRUE(loader.load(is));
    return loader;
}

TEST(ParametersLoader, GivesTheFirstValueOfTheFirstOccurrence)
{
    const struct {
        const char *name, *text, *key;
        const char *value; // nullptr: the key must be absent
    } cases[] = {
        { "LeadingAndTrailingSeparators", " :Mu:: \t0.5 :\r\n", "Mu", "0.5" },
        { "CommentLine", "  # Mu 0.5\n", "Mu", nullptr },
        { "CommentKey", "#Mu 0.5\n", "#Mu", nullptr },
        { "HashAfterKeyIsAValue", "GuessRate: # 0.1\n", "GuessRate", "#" },
        { "NoteAfterValue", "GuessRate: 0.1 # note\n", "GuessRate", "0.1" },
        { "KeyWithoutValue", "LapseRate:\n", "LapseRate", nullptr },
        { "KeyWithoutValueThenValue", "LapseRate:\nLapseRate: 0.2\n", "LapseRate", "0.2" },
        { "RepeatedKeyFirstLineHasTwoValues", "Sigma: 2 5\nSigma: 3\n", "Sigma", "2" },
        { "KeysAreCaseSensitive", "sigma: 2\n", "Sigma", nullptr },
        { "OneCharacterLine", "x\nMu 1\n", "x", nullptr },
        { "SeparatorOnlyLines", "  \n:\r\n \t \nMu 1\n", "Mu", "1" },
        { "NoFinalLineBreak", "Mu 0.5\r\nSigma 2", "Sigma", "2" },
        { "CommaListIsOneValue", "sStairStartStates: 0,0.5,1\n", "sStairStartStates", "0,0.5,1" },
        { "BlanksSplitAList", "sStairStartStates: 0, 0.5, 1\n", "sStairStartStates", "0," },
        { "ByteOrderMarkSkipped", "\xEF\xBB\xBFMu 0.5\n", "Mu", "0.5" },
        { "ByteOrderMarkOnlyAtTheStart", "Sigma 1\n\xEF\xBB\xBFMu 0.5\n", "Mu", nullptr },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ParametersLoader loader = loaded(c.text);
        EXPECT_EQ(loader.exists(c.key), c.value != nullptr);
        if (c.value) {
            EXPECT_EQ(loader.get(c.key), c.value);
        }
    }
}

// Neither problem ends the process: the caller gets an exception.
TEST(ParametersLoader, MissingKeyIsReportedToTheCallerAndAsAMessage)
{
    const ParametersLoader loader = loaded("Mu 0.5\nLapseRate:\n");
    std::vector<std::string> messages;
    const ReportScope scope([&](const std::string &m) { messages.push_back(m); });
    try {
        loader.get("LapseRate");
        FAIL() << "no exception";
    } catch (const MissingKeyError &e) {
        EXPECT_EQ(e.key(), "LapseRate");
        EXPECT_STREQ(e.what(), "Can't find such identifier: LapseRate");
    }
    EXPECT_EQ(messages, std::vector<std::string> { "Can't find such identifier: LapseRate !!!" });
}

TEST(ParametersLoader, UnreadableFileIsReportedWithTheSystemsReason)
{
    const std::string missing = testing::TempDir() + "no-such-dir/no-such-file.txt";
    try {
        ParametersLoader().loadFile(missing);
        FAIL() << "no exception";
    } catch (const ParametersFileError &e) {
        EXPECT_EQ(e.path(), missing);
        EXPECT_EQ(e.reason(), "No such file or directory");
    }
}

// The reason loadFile gives for refusing `path`, or "" when it reads the file.
std::string refusal(const std::string &path)
{
    try {
        ParametersLoader().loadFile(path);
        return "";
    } catch (const ParametersFileError &e) {
        EXPECT_EQ(e.path(), path);
        return e.reason();
    }
}

// Each of these blocked forever or exhausted memory when read line by line.
TEST(ParametersLoader, ReadsOnlyRegularFilesUpToTheSizeLimit)
{
    char pattern[] = "/tmp/loader-test-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string fifo = folder + "/fifo", limit = folder + "/limit.txt", over = folder + "/over.txt",
                      keys = folder + "/keys.txt";
    {
        std::ofstream file(keys);
        for (std::size_t i = 0; i <= ParametersLoader::maxKeyCount; ++i)
            file << "k" << i << " 1\n";
    }
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto &[path, size] : { std::pair(limit, 0), std::pair(over, 1) }) {
        std::ofstream { path };
        // Sparse: no disk space is used.
        ASSERT_EQ(truncate(path.c_str(), ParametersLoader::maxFileSize + size), 0);
    }
    const std::string tooLarge = "The file is larger than 16 MB, the most a parameters file may hold";
    const std::pair<std::string, std::string> cases[]
        = { { folder, "Is a directory" }, { fifo, "It is a named pipe, not a regular file" },
              { "/dev/urandom", "It is a device, not a regular file" }, { over, tooLarge }, { limit, "" },
              { keys, "It holds more than 10000 different keys, the most a parameters file may hold" } };
    for (const auto &[path, reason] : cases)
        EXPECT_EQ(refusal(path), reason) << path;
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST(ParametersLoader, RunningOutOfMemoryIsReportedAsAFileThatCannotBeRead)
{
#if defined(QUORVEL_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
    const std::string path = testing::TempDir() + "many-short-lines.txt";
    {
        std::ofstream file(path);
        for (int i = 0; i < 1500000; ++i)
            file << "k " << i << '\n';
    }
    std::exception_ptr thrown;
    {
        // Less than the file's 16 MB.
        const AddressSpaceLimit outOfMemory(rlim_t(8) << 20);
        try {
            ParametersLoader().loadFile(path);
        } catch (...) {
            thrown = std::current_exception();
        }
    }
    std::remove(path.c_str());
    ASSERT_TRUE(thrown);
    try {
        std::rethrow_exception(thrown);
    } catch (const ParametersFileError &e) {
        EXPECT_EQ(e.reason(), "There is not enough memory to read it");
    }
#endif
}

// One line of 8 million "values" once took 1.2 GB: only a line's first value is kept.
TEST(ParametersLoader, ALongLineCostsLittleMoreThanItsBytes)
{
#if defined(QUORVEL_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
    const std::string path = testing::TempDir() + "long-line.txt";
    {
        std::string line = "z";
        for (int i = 1; i < ParametersLoader::maxFileSize / 2; ++i)
            line += ":a";
        std::ofstream(path) << line;
    }
    ParametersLoader loader;
    {
        const AddressSpaceLimit limit(rlim_t(96) << 20);
        EXPECT_NO_THROW(loader.loadFile(path));
    }
    std::remove(path.c_str());
    EXPECT_EQ(loader.get("z"), "a");
#endif
}

} // namespace
