// The segmented-file reader on arbitrary bytes: load, then walk every segment.
//
// Invariants: a loaded directory lies within the file (names of 1 to 4096 bytes, contents inside
// the file, readable); the walk visits each segment once; the writer turns what was read into a
// file that loads back to the same names, types and contents.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "pmport/ut_ifile.h"

namespace {

using pmfuzz::Check;

std::vector<UT_SEGMENT> WalkSegments(UT_IFILE& file, std::uint64_t fileSize) {
  std::vector<UT_SEGMENT> segments;
  UT_IFILESEGINFO info;
  while (file.getnextseginfo(info)) {
    const std::string name = info.getname();
    Check(!name.empty() && name.size() <= UT_IFILE::kMaxNameLength, "segment name length", name);
    Check(info.getoffset() <= fileSize && info.getsize() <= fileSize - info.getoffset(),
          "segment beyond the end", name);
    std::string contents;
    Check(file.readcontents(info, contents) && contents.size() == info.getsize(),
          "segment contents unreadable", name);
    segments.push_back({name, info.gettype(), std::move(contents)});
  }
  Check(segments.size() == file.getnsegments(), "the walk missed segments");
  Check(!file.getnextseginfo(info), "the walk goes on after the last segment");
  return segments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const pmfuzz::ScratchFile& scratch = pmfuzz::Scratch();
  UT_IFILE file;
  const bool loaded = file.load(scratch.write(data, size));
  Check(loaded == file.isloaded() && loaded == (*file.geterror() == '\0'),
        "load result and state disagree");
  if (!loaded) {
    Check(file.getnsegments() == 0, "a failed load keeps segments");
    return 0;
  }
  const std::vector<UT_SEGMENT> segments = WalkSegments(file, size);

  std::string image, error;
  Check(UT_SEGWRITER::Serialize(segments, image, error), "the writer rejects what the reader read",
        error);
  UT_IFILE again;
  Check(again.load(scratch.write(image)), "a written file does not load", again.geterror());
  const std::vector<UT_SEGMENT> reread = WalkSegments(again, image.size());
  Check(reread.size() == segments.size(), "the written file has other segments");
  for (std::size_t i = 0; i < segments.size(); ++i) {
    Check(reread[i].name == segments[i].name && reread[i].type == segments[i].type &&
              reread[i].contents == segments[i].contents,
          "a segment changed through the writer", segments[i].name);
  }
  return 0;
}
