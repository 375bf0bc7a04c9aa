// Files, line streams, file names and directory listings.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pmport/port_file.h"
#include "pmport/sfp_acd.h"
#include "pmport/ut_cmdargs.h"
#include "pmport/ut_ifile.h"
#include "pmtest.h"
#include "port_messages.h"

namespace {

struct StreamCloser {
  void operator()(Port::Stream* stream) const { Port::File::close(stream); }
};
using StreamPtr = std::unique_ptr<Port::Stream, StreamCloser>;

StreamPtr OpenText(const pmtest::TempDir& dir, const std::string& content) {
  const std::string path = dir / "text.txt";
  pmtest::WriteFile(path, content);
  return StreamPtr(Port::File::open(path.c_str(), Port::File::Read, true));
}

using Names = std::vector<std::string>;

Names List(const UT_DIR::iterator& begin, const UT_DIR::iterator& end) {
  std::vector<std::string> names;
  for (UT_DIR::iterator it = begin; it != end; ++it) names.push_back(it->str());
  return names;
}

TEST(File, ExistenceReadabilityAndSize) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "a.spd", "12345");
  pmtest::WriteFile(dir / "empty.pkg", "");
  const struct {
    std::string path;
    bool exists, readable;
    long size;
  } rows[] = {{dir / "a.spd", true, true, 5},
              {dir / "empty.pkg", true, true, 0},
              {dir / "missing", false, false, 0},
              {dir.path(), true, false, 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(Port::File::exist(row.path.c_str()), row.exists) << row.path;
    EXPECT_EQ(Port::File::canread(row.path.c_str()), row.readable) << row.path;
    EXPECT_EQ(Port::File::getsize_noopen(row.path.c_str()), row.size) << row.path;
  }
  EXPECT_FALSE(Port::File::exist(static_cast<const char*>(nullptr)));
}

// Within one scope a path is asked for once (nested scopes included); once the outermost scope
// ends, files that appeared or vanished meanwhile are seen again.
TEST(File, ExistenceIsRememberedOnlyWithinOneScope) {
  pmtest::TempDir dir;
  const std::string appearing = dir / "appearing.acd";
  const std::string vanishing = dir / "vanishing.acd";
  pmtest::WriteFile(vanishing, "x");
  {
    const Port::ExistenceScope outer;
    EXPECT_FALSE(Port::File::exist(appearing.c_str()));
    EXPECT_TRUE(Port::File::exist(vanishing.c_str()));
    pmtest::WriteFile(appearing, "x");
    ASSERT_EQ(::unlink(vanishing.c_str()), 0);
    {
      const Port::ExistenceScope inner;
      EXPECT_FALSE(Port::File::exist(appearing.c_str()));
    }
    EXPECT_TRUE(Port::File::exist(vanishing.c_str()));
  }
  EXPECT_TRUE(Port::File::exist(appearing.c_str()));
  EXPECT_FALSE(Port::File::exist(vanishing.c_str()));
}

TEST(File, OpenFailsForMissingFilesDirectoriesAndOtherAccess) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "x.usg", "x\n");
  pmtest::MessageCapture capture;
  EXPECT_EQ(Port::File::open((dir / "missing").c_str(), Port::File::Read, true), nullptr);
  EXPECT_EQ(Port::File::open(dir.path().c_str(), Port::File::Read, true), nullptr);
  EXPECT_EQ(Port::File::open((dir / "x.usg").c_str(), 2, true), nullptr);
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(Port::File::open((dir / "missing").c_str(), Port::File::Read, false), nullptr);
  ASSERT_THAT(capture.messages(),
              testing::ElementsAre(pmtest::From(Port::msg::CannotOpenForReading)));
  EXPECT_NE(capture.messages()[0].text.find(dir / "missing"), std::string::npos);
}

// Every read of a stream over `content` with a buffer of `size` bytes, each followed by "|", up to
// the end of the file, which must be reported then and not before (and come: a file of n bytes
// takes at most n + 1 reads).
std::string Reads(const std::string& content, std::size_t size) {
  const pmtest::TempDir dir;
  const StreamPtr stream = OpenText(dir, content);
  std::vector<char> buffer(size);
  std::string reads;
  int length = 0;
  for (std::size_t n = 0; n <= content.size() &&
                          (length = stream->readline(buffer.data(), static_cast<int>(size))) >= 0;
       ++n) {
    EXPECT_EQ(static_cast<std::size_t>(length), std::strlen(buffer.data()));
    EXPECT_FALSE(stream->geteof());
    reads += std::string(buffer.data()) + "|";
  }
  EXPECT_LT(length, 0);
  EXPECT_TRUE(stream->geteof());
  return reads;
}

