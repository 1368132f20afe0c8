// Opening beneath a directory: both ways (openat2 and the walk) must agree on
// every name, and neither may ever hand out a file outside the directory,
// even while links are swapped in under it.
#include "input/beneath.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace quenfold {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr) << path;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

std::string read_fd(int fd) {
  std::string text;
  char buf[256];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  return text;
}

// top/outside/secret, and top/root with files, directories and links in and
// out of it.
class BeneathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quenfold-beneath-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    top = tmpl;
    fs::path root = top / "root";
    fs::create_directories(top / "outside");
    fs::create_directories(root / "dir" / "sub");
    write_file(top / "outside" / "secret", "secret");
    write_file(root / "file", "file");
    write_file(root / "dir" / "inner", "inner");
    write_file(root / "dir" / "sub" / "deep", "deep");
    fs::create_symlink("file", root / "link_in");
    fs::create_symlink("dir", root / "link_dir_in");
    fs::create_symlink("dir/../file", root / "link_up_in");
    fs::create_symlink("../file", root / "dir" / "link_parent");
    fs::create_symlink("sub/../../dir/inner", root / "dir" / "link_around");
    fs::create_symlink("link_in", root / "link_chain");
    fs::create_symlink((top / "outside" / "secret").string(), root / "link_abs");
    fs::create_symlink(root.string(), root / "link_abs_root");
    fs::create_symlink("../outside/secret", root / "link_out");
    fs::create_symlink("../outside", root / "link_out_dir");
    fs::create_symlink("../../outside/secret", root / "dir" / "link_deep_out");
    fs::create_symlink("dir/sub/../../../outside/secret", root / "link_climb");
    fs::create_symlink("loop", root / "loop");
    fs::create_symlink("nowhere", root / "dangling");
    root_fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(root_fd, 0);
  }
  void TearDown() override {
    if (root_fd >= 0) close(root_fd);
    fs::remove_all(top);
  }

  fs::path top;
  int root_fd = -1;
};

TEST_F(BeneathTest, NamesInsideOpenAndNamesLeadingOutAreRefused) {
  struct Case {
    const char* name;
    const char* text;  // what the file holds, or null for a failure
    int error;         // errno of the failure
  };
  const Case cases[] = {
      {"file", "file", 0},
      {"./file", "file", 0},
      {"dir/../file", "file", 0},
      {"dir/./inner", "inner", 0},
      {"dir//inner", "inner", 0},
      {"dir/sub/../inner", "inner", 0},
      {"link_in", "file", 0},
      {"link_chain", "file", 0},
      {"link_dir_in/inner", "inner", 0},
      {"link_dir_in/../file", "file", 0},
      {"link_up_in", "file", 0},
      {"dir/link_parent", "file", 0},
      {"dir/link_around", "inner", 0},
      {"link_dir_in/sub/deep", "deep", 0},
      // Out through "..", absolute names and links.
      {"..", nullptr, EACCES},
      {"../outside/secret", nullptr, EACCES},
      {"dir/../../outside/secret", nullptr, EACCES},
      {"dir/sub/../../../outside/secret", nullptr, EACCES},
      {"/etc/passwd", nullptr, EACCES},
      {"link_abs", nullptr, EACCES},
      {"link_abs_root/file", nullptr, EACCES},
      {"link_out", nullptr, EACCES},
      {"link_out_dir/secret", nullptr, EACCES},
      {"dir/link_deep_out", nullptr, EACCES},
      {"link_dir_in/link_deep_out", nullptr, EACCES},
      {"link_climb", nullptr, EACCES},
      // The usual failures keep their reasons.
      {"missing", nullptr, ENOENT},
      {"dangling", nullptr, ENOENT},
      {"dir/missing/x", nullptr, ENOENT},
      {"file/x", nullptr, ENOTDIR},
      {"file/", nullptr, ENOTDIR},
      {"loop", nullptr, ELOOP},
  };
  for (Beneath how : {Beneath::kAuto, Beneath::kWalk}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (how == Beneath::kWalk ? " (walk)" : " (auto)"));
      errno = 0;
      int fd = open_beneath(root_fd, c.name, O_RDONLY, how);
      if (c.text != nullptr) {
        ASSERT_GE(fd, 0) << std::strerror(errno);
        EXPECT_EQ(read_fd(fd), c.text);
        close(fd);
      } else {
        EXPECT_EQ(fd, -1);
        EXPECT_EQ(errno, c.error) << std::strerror(errno);
        if (fd >= 0) close(fd);
      }
    }
  }
}

