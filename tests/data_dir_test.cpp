// Where the data files are looked for, and in which order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "intro/data_dir.h"

namespace fs = std::filesystem;

namespace {

const char *const files[] = {"font8x8.pbm",   "K.ppm",           "L.ppm",
                             "O.ppm",         "V.ppm",           "klov-tamblor.ppm",
                             "klov-2008.ppm", "klov-rainbow.ppm"};

// A tree of folders as an unpacked or installed copy has them:
//   root/bin (the program's folder), root/bin/data, root/share/klov, root/elsewhere (the cwd)
class DataTree : public testing::Test {
  protected:
    fs::path root, old;
    void SetUp() override {
        char pattern[] = "/tmp/klov-datadir-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        for (const char *f : {"bin/data", "share/klov", "elsewhere"})
            fs::create_directories(root / f);
        old = fs::current_path();
        fs::current_path(root / "elsewhere");
    }
    void TearDown() override {
        fs::current_path(old);
        fs::remove_all(root);
    }
    void fill(const fs::path &folder, const char *except = "") {
        for (const char *f : files)
            if (std::string(f) != except) std::ofstream(folder / f) << "P1 1 1 1";
    }
    std::string exe() const { return (root / "bin" / "klov4402").string(); }
};

TEST_F(DataTree, TheFirstFolderHoldingEveryFileWins) {
    const struct {
        const char *filled;   // folders that hold the files, ; separated order irrelevant
        const char *expected; // the folder chosen, relative to root; "" the working folder
    } cases[] = {
        {"elsewhere,bin,bin/data,share/klov", ""}, // the working folder first, as always
        {"bin,bin/data,share/klov", "bin"},
        {"bin/data,share/klov", "bin/data"},
        {"share/klov", "share/klov"},
    };
    for (const auto &c : cases) {
        for (const char *f : {"elsewhere", "bin/data", "share/klov"})
            for (const char *name : files) fs::remove(root / f / name);
        for (const char *name : files) fs::remove(root / "bin" / name);
        std::string list = c.filled;
        for (size_t start = 0; start <= list.size();) {
            size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            fill(root / list.substr(start, comma - start));
            start = comma + 1;
        }
        DataDir d;
        ASSERT_EQ(datadir_find(&d, nullptr, exe().c_str()), 1) << c.filled;
        const std::string expected = *c.expected ? (root / c.expected).string() : "";
        EXPECT_EQ(d.folder, expected) << c.filled;
    }
}

TEST_F(DataTree, AFolderMissingOnePictureDoesNotCountAndNoneGivesTheFoldersTried) {
    fill(root / "elsewhere", "klov-2008.ppm");
    fill(root / "bin", "font8x8.pbm");
    fill(root / "bin/data", "V.ppm");
    fill(root / "share/klov", "K.ppm");
    DataDir d;
    EXPECT_EQ(datadir_find(&d, nullptr, exe().c_str()), 0);
    const std::string r = root.string();
    EXPECT_EQ(std::string(d.tried),
              r + "/elsewhere, " + r + "/bin, " + r + "/bin/data, " + r + "/share/klov");
    testing::internal::CaptureStderr();
    datadir_report(&d, "klov4402", nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              "klov4402: cannot find the data files (font8x8.pbm and the pictures); looked in " +
                  std::string(d.tried) + "\n");
}

TEST_F(DataTree, AChosenFolderIsTheOnlyOneLookedIn) {
    fill(root / "elsewhere");
    fill(root / "share/klov");
    DataDir d;
    const std::string chosen = (root / "share/klov").string();
    ASSERT_EQ(datadir_find(&d, chosen.c_str(), exe().c_str()), 1);
    EXPECT_EQ(d.folder, chosen);
    const std::string empty = (root / "bin/data").string();
    EXPECT_EQ(datadir_find(&d, empty.c_str(), exe().c_str()), 0); // the working folder has them
    testing::internal::CaptureStderr();
    datadir_report(&d, "klov4400", empty.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "klov4400: the data files (font8x8.pbm and the pictures) are not in " + empty + "\n");
}

TEST_F(DataTree, TheProgramsOwnPathComesFromTheSystemWhenNotGiven) {
    // This test program's folder holds no data files; the search still ends cleanly.
    DataDir d;
    EXPECT_EQ(datadir_find(&d, nullptr, nullptr), 0);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    EXPECT_NE(std::string(d.tried).find(fs::path(self).parent_path().string()), std::string::npos)
        << d.tried;
}

TEST(DataDirPath, BareNamesInTheWorkingFolderAndJoinedElsewhere) {
    DataDir d{};
    char buf[datadir_path_size];
    EXPECT_STREQ(datadir_path(&d, "K.ppm", buf, sizeof buf), "K.ppm");
    snprintf(d.folder, sizeof d.folder, "/usr/share/klov");
    EXPECT_STREQ(datadir_path(&d, "K.ppm", buf, sizeof buf), "/usr/share/klov/K.ppm");
    snprintf(d.folder, sizeof d.folder, "/");
    EXPECT_STREQ(datadir_path(&d, "K.ppm", buf, sizeof buf), "/K.ppm");
    char tiny[8];
    snprintf(d.folder, sizeof d.folder, "/usr/share/klov");
    EXPECT_EQ(datadir_path(&d, "K.ppm", tiny, sizeof tiny), nullptr);
}

} // namespace