// Lines longer than the buffer are split across reads, however many times longer; a line that
// exactly filled the buffer leaves no empty remainder behind; CR LF ends a line; an unterminated
// last line is delivered before the end of the file is reported.
TEST(Stream, LinesAreSplitAcrossReadsOrReadWholeAndTheEndComesAfterTheLastLine) {
  EXPECT_EQ(Reads("abcdefgh\nxyz\r\n\nend", 5), "abcd|efgh|xyz||end|");
  EXPECT_EQ(Reads("", 5), "");
  std::string longLine, pieces;
  for (int i = 0; longLine.size() < 100000; ++i) longLine += std::to_string(i) + ",";
  for (std::size_t at = 0; at < longLine.size(); at += 7) pieces += longLine.substr(at, 7) + "|";
  EXPECT_EQ(Reads(longLine + "\nnext", 8), pieces + "next|");

  // A whole line read into a string, and the rest of a line partly read.
  const pmtest::TempDir dir;
  StreamPtr stream = OpenText(dir, std::string(300, 'a') + "\r\n" + "0123456789\n");
  Port::String line("old");
  ASSERT_TRUE(line.ReadLine(stream.get()));
  EXPECT_EQ(line.str(), std::string(300, 'a'));
  char buffer[4];
  EXPECT_EQ(stream->readline(buffer, sizeof buffer), 3);
  ASSERT_TRUE(line.ReadLine(stream.get()));
  EXPECT_EQ(line, "3456789");
  EXPECT_FALSE(line.ReadLine(stream.get()));
  EXPECT_TRUE(line.empty());
  EXPECT_FALSE(line.ReadLine(nullptr));
}

// The parts of a path as the file name class and the path helpers take it apart.
TEST(FileName, DirectoryBaseAndExtensionOfAPath) {
  const struct {
    const char* path;
    std::string directory, base, extension;
  } rows[] = {
      {"alpha", "", "alpha", ""},
      {".nph", "", "", "nph"},
      {"unsupported/beta.x/data/beta.v2.acd", "unsupported/beta.x/data/", "beta.v2", "acd"},
      // A dot in a directory or at the end starts no extension.
      {"dir.d/name", "dir.d/", "name", ""},
      {"name.", "", "name", ""},
      {"/inst/", "/inst/", "", ""},
      {"/libfoo.so", "/", "libfoo", "so"},
      {"/inst/lin64/lib/libfoo.so.*", "/inst/lin64/lib/", "libfoo.so", "*"},
  };
  for (const auto& row : rows) {
    const Port::FileName name(row.path);
    EXPECT_EQ(name.GetDirectory(), row.directory) << row.path;
    EXPECT_EQ(name.GetBase(), row.base) << row.path;
    EXPECT_EQ(name.GetExtension(), row.extension) << row.path;
    EXPECT_EQ(name.GetName(), row.path);
    char buffer[UT_PATH::BaseBufferSize];
    EXPECT_EQ(UT_PATH::GetBase(row.path, buffer), row.base) << row.path;
    const char* extension = UT_PATH::GetExt(row.path, nullptr);
    EXPECT_EQ(extension ? extension : "", row.extension) << row.path;
    const std::string head = row.directory.size() > 1
                                 ? row.directory.substr(0, row.directory.size() - 1)
                                 : row.directory;
    EXPECT_EQ(UT_PATH::GetHead(row.path), head) << row.path;
    EXPECT_EQ(UT_PATH::GetTail(row.path), row.path + row.directory.size()) << row.path;
  }
}

TEST(FileName, ComposedNamesAndCopiedParts) {
  Port::FileName plain("alpha");
  plain.SetExtension("acd");
  EXPECT_EQ(plain.GetName(), "alpha.acd");
  Port::FileName extensionOnly(".nph");
  extensionOnly.SetBase("ab12e");
  EXPECT_EQ(extensionOnly.GetName(), "ab12e.nph");
  Port::FileName nested("data/beta.v2.acd");
  nested.SetBase("gamma");
  nested.SetExtension(".spd");
  EXPECT_EQ(nested.GetName(), "data/gamma.spd");
  Port::FileName trailingDot("name.");
  trailingDot.SetExtension("");
  EXPECT_EQ(trailingDot.GetName(), "name");
  EXPECT_FALSE(Port::FileName(static_cast<const char*>(nullptr)).HasBase());

  char buffer[UT_PATH::BaseBufferSize];
  EXPECT_EQ(UT_PATH::GetBase(std::string(400, 'n').c_str(), buffer), std::string(255, 'n'));
  EXPECT_STREQ(UT_PATH::GetExt(".acd", buffer), "acd");
  EXPECT_EQ(UT_PATH::GetExt("alpha", buffer), nullptr);
  EXPECT_STREQ(buffer, "");
}

