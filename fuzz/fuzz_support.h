// Shared pieces of the fuzz targets: a scratch file for readers that take a path, quiet
// messages, and the failure report that stops the fuzzer on a broken invariant.
#ifndef PMLIB_FUZZ_FUZZ_SUPPORT_H
#define PMLIB_FUZZ_FUZZ_SUPPORT_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "pmport/port_msg.h"

namespace pmfuzz {

// A broken invariant is a finding like a crash: report it and abort, so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "invariant broken: %s [%.*s]\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

inline void Check(bool holds, const char* what, std::string_view detail = {}) {
  if (!holds) Fail(what, detail);
}

// One file per fuzzing process, rewritten for every input and removed at exit.
class ScratchFile {
 public:
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/pmfuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) Fail("cannot create a scratch file", pattern);
    ::close(fd);
    path_ = pattern;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const char* write(const void* data, std::size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (!file) Fail("cannot write the scratch file", path_);
    if (size > 0 && std::fwrite(data, 1, size, file) != size) Fail("short write", path_);
    std::fclose(file);
    return path_.c_str();
  }
  const char* write(std::string_view text) const { return write(text.data(), text.size()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The process's scratch file.
inline const ScratchFile& Scratch() {
  static const ScratchFile file;
  return file;
}

// Messages are expected on bad input; printing them would only slow the fuzzer down.
inline void SilenceMessages() {
  Port::SetMsgHandler([](const Port::Message&) {});
}

// `text` cut at every `separator` (n separators give n + 1 pieces).
inline std::vector<std::string> SplitAt(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  for (;;) {
    const std::size_t at = text.find(separator);
    pieces.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    text.remove_prefix(at + 1);
  }
}

}  // namespace pmfuzz

#endif  // PMLIB_FUZZ_FUZZ_SUPPORT_H
