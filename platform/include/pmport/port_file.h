// Files, file names and directories.
#ifndef PMPORT_PORT_FILE_H
#define PMPORT_PORT_FILE_H

#include <pmport/export.h>

#include <cstddef>
#include <cstdio>
#include <iterator>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "pmport/port_string.h"

namespace Port {

// An open file descriptor, closed on destruction.
class PMPORT_API FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// An output stream buffer writing to a descriptor it owns (the library's debug file).
class PMPORT_API DescriptorOutBuf : public std::streambuf {
 public:
  explicit DescriptorOutBuf(FileDescriptor fd);
  ~DescriptorOutBuf() override;
  bool is_open() const { return fd_.valid(); }

 protected:
  int overflow(int c) override;
  int sync() override;

 private:
  FileDescriptor fd_;
  char buffer_[4096];
};

// A file opened for reading by File::open, read line by line. A line ends at "\n"; a "\r" right
// before it is dropped; a last line without "\n" is a line too.
class PMPORT_API Stream {
 public:
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Copies up to size - 1 characters of the next line into `buffer` (NUL-terminated, without its
  // line end) and returns how many were copied. The rest of a longer line is what the next read
  // gives. At end of file nothing is copied, -1 is returned and geteof() becomes true.
  int readline(char* buffer, int size);
  // The whole next line (or the rest of a line partly read); false at end of file.
  bool readline(std::string& line);
  // True once a read found the end of the file (or a read error): every line has been delivered.
  bool geteof() const { return atEnd_; }

 private:
  friend class File;
  explicit Stream(std::FILE* file);

  bool FillPending();

  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string pending_;        // the current line
  std::size_t delivered_ = 0;  // how much of pending_ was already handed out (no erase: a long
                               // line read in small pieces stays linear)
  bool pendingValid_ = false;  // whether pending_ holds a line (it may be empty)
  bool atEnd_ = false;
};

class PMPORT_API File {
 public:
  enum Access { Read = 1 };

  // True when something exists at `path` (a file, a directory, ...).
  static bool exist(const char* path);
  static bool exist(const StringBase<char>& path) { return exist(path.c_str()); }
  // True when `path` is a regular file this process may read.
  static bool canread(const char* path);
  static bool canread(const StringBase<char>& path) { return canread(path.c_str()); }
  // The size in bytes of the regular file `path`, found without opening it; 0 when it is missing
  // or not a regular file.
  static long long getsize_noopen(const char* path);
  static long long getsize_noopen(const StringBase<char>& path) {
    return getsize_noopen(path.c_str());
  }
  // Opens the regular file `path`; `access` must be Read (1). Null when it cannot be opened; then
  // a Warning (domain "Port") names the file unless `quiet` is set. Close the result with close().
  static Stream* open(const char* path, int access, bool quiet);
  static Stream* open(const StringBase<char>& path, int access, bool quiet) {
    return open(path.c_str(), access, quiet);
  }
  static void close(Stream* stream);

  // Every file the library reads or writes is opened through these, so that a FIFO, a device or
  // a socket where a file should be never blocks and is never taken for data: such a path is
  // refused at once, as a file that cannot be opened is (errno EINVAL; EISDIR for a folder).
  //
  // The regular file `path`, open for reading; invalid when it is anything else.
  static FileDescriptor OpenRegular(const char* path);
  // The whole content of the regular file `path`; false when it cannot be read.
  static bool ReadAll(const char* path, std::string& content);
  // The regular file `path`, created when missing and emptied, open for writing; invalid when
  // something else is there.
  static FileDescriptor CreateRegular(const char* path);
  // Up to `size` bytes of `fd` from `offset` (fewer at the end of the file); -1 on a read error.
  static long long ReadAt(int fd, void* buffer, std::size_t size, unsigned long long offset);
  // Writes all of `data` to `fd`; false (errno set) when a write fails.
  static bool WriteAll(int fd, std::string_view data);
  // Replaces the file `path` by one holding `content`, or leaves it exactly as it was. The new
  // content goes to a new file beside it, is flushed to the disk and then renamed over it, so a
  // full disk or a failed write loses nothing. A symbolic link is followed and stays a link; a
  // target that is not a regular file (a device, a FIFO, a folder) is refused. On failure
  // `error` says why, with the system's reason: "cannot create PATH: No such file or directory".
  static bool Replace(const char* path, std::string_view content, std::string& error);
};

// Makes one operation (a part-name parse, say) ask the file system about a path only once: while
// one lives on a thread, File::exist answers a path it already answered on that thread from
// memory. What exists is never remembered past the outermost scope, so the next operation sees
// files that appeared or vanished in between. Nested scopes share the outermost one's memory.
class PMPORT_API ExistenceScope {
 public:
  ExistenceScope();
  ~ExistenceScope();
  ExistenceScope(const ExistenceScope&) = delete;
  ExistenceScope& operator=(const ExistenceScope&) = delete;
};

// A file name taken apart into its directory part (with its final "/"), its base name and its
// extension (the text after the last "." of the name without directory). ".nph" has an extension
// and no base name; "alpha" has a base name and no extension.
class PMPORT_API FileName {
 public:
  explicit FileName(const char* name);
  explicit FileName(const StringBase<char>& name) : FileName(name.c_str()) {}

