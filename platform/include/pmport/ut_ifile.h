// Segmented data files (".spd", ".pkg"): a directory of named, typed segments followed by their
// contents. The format is described in docs/segmented-files.md.
#ifndef PMPORT_UT_IFILE_H
#define PMPORT_UT_IFILE_H

#include <pmport/export.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The directory record of one segment.
class PMPORT_API UT_IFILESEGINFO {
 public:
  // The segment name; valid until this object is filled again or destroyed.
  const char* getname() const { return name_.c_str(); }
  int gettype() const { return type_; }
  // Where the contents lie, counted in bytes from the start of the file.
  std::uint64_t getoffset() const { return offset_; }
  std::uint64_t getsize() const { return size_; }

 private:
  friend class UT_IFILE;
  std::string name_;
  int type_ = 0;
  std::uint64_t offset_ = 0;
  std::uint64_t size_ = 0;
};

// Reads the directory of a segmented data file. Loading reads only the header and the directory
// and checks them against the file's size, so a malformed or truncated file fails to load instead
// of being read past its end.
class PMPORT_API UT_IFILE {
 public:
  static constexpr std::uint32_t kMaxSegments = 1000000;
  static constexpr std::uint16_t kMaxNameLength = 4096;

  // Reads the directory of `filename`, replacing whatever was loaded. False, with geterror()
  // telling why, when the file cannot be read or is not a well-formed segmented file.
  bool load(const char* filename);
  // Fills `info` with the next segment in file order; false after the last one.
  bool getnextseginfo(UT_IFILESEGINFO& info);
  // Forgets the loaded directory.
  void unload();

  bool isloaded() const { return loaded_; }
  std::size_t getnsegments() const { return segments_.size(); }
  // Why the last load failed; empty after a successful one.
  const char* geterror() const { return error_.c_str(); }
  // The contents of a segment of the loaded file, read from the file now. False when nothing is
  // loaded or the file can no longer deliver those bytes.
  bool readcontents(const UT_IFILESEGINFO& info, std::string& contents) const;

 private:
  bool Fail(std::string reason);

  std::string filename_;
  std::vector<UT_IFILESEGINFO> segments_;
  std::size_t next_ = 0;
  bool loaded_ = false;
  std::string error_;
};

// One segment to write.
struct PMPORT_API UT_SEGMENT {
  std::string name;
  int type = 0;
  std::string contents;
};

// Writes segmented data files: the segments in the order they were added, their contents back to
// back after the directory.
class PMPORT_API UT_SEGWRITER {
 public:
  void add(std::string name, int type, std::string contents);
  const std::vector<UT_SEGMENT>& segments() const { return segments_; }

  // Writes the file; false, with geterror() telling why, when a name is empty, longer than 4096
  // bytes or holds a NUL byte, there are too many segments, or the file cannot be written. The
  // file is replaced whole (File::Replace) or left exactly as it was.
  bool write(const char* filename);
  const char* geterror() const { return error_.c_str(); }

  // The bytes of a file holding `segments`; false, with `error` set, when they cannot be stored.
  static bool Serialize(const std::vector<UT_SEGMENT>& segments, std::string& image,
                        std::string& error);

 private:
  std::vector<UT_SEGMENT> segments_;
  std::string error_;
};

#endif  // PMPORT_UT_IFILE_H
