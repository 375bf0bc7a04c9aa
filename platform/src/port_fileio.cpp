// Opening, reading and replacing files without blocking on special files or losing data.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "pmport/port_file.h"

namespace Port {

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel allows when it resolves a path

// Whether `fd` is a regular file; otherwise errno says what it is instead.
bool IsRegular(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  if (S_ISREG(status.st_mode)) return true;
  errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
  return false;
}

// Opens with O_NONBLOCK, which makes opening a FIFO return at once, keeps the descriptor only for
// a regular file and then makes its I/O blocking again.
FileDescriptor OpenRegularWith(const char* path, int flags) {
  if (!path || !*path) {
    errno = ENOENT;
    return FileDescriptor();
  }
  FileDescriptor fd(::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
  if (!fd.valid() || !IsRegular(fd.get())) return FileDescriptor();
  const int status = ::fcntl(fd.get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) return FileDescriptor();
  return fd;
}

std::string Reason(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// `path` with every symbolic link along its last component followed; the target of a dangling
// link is where the link points.
bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
  target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return true;
    char link[PATH_MAX];
    const ssize_t length = ::readlink(target.c_str(), link, sizeof(link) - 1);
    if (length < 0) {
      error = Reason("cannot follow", path, errno);
      return false;
    }
    const std::string destination(link, static_cast<std::size_t>(length));
    const std::size_t slash = target.rfind('/');
    target = destination[0] == '/' || slash == std::string::npos
                 ? destination
                 : target.substr(0, slash + 1) + destination;
  }
  error = Reason("cannot follow", path, ELOOP);
  return false;
}

// A name beside `target` that no other writer uses.
std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return folder + "." + name + ".tmp" + std::to_string(::getpid()) + "." +
         std::to_string(counter++);
}

// The new file beside `target`: honouring the umask when `target` is new, else with its mode and
// (where allowed) its owner.
FileDescriptor CreateBeside(const std::string& target, const struct stat* existing,
                            std::string& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = TemporaryName(target);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid() && errno == EEXIST) continue;
    if (fd.valid() && existing) {
      (void)::fchown(fd.get(), existing->st_uid, existing->st_gid);  // only root may; fine if not
      (void)::fchmod(fd.get(), existing->st_mode & 07777);
    }
    return fd;
  }
  errno = EEXIST;
  return FileDescriptor();
}

// Writes, flushes and closes `fd`; errno says what failed.
bool WriteDurably(FileDescriptor fd, std::string_view content) {
  if (File::WriteAll(fd.get(), content) && ::fsync(fd.get()) == 0)
    return ::close(fd.release()) == 0;
  const int error = errno;
  fd = FileDescriptor();
  errno = error;
  return false;
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

DescriptorOutBuf::DescriptorOutBuf(FileDescriptor fd) : fd_(std::move(fd)) {
  setp(buffer_, buffer_ + sizeof(buffer_));
}

DescriptorOutBuf::~DescriptorOutBuf() { sync(); }

int DescriptorOutBuf::overflow(int c) {
  if (sync() != 0) return traits_type::eof();
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  *pptr() = static_cast<char>(c);
  pbump(1);
  return c;
}

int DescriptorOutBuf::sync() {
  const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  setp(buffer_, buffer_ + sizeof(buffer_));
  return fd_.valid() && File::WriteAll(fd_.get(), pending) ? 0 : -1;
}

FileDescriptor File::OpenRegular(const char* path) { return OpenRegularWith(path, O_RDONLY); }

FileDescriptor File::CreateRegular(const char* path) {
  FileDescriptor fd = OpenRegularWith(path, O_WRONLY | O_CREAT);
  // Emptied only now: O_TRUNC would act before the file type is known.
  if (fd.valid() && ::ftruncate(fd.get(), 0) != 0) return FileDescriptor();
  return fd;
}

long long File::ReadAt(int fd, void* buffer, std::size_t size, unsigned long long offset) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t count =
        ::pread(fd, static_cast<char*>(buffer) + got, size - got, static_cast<off_t>(offset + got));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return -1;
    if (count == 0) break;
    got += static_cast<std::size_t>(count);
  }
  return static_cast<long long>(got);
}

bool File::ReadAll(const char* path, std::string& content) {
  const FileDescriptor fd = OpenRegular(path);
  struct stat status {};
  if (!fd.valid() || ::fstat(fd.get(), &status) != 0) return false;
  content.resize(static_cast<std::size_t>(status.st_size));
  const long long got = ReadAt(fd.get(), content.data(), content.size(), 0);
  if (got < 0) return false;
  content.resize(static_cast<std::size_t>(got));  // the file may have shrunk meanwhile
  return true;
}

bool File::WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t count = ::write(fd, data.data(), data.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    data.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

bool File::Replace(const char* path, std::string_view content, std::string& error) {
  const std::string name = path ? path : "";
  if (name.empty()) {
    error = "no file name given";
    return false;
  }
  std::string target;
  if (!FollowLinks(name, target, error)) return false;
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    error = "cannot write " + name + ": not a regular file";
    return false;
  }
  std::string temporary;
  FileDescriptor fd = CreateBeside(target, exists ? &existing : nullptr, temporary);
  if (!fd.valid()) {
    error = Reason("cannot create", name, errno);
    return false;
  }
  if (!WriteDurably(std::move(fd), content)) {
    error = Reason("cannot write", name, errno);
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    error = Reason("cannot replace", name, errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace Port
