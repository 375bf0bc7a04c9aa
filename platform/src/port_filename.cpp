// File names: directory part, base name and extension.
#include <algorithm>
#include <cstring>
#include <string>

#include "pmport/port_file.h"

namespace {

// The parts of a file name: [directory/][base][.extension].
struct NameParts {
  std::string directory;  // with its final "/"
  std::string base;
  std::string extension;
  bool dot = false;
  std::size_t extensionOffset = 0;  // where the extension starts in the whole name
};

NameParts SplitName(const char* name) {
  NameParts parts;
  const std::string whole = name ? name : "";
  const std::string::size_type slash = whole.rfind('/');
  const std::string::size_type tailStart = slash == std::string::npos ? 0 : slash + 1;
  parts.directory = whole.substr(0, tailStart);
  const std::string::size_type dot = whole.rfind('.');
  if (dot == std::string::npos || dot < tailStart) {
    parts.base = whole.substr(tailStart);
    return parts;
  }
  parts.base = whole.substr(tailStart, dot - tailStart);
  parts.extension = whole.substr(dot + 1);
  parts.dot = true;
  parts.extensionOffset = dot + 1;
  return parts;
}

// Copies `text` into a BaseBufferSize buffer, cutting what does not fit.
char* CopyToBuffer(const std::string& text, char* buffer) {
  const std::size_t count = std::min<std::size_t>(text.size(), UT_PATH::BaseBufferSize - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return buffer;
}

}  // namespace

namespace Port {

FileName::FileName(const char* name) {
  NameParts parts = SplitName(name);
  directory_ = std::move(parts.directory);
  base_ = std::move(parts.base);
  extension_ = std::move(parts.extension);
  dot_ = parts.dot;
}

void FileName::SetExtension(const char* extension) {
  extension_ = extension ? extension : "";
  if (!extension_.empty() && extension_[0] == '.') extension_.erase(0, 1);
  dot_ = !extension_.empty();
}

StringBase<char> FileName::GetName() const {
  std::string name = directory_ + base_;
  if (dot_) name += '.' + extension_;
  return name;
}

}  // namespace Port

char* UT_PATH::GetBase(const char* path, char* buffer) {
  if (!buffer) return nullptr;
  return CopyToBuffer(SplitName(path).base, buffer);
}

const char* UT_PATH::GetExt(const char* path, char* buffer) {
  const NameParts parts = SplitName(path);
  if (buffer) buffer[0] = '\0';
  if (parts.extension.empty()) return nullptr;
  if (!buffer) return path + parts.extensionOffset;
  return CopyToBuffer(parts.extension, buffer);
}

Port::StringBase<char> UT_PATH::GetHead(const char* path) {
  std::string directory = SplitName(path).directory;
  if (directory.size() > 1) directory.pop_back();
  return directory;
}

Port::StringBase<char> UT_PATH::GetTail(const char* path) {
  const NameParts parts = SplitName(path);
  return parts.dot ? parts.base + '.' + parts.extension : parts.base;
}
