#include "pmtest.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "pmport/ut_ifile.h"

namespace fs = std::filesystem;

namespace pmtest {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/pmlib-test-XXXXXX";
  EXPECT_NE(mkdtemp(&pattern[0]), nullptr)
      << "cannot create a temporary directory from " << pattern;
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void MakeDirs(const std::string& path) {
  std::error_code error;
  fs::create_directories(path, error);
  ASSERT_FALSE(error) << "cannot create " << path << ": " << error.message();
}

void WriteFile(const std::string& path, const std::string& content) {
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) MakeDirs(parent.string());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(out) << "cannot write " << path;
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

// `value` as `bytes` little-endian bytes.
std::string LittleEndian(std::uint64_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xff);
  return text;
}

constexpr uid_t kUnprivilegedId = 65534;

// In the child: gives up root's rights for good, or says why not.
std::string DropPrivileges() {
  if (::geteuid() != 0) return std::string();
  if (::setgroups(0, nullptr) != 0 ||
      ::setresgid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0 ||
      ::setresuid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0) {
    return std::string("cannot drop privileges: ") + std::strerror(errno);
  }
  return std::string();
}

// Runs `work` in a forked child, which leaves with _exit: the parent's fixtures (temporary
// folders) are not its own. The child's exit status, or -1 when it did not exit.
int ExitStatusOfChild(const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(work());
  int status = 0;
  const bool waited = child > 0 && ::waitpid(child, &status, 0) == child;
  return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string AsUnprivilegedUser(const std::function<std::string()>& work) {
  // The child's answer goes through an unnamed file both processes share, read after the wait.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> answer(std::tmpfile(), std::fclose);
  const int status = !answer ? -1 : ExitStatusOfChild([&] {
    const std::string refused = DropPrivileges();
    const std::string text = refused.empty() ? work() : refused;
    std::fwrite(text.data(), 1, text.size(), answer.get());
    std::fflush(answer.get());
    return refused.empty() ? 0 : 2;
  });
  std::string text;
  if (answer) {
    std::rewind(answer.get());
    for (int c; (c = std::fgetc(answer.get())) != EOF;) text += static_cast<char>(c);
  }
  EXPECT_EQ(status, 0) << "the unprivileged child failed: " << text;
  return text;
}

void OpenToEveryone(const std::string& path) {
  ASSERT_EQ(0, ::chmod(path.c_str(), 0755)) << path << ": " << std::strerror(errno);
}

void WriteSegmentedFile(const std::string& path, const std::vector<Segment>& segments) {
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) MakeDirs(parent.string());
  UT_SEGWRITER writer;
  for (const Segment& segment : segments) writer.add(segment.name, segment.type, segment.contents);
  ASSERT_TRUE(writer.write(path.c_str())) << path << ": " << writer.geterror();
}

std::string SegmentHeader(std::uint64_t count) { return "UTSEG01\n" + LittleEndian(count, 4); }

std::string SegmentRecord(const std::string& name, std::int32_t type, std::uint64_t offset,
                          std::uint64_t size) {
  return LittleEndian(name.size(), 2) + name + LittleEndian(static_cast<std::uint32_t>(type), 4) +
         LittleEndian(offset, 8) + LittleEndian(size, 8);
}

struct MessageCapture::State {
  mutable std::mutex mutex;
  std::vector<Port::Message> messages;
};

MessageCapture::MessageCapture() : state_(std::make_shared<State>()) {
  std::shared_ptr<State> state = state_;
  previous_ = Port::SetMsgHandler([state](const Port::Message& message) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->messages.push_back(message);
  });
}

MessageCapture::~MessageCapture() { Port::SetMsgHandler(previous_); }

std::vector<Port::Message> MessageCapture::messages() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->messages;
}

std::vector<Port::Message> MessageCapture::of(Port::MsgKind kind) const {
  std::vector<Port::Message> selected;
  for (const Port::Message& message : messages()) {
    if (message.kind == kind) selected.push_back(message);
  }
  return selected;
}

std::vector<std::string> MessageCapture::texts(Port::MsgKind kind) const {
  std::vector<std::string> selected;
  for (const Port::Message& message : of(kind)) selected.push_back(message.text);
  return selected;
}

void MessageCapture::clear() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->messages.clear();
}

bool FinishesInTime(const std::function<bool()>& work, unsigned seconds) {
  return ExitStatusOfChild([&] {
           ::alarm(seconds);  // the default action ends the child
           return work() ? 0 : 1;
         }) == 0;
}

}  // namespace pmtest