TEST_F(BeneathTest, DirectoriesAndProbes) {
  for (Beneath how : {Beneath::kAuto, Beneath::kWalk}) {
    SCOPED_TRACE(how == Beneath::kWalk ? "walk" : "auto");
    struct stat st;
    for (const char* name : {"dir", "dir/", "link_dir_in", "link_dir_in/.", "dir/sub/..", "."}) {
      SCOPED_TRACE(name);
      int fd = open_beneath(root_fd, name, probe_flags(), how);
      ASSERT_GE(fd, 0) << std::strerror(errno);
      ASSERT_EQ(fstat(fd, &st), 0);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      close(fd);
    }
    // A probe follows a link to the file it names, as stat does.
    int fd = open_beneath(root_fd, "link_in", probe_flags(), how);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fstat(fd, &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    close(fd);
    EXPECT_EQ(open_beneath(root_fd, "link_out", probe_flags(), how), -1);
    EXPECT_EQ(errno, EACCES);
  }
}

// One thread keeps replacing an entry of the root by a file inside, a link
// to a file outside and a link to a directory outside; every open that
// succeeds meanwhile must be of the file inside.
TEST_F(BeneathTest, LinksSwappedInDuringTheOpenDoNotLeadOut) {
  fs::path root = top / "root";
  write_file(root / "inside", "inside");
  fs::create_directories(root / "racedir");
  write_file(root / "racedir" / "secret", "inside");
  std::atomic<bool> stop{false};
  std::atomic<unsigned> passes{0};
  std::thread swapper([&] {
    const std::string staged = (root / "staged").string();
    const std::string race = (root / "race").string();
    const std::string racedir = (root / "raceroot").string();
    for (unsigned i = 0; !stop.load(); ++i) {
      unlink(staged.c_str());
      switch (i % 3) {
        case 0: (void)!link((root / "inside").c_str(), staged.c_str()); break;
        case 1: (void)!symlink("../outside/secret", staged.c_str()); break;
        case 2: (void)!symlink((top / "outside" / "secret").c_str(), staged.c_str()); break;
      }
      rename(staged.c_str(), race.c_str());
      // And a directory that is now the one inside, now a link to the one outside.
      unlink((racedir + ".new").c_str());
      (void)!symlink(i % 2 ? "racedir" : "../outside", (racedir + ".new").c_str());
      rename((racedir + ".new").c_str(), racedir.c_str());
      passes.fetch_add(1);
    }
  });
  // The swapper may be scheduled late on a busy machine: start once both
  // names exist, and go on until the opens have met both outcomes (or a
  // generous bound), so that the test never passes without racing.
  while (passes.load() < 2) std::this_thread::yield();
  int opened = 0;
  int refused = 0;
  int wrong = 0;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (int i = 0; wrong == 0; ++i) {
    if (i >= 4000 && opened > 0 && refused > 0) break;
    if (std::chrono::steady_clock::now() > give_up) break;
    Beneath how = i % 2 ? Beneath::kWalk : Beneath::kAuto;
    for (const char* name : {"race", "raceroot/secret"}) {
      int fd = open_beneath(root_fd, name, O_RDONLY, how);
      if (fd >= 0) {
        ++opened;
        std::string text = read_fd(fd);
        close(fd);
        if (text != "inside") ++wrong;
        EXPECT_EQ(text, "inside") << name;
      } else {
        ++refused;
        // A lookup that meets a rename half done may also find nothing.
        bool expected = errno == EACCES || errno == ENOENT || errno == EAGAIN;
        if (!expected) ++wrong;
        EXPECT_TRUE(expected) << name << ": " << std::strerror(errno);
      }
    }
  }
  stop = true;
  swapper.join();
  EXPECT_GT(opened, 0) << "after " << passes.load() << " swaps";
  EXPECT_GT(refused, 0) << "after " << passes.load() << " swaps";
}

}  // namespace
}  // namespace quenfold
