#include "document/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace ivo {
namespace {

using testing::readAll;
using testing::TempDir;

TEST(FileIo, AtomicWriteReplacesContentKeepsPermissionsAndFollowsSymlinks) {
    TempDir dir;
    const std::string path = dir.write("a.q3d", "old");
    ::chmod(path.c_str(), 0640);
    std::string reason;
    ASSERT_TRUE(writeFileAtomic(path, "new content", reason)) << reason;
    EXPECT_EQ(readAll(path), "new content");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temp
    const std::string link = dir.file("link.q3d");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(writeFileAtomic(link, "new", reason)) << reason;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readAll(path), "new");
}

TEST(FileIo, FailuresSayWhyAndLeaveNothingBehind) {
    TempDir dir;
    std::string reason;
    EXPECT_FALSE(writeFileAtomic(dir.file("missing/out.q3d"), "x", reason));
    EXPECT_EQ(reason, "fichier ou dossier introuvable");
    EXPECT_FALSE(writeFileAtomic(dir.path(), "x", reason));
    EXPECT_EQ(reason, "c'est un dossier");
    EXPECT_FALSE(readFile(dir.file("none"), 100, reason));
    EXPECT_EQ(reason, "fichier ou dossier introuvable");
    EXPECT_FALSE(readFile(dir.path(), 100, reason));
    EXPECT_EQ(reason, "c'est un dossier");
    const std::string big = dir.write("big", std::string(3 << 20, 'x'));
    EXPECT_FALSE(readFile(big, 2 << 20, reason));
    EXPECT_EQ(reason, "fichier trop volumineux (plus de 2 Mo)");
    EXPECT_EQ(readFile(big, 4 << 20, reason)->size(), size_t{3} << 20);
    if (::geteuid() == 0) return;  // root writes anywhere
    const std::string locked = dir.file("locked");
    std::filesystem::create_directory(locked);
    const std::string kept = dir.write("locked/keep.q3d", "keep");
    ::chmod(locked.c_str(), 0555);
    EXPECT_FALSE(writeFileAtomic(kept, "x", reason));
    EXPECT_EQ(reason, "permission refusée");
    EXPECT_EQ(readAll(kept), "keep");
    ::chmod(locked.c_str(), 0755);
}

}  // namespace
}  // namespace ivo
