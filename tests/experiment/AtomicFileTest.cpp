#include "AtomicFile.h"
#include "EngineTestSupport.h"

#include "FileSizeLimit.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

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
