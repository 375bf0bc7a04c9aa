#include "pmtest.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "pmport/ut_ifile.h"

namespace fs = std::filesystem;

namespace pmtest {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/pmlib-test-XXXXXX";
  if (!mkdtemp(&pattern[0])) {
    ADD_FAILURE() << "cannot create a temporary directory from " << pattern;
  }
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
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

namespace {

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

void WriteAll(int fd, const std::string& text) {
  for (std::size_t written = 0; written < text.size();) {
    const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    written += static_cast<std::size_t>(count);
  }
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(count));
  }
}

}  // namespace

std::string AsUnprivilegedUser(const std::function<std::string()>& work) {
  int channel[2];
  if (::pipe(channel) != 0) {
    ADD_FAILURE() << "cannot make a pipe: " << std::strerror(errno);
    return std::string();
  }
  const pid_t child = ::fork();
  if (child == 0) {
    // The child leaves with _exit: the parent's fixtures (temporary folders) are not its own.
    ::close(channel[0]);
    const std::string refused = DropPrivileges();
    if (!refused.empty()) {
      WriteAll(channel[1], refused);
      ::_exit(2);
    }
    WriteAll(channel[1], work());
    ::_exit(0);
  }
  ::close(channel[1]);
  const std::string text = child > 0 ? ReadAll(channel[0]) : std::string();
  ::close(channel[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    ADD_FAILURE() << "the unprivileged child failed (status " << status << "): " << text;
  }
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

std::string LittleEndian(std::uint64_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xff);
  return text;
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

bool MessageCapture::contains(Port::MsgKind kind, const std::string& fragment) const {
  for (const Port::Message& message : of(kind)) {
    if (message.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

void MessageCapture::clear() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->messages.clear();
}

bool FinishesInTime(const std::function<bool()>& work, unsigned seconds) {
  const pid_t child = fork();
  if (child == 0) {
    ::alarm(seconds);  // the default action ends the child
    _exit(work() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace pmtest