TEST(UtDir, ListsEveryEntryInByteOrderAndPatternsKeepMatchingNames) {
  pmtest::TempDir dir;
  const Names files{".hidden", "Zeta",          "ab12e.nph",   "ab40e.nph",
                    "beta",    "libfoo.so.1.2", "libfoo.so.10"};
  for (const std::string& name : files) pmtest::WriteFile(dir / name, "");
  pmtest::MakeDirs(dir / "data");
  pmtest::MakeDirs(dir / "Alpha");
  const UT_DIR all(dir.path().c_str(), UT_DIR::WithDirectories);
  ASSERT_TRUE(all.isvalid());
  EXPECT_EQ(List(all.begin(), all.end()),
            (Names{".hidden", "Alpha", "Zeta", "ab12e.nph", "ab40e.nph", "beta", "data",
                   "libfoo.so.1.2", "libfoo.so.10"}));
  const UT_DIR listing(dir.path().c_str(), 0);
  EXPECT_EQ(List(listing.begin(), listing.end()), files);
  EXPECT_EQ(List(listing.begin("*.nph"), listing.end()), (Names{"ab12e.nph", "ab40e.nph"}));
  EXPECT_EQ(List(listing.begin("libfoo.so.*"), listing.end()),
            (Names{"libfoo.so.1.2", "libfoo.so.10"}));
  EXPECT_EQ(List(listing.begin("ab?[1-2]e.*"), listing.end()), (Names{"ab12e.nph"}));
  EXPECT_EQ(listing.begin("*.xyz"), listing.end());
}

TEST(UtDir, UnreadableOrMissingDirectoryIsInvalidAndEmpty) {
  pmtest::TempDir dir;
  const UT_DIR missing((dir / "none").c_str(), 1);
  EXPECT_FALSE(missing.isvalid());
  EXPECT_EQ(missing.begin(), missing.end());
  pmtest::WriteFile(dir / "file", "");
  EXPECT_FALSE(UT_DIR((dir / "file").c_str(), 1).isvalid());
  EXPECT_FALSE(UT_DIR(static_cast<const char*>(nullptr), 1).isvalid());
  // A folder without permissions is unreadable to anyone but root.
  pmtest::OpenToEveryone(dir.path());
  pmtest::MakeDirs(dir / "locked");
  ::chmod((dir / "locked").c_str(), 0);
  EXPECT_EQ("invalid", pmtest::AsUnprivilegedUser([&] {
              return UT_DIR((dir / "locked").c_str(), 1).isvalid() ? "valid" : "invalid";
            }));
  ::chmod((dir / "locked").c_str(), 0700);
}

// Every reader refuses a FIFO (which would wait for a writer) and an endless device at once, as
// it refuses a file that cannot be opened.
TEST(SpecialFiles, ReadersRefuseFifosAndDevicesWithoutBlocking) {
  const pmtest::TempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pmtest::MessageCapture quiet;
  const struct {
    const char* reader;
    std::function<bool(const char*)> reads;
  } rows[] = {
      {"File::open",
       [](const char* path) {
         return StreamPtr(Port::File::open(path, Port::File::Read, true)) != nullptr;
       }},
      {"UT_IFILE", [](const char* path) { return UT_IFILE().load(path); }},
      {"StaticAcdRead",
       [](const char* path) { return StaticAcdRead(path, nullptr, nullptr, 1, 0, 1).size() != 0; }},
      {"UT_CMDFILE",
       [](const char* path) {
         const char* args[] = {"-f", path};
         return UT_CMDFILE(2, args).isvalid();
       }},
  };
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    for (const auto& row : rows) {
      EXPECT_TRUE(pmtest::FinishesInTime([&] { return !row.reads(path.c_str()); }, 5))
          << row.reader << " on " << path;
    }
  }
}

}  // namespace
