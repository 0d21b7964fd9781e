#include "AtomicFile.h"
#include "EngineTestSupport.h"

#include "FileSizeLimit.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

class AtomicFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = scratch.path();
        path = folder + "/results.tsv";
    }

    int entries() const
    {
        int count = 0;
        DIR *dir = opendir(folder.c_str());
        while (dirent *e = readdir(dir))
            count += e->d_name[0] != '.' || (e->d_name[1] != '\0' && e->d_name[1] != '.');
        closedir(dir);
        return count;
    }

    TemporaryFolder scratch;
    std::string folder, path;
};

} // namespace

TEST_F(AtomicFileTest, ReplacesTheTargetOnlyOnCommitAndKeepsItsPermissions)
{
    writeFileContent(path, "old");
    chmod(path.c_str(), 0640);
    AtomicFile file(path);
    ASSERT_TRUE(file.open());
    const std::string big(200000, 'x'); // larger than the buffer
    ASSERT_TRUE(file.write("new\n") && file.write(big));
    EXPECT_EQ(fileContent(path), "old");
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(fileContent(path), "new\n" + big);
    struct stat info;
    stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(), 1);
}

// A full disk, whether it shows on a write or only when the buffer is written at commit.
TEST_F(AtomicFileTest, AFullDiskLeavesTheOldFileAndNoTemporaryFile)
{
    for (const std::size_t size : { std::size_t(100), std::size_t(300000) }) {
        writeFileContent(path, "old content");
        AtomicFile file(path);
        ASSERT_TRUE(file.open());
        bool written;
        {
            const FileSizeLimit fullDisk(50);
            written = file.write(std::string(size, 'x')) && file.commit();
        }
        EXPECT_FALSE(written) << size;
        EXPECT_EQ(file.error(), "File too large");
        EXPECT_EQ(fileContent(path), "old content");
        EXPECT_EQ(entries(), 1);
    }
}

TEST_F(AtomicFileTest, AMissingFolderIsReportedAndDiscardDropsTheWork)
{
    AtomicFile missing(folder + "/no/such/folder/file.txt");
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.error(), "No such file or directory");

    AtomicFile dropped(path);
    ASSERT_TRUE(dropped.open());
    dropped.write("never seen");
    dropped.discard();
    EXPECT_EQ(entries(), 0);
}

// The mistakes a caller can make or meet: each leaves nothing behind.
TEST_F(AtomicFileTest, RefusesAFolderNameAtOpenAndCleansUpAFailedCommit)
{
    for (const std::string &name : { folder + "/", folder + "/new/" }) {
        AtomicFile slash(name);
        EXPECT_FALSE(slash.open());
        EXPECT_EQ(slash.error(), "Is a directory") << name;
    }

    AtomicFile failedWrite(path);
    ASSERT_TRUE(failedWrite.open());
    {
        const FileSizeLimit fullDisk(10);
        EXPECT_FALSE(failedWrite.write(std::string(300000, 'x')));
    }
    EXPECT_FALSE(failedWrite.commit());
    EXPECT_EQ(failedWrite.error(), "File too large");

    AtomicFile becameFolder(path);
    ASSERT_TRUE(becameFolder.open() && becameFolder.write("new"));
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    EXPECT_FALSE(becameFolder.commit());
    EXPECT_EQ(becameFolder.error(), "Is a directory");
    EXPECT_EQ(entries(), 1);
}

// As an editor does: the file a link names is replaced, the link stays.
TEST_F(AtomicFileTest, ALinkStaysALinkToTheReplacedFile)
{
    writeFileContent(folder + "/real.tsv", "old");
    symlink("real.tsv", path.c_str());
    symlink("missing.tsv", (folder + "/dangling.tsv").c_str());
    for (const std::string &name : { path, folder + "/dangling.tsv" }) {
        AtomicFile file(name);
        ASSERT_TRUE(file.open() && file.write("new") && file.commit()) << file.error();
        struct stat info;
        ASSERT_EQ(lstat(name.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << name;
        EXPECT_EQ(fileContent(name), "new");
    }
    EXPECT_EQ(fileContent(folder + "/missing.tsv"), "new");
    EXPECT_EQ(entries(), 4);
}

// Root may write anything, so the mode bits decide, as for everyone else.
TEST_F(AtomicFileTest, AWriteProtectedFileIsNotReplaced)
{
    writeFileContent(path, "old");
    chmod(path.c_str(), 0444);
    AtomicFile file(path);
    EXPECT_FALSE(file.open());
    EXPECT_EQ(file.error(), "Permission denied");
    EXPECT_EQ(fileContent(path), "old");
    EXPECT_EQ(entries(), 1);
}

// The temporary name must fit where the target's name fits.
TEST_F(AtomicFileTest, WritesAFileWhoseNameIsNearlyTheLongestAllowed)
{
    const std::string longName = folder + "/" + std::string(250, 'n');
    AtomicFile file(longName);
    ASSERT_TRUE(file.open() && file.write("new") && file.commit()) << file.error();
    EXPECT_EQ(fileContent(longName), "new");
    EXPECT_EQ(entries(), 1);
}
