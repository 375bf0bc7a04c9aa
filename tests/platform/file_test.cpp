// Files, line streams, file names and directory listings.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
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

// The names a listing holds (that match `pattern`, unless it is null), each followed by " ".
std::string List(const UT_DIR& listing, const char* pattern = nullptr) {
  std::string names;
  for (auto it = pattern ? listing.begin(pattern) : listing.begin(); it != listing.end(); ++it)
    names += it->str() + " ";
  return names;
}

TEST(File, ExistenceReadabilitySizeOpeningAndExistenceRememberedOnlyWithinOneScope) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "a.spd", "12345");
  pmtest::WriteFile(dir / "empty.pkg", "");
  // path: whether it exists, whether it can be read, its size
  const std::tuple<std::string, bool, bool, long> rows[] = {{dir / "a.spd", true, true, 5},
                                                            {dir / "empty.pkg", true, true, 0},
                                                            {dir / "missing", false, false, 0},
                                                            {dir.path(), true, false, 0}};
  for (const auto& [path, exists, readable, size] : rows) {
    EXPECT_EQ(Port::File::exist(path.c_str()), exists) << path;
    EXPECT_EQ(Port::File::canread(path.c_str()), readable) << path;
    EXPECT_EQ(Port::File::getsize_noopen(path.c_str()), size) << path;
  }
  EXPECT_FALSE(Port::File::exist(static_cast<const char*>(nullptr)));

  // Opening fails for missing files, directories and other access.
  pmtest::WriteFile(dir / "x.usg", "x\n");
  pmtest::MessageCapture capture;
  EXPECT_TRUE(!Port::File::open((dir / "missing").c_str(), Port::File::Read, true) &&
              !Port::File::open(dir.path().c_str(), Port::File::Read, true) &&
              !Port::File::open((dir / "x.usg").c_str(), 2, true) && capture.messages().empty());
  EXPECT_EQ(Port::File::open((dir / "missing").c_str(), Port::File::Read, false), nullptr);
  EXPECT_THAT(capture.messages(), testing::ElementsAre(pmtest::Says(Port::msg::CannotOpenForReading,
                                                                    {dir / "missing"})));

  // Within one scope a path is asked for once (nested scopes included); once the outermost scope
  // ends, files that appeared or vanished meanwhile are seen again.
  const std::string appearing = dir / "appearing.acd";
  const std::string vanishing = dir / "vanishing.acd";
  pmtest::WriteFile(vanishing, "x");
  {
    const Port::ExistenceScope outer;
    EXPECT_TRUE(!Port::File::exist(appearing.c_str()) && Port::File::exist(vanishing.c_str()));
    pmtest::WriteFile(appearing, "x");
    ASSERT_EQ(::unlink(vanishing.c_str()), 0);
    {
      const Port::ExistenceScope inner;
      EXPECT_FALSE(Port::File::exist(appearing.c_str()));
    }
    EXPECT_TRUE(Port::File::exist(vanishing.c_str()));
  }
  EXPECT_TRUE(Port::File::exist(appearing.c_str()) && !Port::File::exist(vanishing.c_str()));
  const Port::ExistenceScope later;  // remembers nothing of the scope before
  EXPECT_TRUE(Port::File::exist(appearing.c_str()) && !Port::File::exist(vanishing.c_str()));
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
  EXPECT_TRUE(length < 0 && stream->geteof());
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
  EXPECT_TRUE(!line.ReadLine(stream.get()) && line.empty() && !line.ReadLine(nullptr));
}

