// pmtool seg: segmented data files (.spd, .pkg).
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <string>

#include "command.h"
#include "output.h"
#include "pmport/ut_ifile.h"

namespace pmtool {
namespace {

// A segment as the command line names it.
struct SegmentArg {
  std::string name;
  int type = 0;
};

// A whole decimal int, sign allowed.
std::optional<int> ParseType(const std::string& text) {
  if (text.empty() || text.find_first_not_of("+-0123456789") != std::string::npos)
    return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < std::numeric_limits<int>::min() ||
      value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

// NAME or NAME:TYPE; the type follows the last ":", so a name may hold ":" when a type is given.
std::optional<SegmentArg> ParseSegment(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return SegmentArg{text, 0};
  const std::optional<int> type = ParseType(text.substr(colon + 1));
  if (!type) return std::nullopt;
  return SegmentArg{text.substr(0, colon), *type};
}

int RunWrite(const Invocation& invocation) {
  const std::string& file = invocation.positional(0);
  UT_SEGWRITER writer;
  for (std::size_t i = 1; i < invocation.npositionals(); ++i) {
    const std::optional<SegmentArg> segment = ParseSegment(invocation.positional(i));
    if (!segment) {
      return UsageError("the type of " + Quoted(invocation.positional(i)) +
                            " is not a whole number (write NAME or NAME:TYPE)",
                        invocation.path);
    }
    writer.add(segment->name, segment->type, std::string());
  }
  if (!writer.write(file.c_str())) {
    // The writer's own reason names the file when the file itself was the trouble.
    const std::string reason = writer.geterror();
    const bool namesFile = reason.find(file) != std::string::npos;
    PrintError(namesFile ? reason : "cannot write " + file + ": " + reason);
    return kExitProblem;
  }
  return kExitOk;
}

// Loads the directory of `file`, or says why it cannot be read and returns false.
bool LoadSegments(const std::string& file, UT_IFILE& segments) {
  if (segments.load(file.c_str())) return true;
  const std::string reason = UnreadableReason(file);
  PrintError("cannot read " + file + ": " + (reason.empty() ? segments.geterror() : reason));
  return false;
}

int RunDump(const Invocation& invocation) {
  const std::string& file = invocation.positional(0);
  UT_IFILE segments;
  if (!LoadSegments(file, segments)) return kExitProblem;
  UT_IFILESEGINFO info;
  if (invocation.json()) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    while (segments.getnextseginfo(info)) {
      list.push_back({{"name", info.getname()},
                      {"type", info.gettype()},
                      {"offset", info.getoffset()},
                      {"size", info.getsize()}});
    }
    PrintJson({{"file", file}, {"segments", list}});
    return kExitOk;
  }
  Table table;
  table.add({"NAME", "TYPE", "OFFSET", "SIZE"});
  while (segments.getnextseginfo(info)) {
    table.add({info.getname(), std::to_string(info.gettype()), std::to_string(info.getoffset()),
               std::to_string(info.getsize())});
  }
  std::cout << table.str();
  return kExitOk;
}

Family MakeSegFamily() {
  Command write{
      "write",
      "FILE NAME[:TYPE]...",
      "write a segmented data file with the named segments",
      {},
      "Writes the segmented data file FILE (replacing it) with one empty segment for each\n"
      "NAME, in the order given. TYPE is a whole number, 0 when left out; it follows the last\n"
      "\":\", so a name that holds \":\" is written with its type (\"a:b:0\"). In a speed file\n"
      "the segment names are the speed grades; in a package file they are the packages, and\n"
      "type 1 marks a hidden package. Names that begin with \"-\" and a digit (\"-4\") are\n"
      "taken as names; put any other name that begins with \"-\" after \"--\".\n"
      "\n"
      "The new file is written beside FILE and renamed over it once it is on the disk, so a\n"
      "failed write leaves FILE as it was. A symbolic link is followed; a FILE that is not a\n"
      "regular file (a device, a FIFO) is refused.\n",
      "  pmtool seg write ab12e.spd -3 -4 -0          # a speed file with three grades\n"
      "  pmtool seg write ab12e.pkg tq144 vq100:1     # vq100 is a hidden package\n"
      "  pmtool seg write odd.pkg -- -x               # a name that looks like an option\n",
      "  0  the file was written\n"
      "  1  the file cannot be written (the reason is given), or a name is empty or longer\n"
      "     than 4096 bytes\n",
      2,
      kUnbounded,
      RunWrite};
  Command dump{
      "dump",
      "FILE",
      "list the segments of a segmented data file",
      {{"json", nullptr, "print the result as JSON"}},
      "Lists the segments of the segmented data file FILE in file order: name, type, and the\n"
      "offset and size in bytes of the contents. Only the header and the directory are read;\n"
      "a file whose directory is malformed or reaches past the end of the file is rejected.\n"
      "\n"
      "With --json: {\"file\": FILE, \"segments\": [{\"name\": NAME, \"type\": TYPE,\n"
      "\"offset\": OFFSET, \"size\": SIZE}, ...]}.\n",
      "  pmtool seg dump ab12e.spd\n"
      "  pmtool seg dump --json ab12e.pkg\n",
      "  0  the segments were listed\n"
      "  1  FILE cannot be read or is not a well-formed segmented data file\n",
      1,
      1,
      RunDump};
  return Family{"seg",
                "Segmented data files (.spd, .pkg): a directory of named, typed segments.",
                {std::move(write), std::move(dump)}};
}

}  // namespace

const Family& SegFamily() {
  static const Family family = MakeSegFamily();
  return family;
}

}  // namespace pmtool
