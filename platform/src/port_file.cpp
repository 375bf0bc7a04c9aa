// Files: existence, size, line streams.
#include "pmport/port_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

#include "pmport/port_msg.h"
#include "port_messages.h"

namespace Port {

namespace {

bool StatPath(const char* path, struct stat& info) { return path && ::stat(path, &info) == 0; }

bool IsRegularFile(const char* path) {
  struct stat info;
  return StatPath(path, info) && S_ISREG(info.st_mode);
}

std::atomic<int> fileUnits{0};

// What the existence scopes of this thread have found; empty outside any scope.
// The buckets of an existence memo's overflow table kept from one scope to the next.
constexpr std::size_t kBucketsKept = 64;

// What one scope learnt about paths. A parse asks for a handful: those are kept in a few slots
// whose strings keep their buffers from scope to scope (no hashing, no allocation); a scope that
// asks for more (a listing of the whole installation) has the rest kept in a hash table.
struct ExistenceMemo {
  static constexpr std::size_t kSlots = 16;
  struct Slot {
    std::string path;
    bool exists = false;
  };

  const bool* Find(std::string_view path) const {
    for (std::size_t i = 0; i < slotsUsed; ++i) {
      if (slots[i].path == path) return &slots[i].exists;
    }
    if (more.empty()) return nullptr;
    key.assign(path);
    const auto known = more.find(key);
    return known == more.end() ? nullptr : &known->second;
  }

  void Remember(std::string_view path, bool exists) {
    if (slotsUsed < kSlots) {
      Slot& slot = slots[slotsUsed++];
      slot.path.assign(path);
      slot.exists = exists;
    } else {
      more.emplace(std::string(path), exists);
    }
  }

  void Forget() {
    slotsUsed = 0;
    // Emptying a table clears every bucket it ever grew to: after a scope that asked for many
    // paths that would cost each later scope far more than its few paths, so a grown table is
    // given back instead.
    if (more.bucket_count() > kBucketsKept) {
      std::unordered_map<std::string, bool>().swap(more);
    } else {
      more.clear();
    }
  }

  int depth = 0;
  std::array<Slot, kSlots> slots;
  std::size_t slotsUsed = 0;
  std::unordered_map<std::string, bool> more;
  mutable std::string key;  // reused for table lookups so that they cost no allocation
};

ExistenceMemo& ThreadExistenceMemo() {
  thread_local ExistenceMemo memo;
  return memo;
}

bool PathExists(const char* path) {
  struct stat info;
  return StatPath(path, info);
}

}  // namespace

Stream::Stream(std::FILE* file) : file_(file) {}

Stream::~Stream() = default;

// Reads the next line into pending_ unless a partly delivered line is still there.
bool Stream::FillPending() {
  if (pendingValid_) return true;
  if (atEnd_) return false;
  pending_.clear();
  delivered_ = 0;
  int c;
  while ((c = std::getc(file_.get())) != EOF && c != '\n') pending_ += static_cast<char>(c);
  if (c == EOF && pending_.empty()) {
    atEnd_ = true;
    return false;
  }
  if (c == '\n' && !pending_.empty() && pending_.back() == '\r') pending_.pop_back();
  pendingValid_ = true;
  return true;
}

int Stream::readline(char* buffer, int size) {
  if (!buffer || size < 1) return -1;
  buffer[0] = '\0';
  if (!FillPending()) return -1;
  const std::size_t rest = pending_.size() - delivered_;
  const std::size_t count = std::min(rest, static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, pending_.data() + delivered_, count);
  buffer[count] = '\0';
  delivered_ += count;
  pendingValid_ = delivered_ < pending_.size();
  return static_cast<int>(count);
}

bool Stream::readline(std::string& line) {
  if (!FillPending()) return false;
  pending_.erase(0, delivered_);
  line.swap(pending_);
  pending_.clear();
  delivered_ = 0;
  pendingValid_ = false;
  return true;
}

bool File::exist(const char* path) {
  ExistenceMemo& memo = ThreadExistenceMemo();
  if (memo.depth == 0 || !path) return PathExists(path);
  if (const bool* known = memo.Find(path)) return *known;
  const bool exists = PathExists(path);
  memo.Remember(path, exists);
  return exists;
}

ExistenceScope::ExistenceScope() { ++ThreadExistenceMemo().depth; }

ExistenceScope::~ExistenceScope() {
  ExistenceMemo& memo = ThreadExistenceMemo();
  if (--memo.depth == 0) memo.Forget();
}

bool File::canread(const char* path) { return IsRegularFile(path) && ::access(path, R_OK) == 0; }

long long File::getsize_noopen(const char* path) {
  struct stat info;
  if (!StatPath(path, info) || !S_ISREG(info.st_mode)) return 0;
  return static_cast<long long>(info.st_size);
}

Stream* File::open(const char* path, int access, bool quiet) {
  FileDescriptor fd = access == Read ? OpenRegular(path) : FileDescriptor();
  std::FILE* file = fd.valid() ? ::fdopen(fd.get(), "rb") : nullptr;
  if (file) fd.release();
  if (!file) {
    if (!quiet) {
      PORT_ISSUE(Port_MsgManData::createObject("Port", "port_file", __LINE__, "1"),
                 CannotOpenForReading, path ? path : "");
    }
    return nullptr;
  }
  return new Stream(file);
}

void File::close(Stream* stream) { delete stream; }

bool StringBase<char>::ReadLine(Stream* stream) {
  if (!stream) return false;
  std::string line;
  const bool gotLine = stream->readline(line);
  value_.swap(line);
  return gotLine;
}

FileInit::FileInit() { ++fileUnits; }
FileInit::~FileInit() { --fileUnits; }
int FileInit::count() { return fileUnits; }

}  // namespace Port