// The parts of a path as the file name class and the path helpers take it apart, and names
// composed of new parts.
TEST(FileName, DirectoryBaseAndExtensionOfAPathAndComposedNames) {
  const std::tuple<const char*, std::string, std::string, std::string> rows[] = {
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
  for (const auto& [path, directory, base, extension] : rows) {
    const Port::FileName name(path);
    EXPECT_EQ(name.GetDirectory() + "|" + name.GetBase() + "|" + name.GetExtension(),
              directory + "|" + base + "|" + extension);
    EXPECT_EQ(name.GetName(), path);
    char buffer[UT_PATH::BaseBufferSize];
    EXPECT_EQ(UT_PATH::GetBase(path, buffer), base) << path;
    const char* const ext = UT_PATH::GetExt(path, nullptr);
    EXPECT_EQ(ext ? ext : "", extension) << path;
    // The head is the directory without its last "/", unless that is all there is.
    EXPECT_EQ(UT_PATH::GetHead(path),
              directory.substr(0, directory.size() - (directory.size() > 1)));
    EXPECT_EQ(UT_PATH::GetTail(path), path + directory.size()) << path;
  }

  // a name, the base and extension set (null: left alone), the name composed
  const std::tuple<const char*, const char*, const char*, const char*> renamings[] = {
      {"alpha", nullptr, "acd", "alpha.acd"},
      {".nph", "ab12e", nullptr, "ab12e.nph"},
      {"data/beta.v2.acd", "gamma", ".spd", "data/gamma.spd"},
      {"name.", nullptr, "", "name"}};
  for (const auto& [path, base, extension, composed] : renamings) {
    Port::FileName name(path);
    if (base) name.SetBase(base);
    if (extension) name.SetExtension(extension);
    EXPECT_EQ(name.GetName(), composed);
  }
  EXPECT_FALSE(Port::FileName(static_cast<const char*>(nullptr)).HasBase());

  char buffer[UT_PATH::BaseBufferSize];
  EXPECT_EQ(UT_PATH::GetBase(std::string(400, 'n').c_str(), buffer), std::string(255, 'n'));
  EXPECT_STREQ(UT_PATH::GetExt(".acd", buffer), "acd");
  EXPECT_TRUE(UT_PATH::GetExt("alpha", buffer) == nullptr && *buffer == '\0');
}

TEST(UtDir, ListsEveryEntryInByteOrderPatternsKeepMatchingNamesAndBadFoldersAreEmpty) {
  pmtest::TempDir dir;
  for (const char* name :
       {".hidden", "Zeta", "ab12e.nph", "ab40e.nph", "beta", "libfoo.so.1.2", "libfoo.so.10"})
    pmtest::WriteFile(dir / name, "");
  pmtest::MakeDirs(dir / "data");
  pmtest::MakeDirs(dir / "Alpha");
  const UT_DIR all(dir.path().c_str(), UT_DIR::WithDirectories);
  ASSERT_TRUE(all.isvalid());
  EXPECT_EQ(List(all),
            ".hidden Alpha Zeta ab12e.nph ab40e.nph beta data libfoo.so.1.2 libfoo.so.10 ");
  const UT_DIR listing(dir.path().c_str(), 0);
  EXPECT_EQ(List(listing), ".hidden Zeta ab12e.nph ab40e.nph beta libfoo.so.1.2 libfoo.so.10 ");
  EXPECT_EQ(List(listing, "*.nph"), "ab12e.nph ab40e.nph ");
  EXPECT_EQ(List(listing, "libfoo.so.*"), "libfoo.so.1.2 libfoo.so.10 ");
  EXPECT_EQ(List(listing, "ab?[1-2]e.*"), "ab12e.nph ");
  EXPECT_EQ(List(listing, "*.xyz"), "");

  // An unreadable or missing folder is invalid and empty.
  const UT_DIR missing((dir / "none").c_str(), 1);
  EXPECT_TRUE(!missing.isvalid() && missing.begin() == missing.end());
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
  // File::open, UT_IFILE, StaticAcdRead and UT_CMDFILE
  const std::function<bool(const char*)> readers[] = {
      [](const char* p) { return bool(StreamPtr(Port::File::open(p, Port::File::Read, true))); },
      [](const char* p) { return UT_IFILE().load(p); },
      [](const char* p) { return StaticAcdRead(p, nullptr, nullptr, 1, 0, 1).size() != 0; },
      [](const char* p) {
        return UT_CMDFILE(2, std::array{"-f", p}.data()).isvalid();
      }};
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    for (std::size_t r = 0; r < std::size(readers); ++r)
      EXPECT_TRUE(pmtest::FinishesInTime([&] { return !readers[r](path.c_str()); }, 5))
          << "reader " << r << " on " << path;
  }
}

}  // namespace
