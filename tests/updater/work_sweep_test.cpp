// Working folders left by interrupted installs are swept; nothing else beside them is touched.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <QDateTime>
#include <QUuid>

#include "support/temp_dir.h"
#include "updater/updater.h"

namespace ivo::testing {
namespace {

namespace fs = std::filesystem;

TEST(WorkSweep, RemovesOnlyOurOwnStaleFoldersAndNeverFollowsALink) {
    TempDir tmp;
    const fs::path parent = tmp.path();
    const auto uuidName = [] {
        return ".Ivorane3D-maj-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    };
    const fs::path stale = parent / uuidName(), outside = parent / "ailleurs";
    fs::create_directories(stale / "contenu" / "bin");
    std::ofstream(stale / "maj.tar.xz") << "archive";
    fs::create_directories(outside);
    std::ofstream(outside / "garder.txt") << "x";
    const fs::path link = parent / uuidName();
    fs::create_directory_symlink(outside, link);
    fs::create_directories(stale / "lien-interne");
    fs::create_directory_symlink(outside, stale / "lien-interne" / "dehors");
    const fs::path notOurs = parent / ".Ivorane3D-maj-pas-un-identifiant";
    const fs::path app = parent / "Ivorane3D";
    fs::create_directories(notOurs);
    fs::create_directories(app / "bin");
    std::ofstream(parent / uuidName()) << "a file, not a folder";

    const QString dir = QString::fromStdString(parent.string());
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_EQ(sweepWorkFolders(dir, now), 0);  // a folder made just now may still be in use
    EXPECT_TRUE(fs::exists(stale));

    EXPECT_EQ(sweepWorkFolders(dir, now.addDays(2)), 1);
    EXPECT_FALSE(fs::exists(stale));
    for (const fs::path& kept : {link, notOurs, app / "bin", outside / "garder.txt"})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_EQ(sweepWorkFolders(dir, now.addDays(2)), 0);
}

}  // namespace
}  // namespace ivo::testing
