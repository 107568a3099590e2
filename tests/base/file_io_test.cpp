#include <gtest/gtest.h>

#include "base/file_io.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(DurableFile, HeldWhileOpenThenReadableListedAndNeverRenamedOverAnother) {
    test::TempDir dir;
    const std::string path = dir.File("Track_1.kml.recovering");
    {
        std::unique_ptr<DurableFile> file = DurableFile::Create(path, "head\r\n");
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->Append("one\r\n"));
        EXPECT_TRUE(file->Append("two\r\n"));
        EXPECT_EQ(ReadWholeFile(path), "head\r\none\r\ntwo\r\n");  // others may read it...
        EXPECT_EQ(ReadUnlessHeld(path), std::nullopt);           // ...but not take it over
        EXPECT_FALSE(DurableFile::Create(path, "again"));         // nor write it
    }
    EXPECT_EQ(ReadUnlessHeld(path), "head\r\none\r\ntwo\r\n");
    dir.Write("Track_2.kml", "x");
    dir.Write("other.recovering.bad", "x");
    std::string folder = dir.path() + (dir.File("a").substr(dir.path().size(), 1));
    EXPECT_EQ(ListFiles(folder, ".recovering"), (std::vector<std::string>{path}));
    EXPECT_FALSE(RenameFile(path, dir.File("Track_2.kml")));
    EXPECT_EQ(ReadWholeFile(dir.File("Track_2.kml")), "x");
    EXPECT_TRUE(RenameFile(path, dir.File("Track_1.bad")));
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(RemoveFile(dir.File("Track_1.bad")));
    EXPECT_TRUE(MakeFolder(dir.File("sub")));
    EXPECT_TRUE(MakeFolder(dir.File("sub")));  // there already
    EXPECT_FALSE(FileExists(dir.File("sub"))) << "a folder is no file";
    EXPECT_FALSE(DurableFile::Create(dir.File("missing") + folder.substr(folder.size() - 1) + "f", "x"));
}

}  // namespace
}  // namespace qv
