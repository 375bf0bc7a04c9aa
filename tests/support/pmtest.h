// Test fixtures: temporary installations, file writers and message capture.
#ifndef PMLIB_TESTS_PMTEST_H
#define PMLIB_TESTS_PMTEST_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pmport/port_msg.h"

namespace pmtest {

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `relative` joined to the directory.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Writes `content` to `path`, creating the missing parent directories. Fails the test on error.
void WriteFile(const std::string& path, const std::string& content);
// Creates `path` and its missing parents.
void MakeDirs(const std::string& path);
// The whole content of `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Runs `work` in a forked child that is stopped after `seconds`, so that a test of something
// that could block never blocks the suite. True when the child finished in time and `work`
// returned true.
bool FinishesInTime(const std::function<bool()>& work, unsigned seconds = 10);

// One segment of a segmented data file (.spd, .pkg).
struct Segment {
  std::string name;
  int type = 0;
  std::string contents;
};

// The start of a segmented file announcing `count` segments, built by hand so that malformed files
// can be made.
std::string SegmentHeader(std::uint64_t count);
// One directory record of a segmented file, built by hand.
std::string SegmentRecord(const std::string& name, std::int32_t type, std::uint64_t offset,
                          std::uint64_t size);

// Writes a segmented data file with the platform's writer, creating missing parent directories.
// Fails the test on error.
void WriteSegmentedFile(const std::string& path, const std::vector<Segment>& segments);

// Permission bits do not stop root, and the tests run as root in CI. Runs `work` in a forked
// child that, when this process is root, first becomes the unprivileged user and group 65534
// (no supplementary groups), and returns the text `work` returned there. What the child must
// reach has to be readable by that user: a TempDir is made for its owner only, so open it first
// (OpenToEveryone). A child that cannot drop its privileges or that dies fails the test.
// `work` runs in the child only: its own expectations are not seen; return what to check.
std::string AsUnprivilegedUser(const std::function<std::string()>& work);

// Lets every user read and enter `path` (a folder made for its owner only, such as a TempDir).
void OpenToEveryone(const std::string& path);

// Captures every message issued while it lives; restores the previous handler on destruction.
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  std::vector<Port::Message> messages() const;
  // The messages of one kind, in order.
  std::vector<Port::Message> of(Port::MsgKind kind) const;
  // Texts of the messages of one kind, in order.
  std::vector<std::string> texts(Port::MsgKind kind) const;
  void clear();

 private:
  struct State;
  std::shared_ptr<State> state_;
  Port::MsgHandler previous_;
};

// ---- Messages by their entry in a table of messages (the library's is s/pmmessages.h) ----
// A test says which message was issued by its entry; the texts are pinned once, by the table's
// own test.

// Whether `message` came from `entry`: the same kind and code, and a text that is the entry's
// format with each conversion (%s, %d, ...) standing for any run of characters.
bool IsFrom(const Port::Message& message, const Port::MsgEntry& entry);
// The entry's text with its conversions replaced, in order, by `arguments`.
std::string Expand(const Port::MsgEntry& entry, const std::vector<std::string>& arguments);
// A matcher of a Port::Message from `entry`, e.g. ElementsAre(pmtest::From(pmlib::msg::NoSpec)).
MATCHER_P(From, entry, std::string(negation ? "not " : "") + "a message from " + entry.name) {
  return IsFrom(arg, entry);
}
// A matcher of a Port::Message from `entry` whose conversions hold `arguments`, in order.
MATCHER_P2(SaysWith, entry, arguments,
           std::string(negation ? "not " : "") + "a message from " + entry.name + " saying " +
               ::testing::PrintToString(Expand(entry, arguments))) {
  return arg.kind == entry.kind && arg.code == entry.code && arg.text == Expand(entry, arguments);
}
inline auto Says(const Port::MsgEntry& entry, std::vector<std::string> arguments) {
  return SaysWith(entry, std::move(arguments));
}

}  // namespace pmtest

namespace Port {
// How gtest shows a message in a failure: kind, code and text.
void PrintTo(const Message& message, std::ostream* out);
// How gtest shows a kind: by its name.
inline void PrintTo(MsgKind kind, std::ostream* out) { *out << MsgKindName(kind); }
}  // namespace Port

#endif  // PMLIB_TESTS_PMTEST_H
