// Segmented data files: reading the directory and writing whole files.
#include "pmport/ut_ifile.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "pmport/port_file.h"

namespace {

constexpr char kMagic[8] = {'U', 'T', 'S', 'E', 'G', '0', '1', '\n'};
constexpr std::uint64_t kHeaderSize = sizeof(kMagic) + 4;
// Name length, a one-byte name, type, offset, size.
constexpr std::uint64_t kSmallestRecord = 2 + 1 + 4 + 8 + 8;

std::uint64_t LittleEndian(const unsigned char* bytes, int count) {
  std::uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

void AppendLittleEndian(std::string& out, std::uint64_t value, int count) {
  for (int i = 0; i < count; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

// Reads a file of known size from its start; a read that would pass the end fails.
class BoundedReader {
 public:
  BoundedReader(int fd, std::uint64_t size) : fd_(fd), left_(size) {}

  bool Take(void* out, std::uint64_t count) {
    if (count > left_) return false;
    const long long got = Port::File::ReadAt(fd_, out, static_cast<std::size_t>(count), position_);
    if (got < 0 || static_cast<std::uint64_t>(got) != count) return false;
    position_ += count;
    left_ -= count;
    return true;
  }
  bool TakeNumber(std::uint64_t& value, int count) {
    unsigned char bytes[8];
    if (!Take(bytes, static_cast<std::uint64_t>(count))) return false;
    value = LittleEndian(bytes, count);
    return true;
  }
  std::uint64_t left() const { return left_; }

 private:
  int fd_;
  std::uint64_t position_ = 0;
  std::uint64_t left_;
};

// The regular file `filename`, open, and its size.
Port::FileDescriptor OpenWithSize(const char* filename, std::uint64_t& size) {
  Port::FileDescriptor fd = Port::File::OpenRegular(filename);
  struct stat status {};
  if (!fd.valid() || ::fstat(fd.get(), &status) != 0) return Port::FileDescriptor();
  size = static_cast<std::uint64_t>(status.st_size);
  return fd;
}

}  // namespace

bool UT_IFILE::Fail(std::string reason) {
  segments_.clear();
  error_ = std::move(reason);
  return false;
}

bool UT_IFILE::load(const char* filename) {
  unload();
  error_.clear();
  if (!filename || !*filename) return Fail("no file name given");
  std::uint64_t fileSize = 0;
  const Port::FileDescriptor file = OpenWithSize(filename, fileSize);
  if (!file.valid()) return Fail("cannot read the file");
  BoundedReader reader(file.get(), fileSize);

  char magic[sizeof(kMagic)];
  if (!reader.Take(magic, sizeof(magic)) || !std::equal(magic, magic + sizeof(magic), kMagic)) {
    return Fail("not a segmented data file (wrong magic)");
  }
  std::uint64_t count = 0;
  if (!reader.TakeNumber(count, 4)) return Fail("the file ends inside its header");
  if (count > kMaxSegments) return Fail("too many segments (" + std::to_string(count) + ")");
  // The records are read one by one, so that a bad record gives its own reason (a name length of
  // 0 makes a record shorter than any good one); room is kept only for what the file can hold.
  segments_.reserve(static_cast<std::size_t>(std::min(count, reader.left() / kSmallestRecord)));
  for (std::uint64_t i = 0; i < count; ++i) {
    UT_IFILESEGINFO info;
    std::uint64_t nameLength = 0, type = 0;
    if (!reader.TakeNumber(nameLength, 2)) return Fail("the file is shorter than its directory");
    if (nameLength == 0 || nameLength > kMaxNameLength) {
      return Fail("segment " + std::to_string(i) + " has a name length of " +
                  std::to_string(nameLength));
    }
    info.name_.resize(static_cast<std::size_t>(nameLength));
    if (!reader.Take(info.name_.data(), nameLength) || !reader.TakeNumber(type, 4) ||
        !reader.TakeNumber(info.offset_, 8) || !reader.TakeNumber(info.size_, 8)) {
      return Fail("the file is shorter than its directory");
    }
    // Callers see a name as a C string: one holding a NUL would be read as another (or empty) name.
    if (info.name_.find('\0') != std::string::npos) {
      return Fail("segment " + std::to_string(i) + " has a name holding a NUL byte");
    }
    info.type_ = static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(type)));
    if (info.offset_ > fileSize || info.size_ > fileSize - info.offset_) {
      return Fail("segment \"" + info.name_ + "\" lies beyond the end of the file");
    }
    segments_.push_back(std::move(info));
  }
  filename_ = filename;
  loaded_ = true;
  return true;
}

bool UT_IFILE::getnextseginfo(UT_IFILESEGINFO& info) {
  if (next_ >= segments_.size()) return false;
  info = segments_[next_++];
  return true;
}

void UT_IFILE::unload() {
  segments_.clear();
  filename_.clear();
  next_ = 0;
  loaded_ = false;
}

bool UT_IFILE::readcontents(const UT_IFILESEGINFO& info, std::string& contents) const {
  std::uint64_t fileSize = 0;
  if (!loaded_) return false;
  const Port::FileDescriptor file = OpenWithSize(filename_.c_str(), fileSize);
  if (!file.valid() || info.offset_ > fileSize || info.size_ > fileSize - info.offset_)
    return false;
  contents.resize(static_cast<std::size_t>(info.size_));
  const long long got =
      Port::File::ReadAt(file.get(), contents.data(), contents.size(), info.offset_);
  return got >= 0 && static_cast<std::uint64_t>(got) == info.size_;
}

void UT_SEGWRITER::add(std::string name, int type, std::string contents) {
  segments_.push_back({std::move(name), type, std::move(contents)});
}

bool UT_SEGWRITER::Serialize(const std::vector<UT_SEGMENT>& segments, std::string& image,
                             std::string& error) {
  if (segments.size() > UT_IFILE::kMaxSegments) {
    error = "too many segments (" + std::to_string(segments.size()) + ")";
    return false;
  }
  std::uint64_t directorySize = 0;
  for (const UT_SEGMENT& segment : segments) {
    if (segment.name.empty() || segment.name.size() > UT_IFILE::kMaxNameLength) {
      error = "segment name of length " + std::to_string(segment.name.size()) +
              " (names take 1 to 4096 bytes)";
      return false;
    }
    if (segment.name.find('\0') != std::string::npos) {
      error = "segment name holding a NUL byte";
      return false;
    }
    directorySize += kSmallestRecord - 1 + segment.name.size();
  }
  image.assign(kMagic, sizeof(kMagic));
  AppendLittleEndian(image, segments.size(), 4);
  std::uint64_t offset = kHeaderSize + directorySize;
  for (const UT_SEGMENT& segment : segments) {
    AppendLittleEndian(image, segment.name.size(), 2);
    image += segment.name;
    AppendLittleEndian(image, static_cast<std::uint32_t>(segment.type), 4);
    AppendLittleEndian(image, offset, 8);
    AppendLittleEndian(image, segment.contents.size(), 8);
    offset += segment.contents.size();
  }
  for (const UT_SEGMENT& segment : segments) image += segment.contents;
  return true;
}

bool UT_SEGWRITER::write(const char* filename) {
  error_.clear();
  if (!filename || !*filename) {
    error_ = "no file name given";
    return false;
  }
  std::string image;
  if (!Serialize(segments_, image, error_)) return false;
  return Port::File::Replace(filename, image, error_);
}