  bool HasBase() const { return !base_.empty(); }
  bool HasExtension() const { return !extension_.empty(); }
  StringBase<char> GetBase() const { return base_; }
  StringBase<char> GetExtension() const { return extension_; }
  StringBase<char> GetDirectory() const { return directory_; }
  void SetBase(const char* base) { base_ = base ? base : ""; }
  // `extension` is given without its dot (a leading dot is ignored); empty or null removes it.
  void SetExtension(const char* extension);
  // The composed name: directory part, base name and, when there is an extension, "." and the
  // extension (a name read with a trailing "." keeps it until the extension is set).
  StringBase<char> GetName() const;

 private:
  std::string directory_;
  std::string base_;
  std::string extension_;
  bool dot_ = false;  // the name has a "." before its (possibly empty) extension
};

// Per-unit initialisation object of the file services; units construct one at load. The file
// services keep no shared state, so this only counts the units that hold one.
class PMPORT_API FileInit {
 public:
  FileInit();
  ~FileInit();
  FileInit(const FileInit&) = delete;
  FileInit& operator=(const FileInit&) = delete;
  static int count();
};

}  // namespace Port

// Path helpers of the utilities library. The directory separator is "/".
class PMPORT_API UT_PATH {
 public:
  enum { BaseBufferSize = 256 };
  // The name without directory and extension, copied into `buffer` (BaseBufferSize characters;
  // longer names are cut) and returned.
  static char* GetBase(const char* path, char* buffer);
  // The extension (without its dot) of the name without directory. With a null `buffer`: a
  // pointer to it inside `path`, or null when there is none. With a buffer (BaseBufferSize
  // characters): copied into it and the buffer returned, or null (buffer emptied) when none.
  static const char* GetExt(const char* path, char* buffer);
  // The directory part without its final "/": "" when there is none, "/" for a name at the root.
  static Port::StringBase<char> GetHead(const char* path);
  // The name without its directory part.
  static Port::StringBase<char> GetTail(const char* path);
};

// The entries of a directory, read once at construction in ascending byte order of their names.
class PMPORT_API UT_DIR {
 public:
  // Flag bit: list directories too. Without it only the entries that are not directories are
  // listed. "." and ".." are never listed.
  enum { WithDirectories = 1 };

  UT_DIR(const char* directory, int flag);
  UT_DIR(const Port::StringBase<char>& directory, int flag) : UT_DIR(directory.c_str(), flag) {}

  // False when the directory could not be read.
  bool isvalid() const { return valid_; }
  std::size_t size() const { return names_.size(); }

  // Walks the names, all of them or those matching a shell pattern ("*", "?", "[...]").
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Port::StringBase<char>;
    using difference_type = std::ptrdiff_t;
    using pointer = const Port::StringBase<char>*;
    using reference = const Port::StringBase<char>&;

    iterator() = default;
    reference operator*() const { return (*names_)[index_]; }
    pointer operator->() const { return &(*names_)[index_]; }
    iterator& operator++();
    iterator operator++(int) {
      iterator old = *this;
      ++*this;
      return old;
    }
    friend bool operator==(const iterator& a, const iterator& b) { return a.index_ == b.index_; }
    friend bool operator!=(const iterator& a, const iterator& b) { return !(a == b); }

   private:
    friend class UT_DIR;
    iterator(const std::vector<Port::StringBase<char>>* names, std::size_t index,
             std::shared_ptr<const std::string> pattern);
    void SkipMismatches();

    const std::vector<Port::StringBase<char>>* names_ = nullptr;
    std::size_t index_ = 0;
    std::shared_ptr<const std::string> pattern_;  // null: every name
  };

  iterator begin() const;
  iterator begin(const char* pattern) const;
  iterator end() const;

 private:
  std::vector<Port::StringBase<char>> names_;
  bool valid_ = false;
};

#endif  // PMPORT_PORT_FILE_H
