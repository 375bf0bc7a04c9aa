// Files, line streams, file names and directory listings.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "pmport/port_file.h"
#include "pmtest.h"

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

// The usage-text loop: lines of at most 255 characters, issued while not at end of file.
std::vector<std::string> ReadAsTheUsageLoopDoes(Port::Stream* stream) {
  std::vector<std::string> lines;
  char buffer[256];
  stream->readline(buffer, 255);
  while (!stream->geteof()) {
    lines.emplace_back(buffer);
    stream->readline(buffer, 255);
  }
  return lines;
}

std::vector<std::string> List(const UT_DIR::iterator& begin, const UT_DIR::iterator& end) {
  std::vector<std::string> names;
  for (UT_DIR::iterator it = begin; it != end; ++it) names.push_back(it->str());
  return names;
}

TEST(File, ExistenceReadabilityAndSize) {
  pmtest::TempDir dir;
  const std::string file = dir / "a.spd";
  pmtest::WriteFile(file, "12345");
  pmtest::WriteFile(dir / "empty.pkg", "");
  EXPECT_TRUE(Port::File::exist(file.c_str()));
  EXPECT_TRUE(Port::File::exist(dir.path().c_str()));
  EXPECT_FALSE(Port::File::exist((dir / "missing").c_str()));
  EXPECT_FALSE(Port::File::exist(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(Port::File::canread(file.c_str()));
  EXPECT_FALSE(Port::File::canread(dir.path().c_str()));
  EXPECT_FALSE(Port::File::canread((dir / "missing").c_str()));
  EXPECT_EQ(Port::File::getsize_noopen(file.c_str()), 5);
  EXPECT_EQ(Port::File::getsize_noopen((dir / "empty.pkg").c_str()), 0);
  EXPECT_EQ(Port::File::getsize_noopen((dir / "missing").c_str()), 0);
  EXPECT_EQ(Port::File::getsize_noopen(dir.path().c_str()), 0);
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
  ASSERT_EQ(capture.of(Port::MsgKind::Warning).size(), 1u);
  EXPECT_NE(capture.of(Port::MsgKind::Warning)[0].text.find(dir / "missing"), std::string::npos);
}

TEST(Stream, UsageLoopDeliversEveryLineIncludingAnUnterminatedLastOne) {
  pmtest::TempDir dir;
  StreamPtr stream = OpenText(dir, "first\r\n\nthird");
  ASSERT_TRUE(stream);
  EXPECT_EQ(ReadAsTheUsageLoopDoes(stream.get()), (std::vector<std::string>{"first", "", "third"}));
  char buffer[8] = "junk";
  EXPECT_EQ(stream->readline(buffer, sizeof buffer), -1);
  EXPECT_STREQ(buffer, "");
  EXPECT_TRUE(ReadAsTheUsageLoopDoes(OpenText(dir, "").get()).empty());
}

TEST(Stream, LongLinesAreSplitAcrossReads) {
  pmtest::TempDir dir;
  StreamPtr stream = OpenText(dir, "abcdefgh\nxyz\n");
  char buffer[5];
  EXPECT_EQ(stream->readline(buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(stream->readline(buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "efgh");
  // A line that exactly filled the buffer leaves no empty remainder behind.
  EXPECT_EQ(stream->readline(buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "xyz");
  EXPECT_FALSE(stream->geteof());
  EXPECT_EQ(stream->readline(buffer, sizeof buffer), -1);
  EXPECT_TRUE(stream->geteof());
}

TEST(Stream, StringReadLineTakesWholeLinesAndTheRestOfAPartlyReadOne) {
  pmtest::TempDir dir;
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

TEST(FileName, SplitsAndComposes) {
  Port::FileName plain("alpha");
  EXPECT_TRUE(plain.HasBase());
  EXPECT_FALSE(plain.HasExtension());
  plain.SetExtension("acd");
  EXPECT_EQ(plain.GetName(), "alpha.acd");

  Port::FileName extensionOnly(".nph");
  EXPECT_FALSE(extensionOnly.HasBase());
  EXPECT_TRUE(extensionOnly.HasExtension());
  EXPECT_EQ(extensionOnly.GetExtension(), "nph");
  extensionOnly.SetBase("ab12e");
  EXPECT_EQ(extensionOnly.GetName(), "ab12e.nph");

  Port::FileName nested("unsupported/beta.x/data/beta.v2.acd");
  EXPECT_EQ(nested.GetDirectory(), "unsupported/beta.x/data/");
  EXPECT_EQ(nested.GetBase(), "beta.v2");
  EXPECT_EQ(nested.GetExtension(), "acd");
  nested.SetBase("gamma");
  nested.SetExtension(".spd");
  EXPECT_EQ(nested.GetName(), "unsupported/beta.x/data/gamma.spd");

  Port::FileName dottedDirectory("dir.d/name");
  EXPECT_FALSE(dottedDirectory.HasExtension());
  EXPECT_EQ(dottedDirectory.GetName(), "dir.d/name");
  Port::FileName trailingDot("name.");
  EXPECT_FALSE(trailingDot.HasExtension());
  EXPECT_EQ(trailingDot.GetName(), "name.");
  trailingDot.SetExtension("");
  EXPECT_EQ(trailingDot.GetName(), "name");
  EXPECT_FALSE(Port::FileName(static_cast<const char*>(nullptr)).HasBase());
}

TEST(UtPath, BaseExtensionHeadAndTail) {
  char buffer[UT_PATH::BaseBufferSize];
  EXPECT_STREQ(UT_PATH::GetBase("/inst/alpha/data/alpha.acd", buffer), "alpha");
  EXPECT_STREQ(UT_PATH::GetBase("dir.d/name", buffer), "name");
  EXPECT_STREQ(UT_PATH::GetBase("/inst/", buffer), "");
  EXPECT_STREQ(UT_PATH::GetBase(std::string(400, 'n').c_str(), buffer), std::string(255, 'n').c_str());

  const char* path = "data/ab12e.nph";
  EXPECT_EQ(UT_PATH::GetExt(path, nullptr), path + 11);
  EXPECT_EQ(UT_PATH::GetExt("alpha", nullptr), nullptr);
  EXPECT_EQ(UT_PATH::GetExt("dir.d/alpha", nullptr), nullptr);
  EXPECT_EQ(UT_PATH::GetExt("alpha.", nullptr), nullptr);
  EXPECT_STREQ(UT_PATH::GetExt(".acd", buffer), "acd");
  EXPECT_EQ(UT_PATH::GetExt("alpha", buffer), nullptr);
  EXPECT_STREQ(buffer, "");

  EXPECT_EQ(UT_PATH::GetHead("/inst/lin64/lib/libfoo.so.*"), "/inst/lin64/lib");
  EXPECT_EQ(UT_PATH::GetTail("/inst/lin64/lib/libfoo.so.*"), "libfoo.so.*");
  EXPECT_EQ(UT_PATH::GetHead("/libfoo.so"), "/");
  EXPECT_EQ(UT_PATH::GetHead("libfoo.so"), "");
  EXPECT_EQ(UT_PATH::GetTail("libfoo.so"), "libfoo.so");
}

TEST(UtDir, ListsEveryEntryInByteOrder) {
  pmtest::TempDir dir;
  for (const char* name : {"beta", "Zeta", "alpha.acd", ".hidden", "_x"}) pmtest::WriteFile(dir / name, "");
  pmtest::MakeDirs(dir / "data");
  pmtest::MakeDirs(dir / "Alpha");
  const UT_DIR all(dir.path().c_str(), UT_DIR::WithDirectories);
  ASSERT_TRUE(all.isvalid());
  EXPECT_EQ(List(all.begin(), all.end()),
            (std::vector<std::string>{".hidden", "Alpha", "Zeta", "_x", "alpha.acd", "beta", "data"}));
  const UT_DIR filesOnly(dir.path().c_str(), 0);
  EXPECT_EQ(List(filesOnly.begin(), filesOnly.end()),
            (std::vector<std::string>{".hidden", "Zeta", "_x", "alpha.acd", "beta"}));
}

TEST(UtDir, PatternsKeepMatchingNames) {
  pmtest::TempDir dir;
  for (const char* name : {"ab12e.nph", "ab40e.nph", "ab40e.pkg", "libfoo.so.1.2", "libfoo.so.10", "nph"}) {
    pmtest::WriteFile(dir / name, "");
  }
  const UT_DIR listing(dir.path().c_str(), 1);
  EXPECT_EQ(List(listing.begin("*.nph"), listing.end()), (std::vector<std::string>{"ab12e.nph", "ab40e.nph"}));
  EXPECT_EQ(List(listing.begin("libfoo.so.*"), listing.end()),
            (std::vector<std::string>{"libfoo.so.1.2", "libfoo.so.10"}));
  EXPECT_EQ(List(listing.begin("ab?[1-2]e.*"), listing.end()), (std::vector<std::string>{"ab12e.nph"}));
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
  pmtest::MakeDirs(dir / "locked");
  ::chmod((dir / "locked").c_str(), 0);
  if (::geteuid() != 0) {
    EXPECT_FALSE(UT_DIR((dir / "locked").c_str(), 1).isvalid());
  }
  ::chmod((dir / "locked").c_str(), 0700);
}

}  // namespace
