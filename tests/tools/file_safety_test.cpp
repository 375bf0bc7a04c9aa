// Special files and failed writes: a FIFO or a device where a file should be never blocks pmtool,
// a failed write leaves the file it would replace as it was, and output that cannot be written is
// an error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

namespace fs = std::filesystem;
using pmtooltest::Args;
using pmtooltest::Output;
using pmtooltest::RunPmtool;
using pmtooltest::RunPmtoolTo;

// Copies the sample installation to `root` and returns its data files (those in "data" folders).
std::vector<std::string> CopySample(const std::string& root) {
  fs::copy(pmtooltest::kSample, root, fs::copy_options::recursive);
  std::vector<std::string> dataFiles;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string path = entry.path().string();
    if (entry.is_regular_file() && path.find("/data/") != std::string::npos) dataFiles.push_back(path);
  }
  return dataFiles;
}

// `args` run on the installation `root`.
Args On(const std::string& root, const Args& args) {
  Args words = {"--install", root};
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

const Args kReadingCommands[] = {
    {"modules"}, {"archs"}, {"check"}, {"info", "alpha"}, {"parts", "alpha"},
    {"part", "xcab12etq144-3"}, {"ventry", "alpha", "probe"}, {"key", "alpha", "ARCH_NAME"}};

// Each command gives on FIFOs what it gives when every data file is a device (/dev/null, which
// reads as empty), and finishes: no reader waits on a FIFO or takes a device for a file.
TEST(SpecialFiles, FifoDataFilesReadLikeUnreadableFilesWithoutBlocking) {
  const pmtest::TempDir dir;
  const std::string root = dir / "install";
  const std::vector<std::string> dataFiles = CopySample(root);
  for (const std::string& file : dataFiles) {
    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
  }
  std::vector<pmtooltest::RunResult> onFifos;
  for (const Args& args : kReadingCommands) onFifos.push_back(RunPmtoolTo(On(root, args), Output::File, 10));
  EXPECT_EQ(RunPmtoolTo({"acd", "get", root + "/alpha/data/alpha.acd", "ARCH_NAME"}, Output::File, 10).status, 1);

  for (const std::string& file : dataFiles) {
    fs::remove(file);
    fs::create_symlink("/dev/null", file);
  }
  for (std::size_t i = 0; i < onFifos.size(); ++i) {
    const pmtooltest::RunResult onDevices = RunPmtool(On(root, kReadingCommands[i]));
    EXPECT_EQ(onFifos[i].status, onDevices.status) << kReadingCommands[i][0];
    EXPECT_EQ(onFifos[i].out, onDevices.out) << kReadingCommands[i][0];
  }
}

// The debug file is opened when the library loads: a FIFO there must not stop every program.
TEST(SpecialFiles, FifoDebugFileDoesNotBlockLoading) {
  const pmtest::TempDir dir;
  const std::string fifo = dir / "debug";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(setenv("PM_DEBUG_FILE", fifo.c_str(), 1), 0);
  const pmtooltest::RunResult result = RunPmtoolTo(On(pmtooltest::kSample, {"modules"}), Output::File, 10);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "alpha\nbeta\ndelta\ngamma\nprom\n");
}

// Output that cannot be written is an error, said once; a reader that went away is not.
TEST(OutputErrors, UnwritableOutputGivesStatus1AndTheReason) {
  const struct {
    Args args;
    Output output;
    int status;
    const char* err;
  } rows[] = {
      {{"archs"}, Output::Full, 1, "pmtool archs: cannot write the output: No space left on device\n"},
      {{"--version"}, Output::Closed, 1, "pmtool: cannot write the output: Bad file descriptor\n"},
      {{"parts", "--all", "alpha"}, Output::Full, 1,
       "pmtool parts: cannot write the output: No space left on device\n"},
      {{"parts", "--all", "--json", "alpha"}, Output::Closed, 1,
       "pmtool parts: cannot write the output: Bad file descriptor\n"},
      {{"parts", "--all", "alpha"}, Output::ClosedPipe, 128 + SIGPIPE, ""},
  };
  for (const auto& row : rows) {
    const pmtooltest::RunResult result = RunPmtoolTo(On(pmtooltest::kSample, row.args), row.output, 30);
    EXPECT_EQ(result.status, row.status) << row.args[0];
    EXPECT_EQ(result.err, row.err) << row.args[0];
  }
}

// A write that fails (here a file size limit, as a full disk would) leaves the old file as it was
// and nothing beside it; a link stays a link to the new content; a device is refused.
TEST(SegWriteSafety, FailedOrRefusedWritesLeaveTheTargetAsItWas) {
  const pmtest::TempDir dir;
  const std::string old = dir / "old.pkg", real = dir / "real.pkg", link = dir / "link.pkg";
  pmtest::WriteFile(old, "previous content");
  pmtest::WriteFile(real, "previous content");
  ASSERT_EQ(symlink("real.pkg", link.c_str()), 0);
  const std::string longName(4000, 'x');  // a file larger than the limit below

  const pmtooltest::RunResult limited =
      RunPmtool({"--fsize=1000", PMTOOL_PATH, "seg", "write", old, longName}, "/usr/bin/prlimit");
  EXPECT_EQ(limited.status, 1);
  EXPECT_EQ(limited.err, "pmtool seg write: cannot write " + old + ": File too large\n");
  EXPECT_EQ(pmtest::ReadFile(old), "previous content");

  ASSERT_EQ(chmod(old.c_str(), 0640), 0);
  EXPECT_EQ(RunPmtool({"seg", "write", old, "tq144"}).status, 0);
  EXPECT_EQ(fs::status(old).permissions(), static_cast<fs::perms>(0640));  // a replaced file keeps its mode

  EXPECT_EQ(RunPmtool({"seg", "write", link, "tq144"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(pmtest::ReadFile(real).size(), 12u + 27u);  // header, one record

  const std::string device = dir / "null";  // a node of its own: the old writer removed it
  ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  const pmtooltest::RunResult onDevice = RunPmtool({"seg", "write", device, "tq144"});
  EXPECT_EQ(onDevice.status, 1);
  EXPECT_EQ(onDevice.err, "pmtool seg write: cannot write " + device + ": not a regular file\n");
  EXPECT_TRUE(fs::is_character_file(device));

  const pmtooltest::RunResult noFolder = RunPmtool({"seg", "write", dir / "none/x.pkg", "tq144"});
  EXPECT_EQ(noFolder.err, "pmtool seg write: cannot create " + dir / "none/x.pkg" + ": No such file or directory\n");

  std::vector<std::string> left;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"link.pkg", "null", "old.pkg", "real.pkg"}));
}

}  // namespace
