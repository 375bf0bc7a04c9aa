// The definition-file reader: the file format, field addressing, multi-file reads, deciphering,
// insertion and iteration.
#include <gtest/gtest.h>

#include <iterator>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "pmport/sfp_acd.h"
#include "pmtest.h"

namespace {

// A reader over one file written with `content`, read at construction as direct users do.
class AcdFile {
 public:
  explicit AcdFile(const std::string& content, unsigned char decode = 1) {
    pmtest::WriteFile(path_, content);
    reader_ = std::make_unique<StaticAcdRead>(path_.c_str(), nullptr, nullptr, decode, 0, 1);
  }
  StaticAcdRead* operator->() { return reader_.get(); }
  StaticAcdRead& operator*() { return *reader_; }
  const std::string& path() const { return path_; }

 private:
  pmtest::TempDir dir_;
  const std::string path_ = dir_ / "def.acd";
  std::unique_ptr<StaticAcdRead> reader_;
};

// The keys and values of a reader as "KEY=value" lines in its order (the order in which each key
// was first read). Each key listed must be found by a lookup with the value listed, and the size
// must count them.
std::string Listing(const StaticAcdRead& reader) {
  std::string listing;
  EXPECT_EQ(reader.size(), static_cast<std::size_t>(std::distance(reader.begin(), reader.end())));
  for (const Sfp_ACD::KeyValue& entry : reader) {
    EXPECT_STREQ(reader.getkeyeddata(entry.first.get()), entry.second.get()) << entry.first.get();
    listing += std::string(entry.first.get()) + "=" + entry.second.get() + "\n";
  }
  return listing;
}

boost::shared_array<char> Text(const char* text) {
  boost::shared_array<char> copy(new char[std::strlen(text) + 1]);
  std::strcpy(copy.get(), text);
  return copy;
}

// Each row: a name, a file's text and the keys it holds; a file without keys leaves the reader
// invalid.
TEST(AcdFormat, KeysValuesCommentsContinuationsLargeFilesAndNoFile) {
  const std::tuple<const char*, std::string, std::string> rows[] = {
      // A "#" starts a comment only at the start of a line.
      {"comments and a continuation",
       "# c\nFORMAT = #^x?c?ab[0-9]+e\nLIST = one,two,\\\n    three\n",
       "FORMAT=#^x?c?ab[0-9]+e\nLIST=one,two,three\n"},
      {"separators, blanks and empty values",
       "\t  SPACED   value with  inner  blanks \t\nTIGHT=v\nTWICE = a = b\nBARE\nBARE_EQ =\n"
       "= no key here\n   # an indented comment\n\nMIDDLE = back\\slash\nLAST = no newline",
       "SPACED=value with  inner  blanks\nTIGHT=v\nTWICE=a = b\nBARE=\nBARE_EQ=\n"
       "MIDDLE=back\\slash\nLAST=no newline\n"},
      // A continued line is not a comment; a continuation into a blank line or the end stops.
      {"continuation corners",
       "A = x\\\n   # not a comment\\\n\ty\nB = one\\\n\nC = two\nEND = tail\\",
       "A=x# not a commenty\nB=one\nC=two\nEND=tail\n"},
      {"CR LF line ends", "# c\r\nK = v \r\nL = a,\\\r\n  b\r\nE\r\n", "K=v\nL=a,b\nE=\n"},
      {"the later value wins", "K = first\nOTHER = o\nK = second\n", "K=second\nOTHER=o\n"},
      {"keys ending on either side of eight bytes",
       "SEVEN_C=7\nEIGHT_CH\t= 8\nNINE_CHAR = 9\nSIXTEEN_CHARS_16=x\nSEVENTEEN_CHARS17\n",
       "SEVEN_C=7\nEIGHT_CH=8\nNINE_CHAR=9\nSIXTEEN_CHARS_16=x\nSEVENTEEN_CHARS17=\n"},
      {"only comments and blanks", "# only a comment\n\n   \n", ""},
      {"empty", "", ""},
      {"fuzz finding: a line starting with a NUL byte stored the empty key",
       std::string("#!enciphephEred\012p#rw0}p|t l 2=A92\012\000\000`\360\000\000\016\261st0xrt0x}"
                   "%t#}p{ l I423`a6[23`a60\012",
                   75),
       "p#rw0}p|t=l 2=A92\n"},
      {"fuzz finding: a key holding a NUL byte was not found as it was listed",
       std::string("st'xrt0x}\377\377\001\000\377%t#}p{ l\371 I423\012", 29),
       "st'xrt0x}\377\377\001=l\371 I423\n"},
  };
  for (const auto& [name, text, listing] : rows) {
    // Enciphered, a file reads the same, unless it holds a NUL byte (an enciphered line ends
    // there).
    std::vector<std::string> forms{text};
    if (text.find('\0') == std::string::npos) forms.push_back(Sfp_ACD::Encipher(text));
    for (const std::string& content : forms) {
      AcdFile file(content);
      EXPECT_EQ(Listing(*file), listing) << name;
      EXPECT_EQ(file->IsValid() != 0, !listing.empty()) << name;
    }
    EXPECT_EQ(Listing(*AcdFile(text, 0)), listing) << name;  // plain: no decoding
  }
  AcdFile file("BARE\n");
  EXPECT_TRUE(!file->getkeyeddata("bare") && !file->getkeyeddata(nullptr));

  const pmtest::TempDir dir;
  const std::string missing = dir / "missing.acd";
  for (const char* path :
       {missing.c_str(), dir.path().c_str(), "", static_cast<const char*>(nullptr)}) {
    const StaticAcdRead none(path, nullptr, nullptr, 1, 0, 1);
    EXPECT_TRUE(!none.IsValid() && none.size() == 0 && none.begin() == none.end() &&
                none.GetStringByKey("K", 0, 0, 0, 0).empty() && !*none.getcomparename())
        << (path ? path : "(null)");
  }

  // A large file keeps every key.
  const std::string filler(1000, 'v');
  std::string content;
  for (int i = 0; i < 10000; ++i)
    content += "KEY_" + std::to_string(i) + "=" + std::to_string(i) + filler + '\n';
  EXPECT_EQ(Listing(*AcdFile(content)), content);
}

TEST(AcdFieldAddressing, FieldsSubfieldsStrippedWholeValuesAndIndexBoundsOfKeys) {
  // value, field separator and field, subfield separator and subfield, the text addressed
  const std::tuple<const char*, char, short, char, short, const char*> rows[] = {
      // The store's lookups pin the fields of "a : b,c: d"; here what they do not reach.
      {"a : b,c: d", ':', 0, ',', 0, "a"},
      {"a : b,c: d", ':', 1, 0, 0, "b,c"},
      {"a::b", ':', 1, 0, 0, ""},
      {"a:b", ':', -1, 0, 0, ""},
      {"a:b", ':', 0, ',', -1, ""},
      // Without separators: the whole value stripped of spaces, but not of tabs.
      {"  x  y  ", 0, 0, 0, 0, "x  y"},
      {"   ", 0, 0, 0, 0, ""},
      {nullptr, ':', 0, ',', 0, ""},
      {"\tx\t", 0, 0, 0, 0, "\tx\t"},
      // A subfield separator without a field separator splits the whole value.
      {"a, b ,c", 0, 0, ',', 1, "b"},
      {"a,b:c", 0, 0, ',', 1, "b:c"},
      {"a,b", 0, 0, ',', 2, ""},
  };
  for (const auto& [value, sep, field, subSep, subfield, expected] : rows) {
    EXPECT_EQ(StaticAcdRead::GetStringFromString(value, sep, field, subSep, subfield), expected)
        << (value ? value : "(null)") << " " << field << "/" << subfield;
  }

  using Bounds = std::pair<short, short>;
  AcdFile file("K = a,b : c,d,e : f\nEMPTY =   \nPLAIN = word\n");
  // Separators are pointers to one character, not necessarily terminated.
  const char separators[2] = {':', ','};
  EXPECT_EQ(file->GetStringByKey("K", &separators[0], 1, &separators[1], 1), "d");
  EXPECT_EQ(file->GetStringByKey("EMPTY", 0, 0, 0, 0), "");
  EXPECT_EQ(file->GetStringByKey("ABSENT", ":", 0, 0, 0), "");
  EXPECT_EQ(file->GetStringByString(" x : y ", ":", 1, 0, 0), "y");
  EXPECT_EQ(file->GetStringByString(nullptr, ":", 0, 0, 0), "");
  EXPECT_EQ((std::vector<Bounds>{file->GetMaxIndex("K", ':', ','), file->GetMaxIndex("K", ':', 0),
                                 file->GetMaxIndex("PLAIN", ':', ','),
                                 file->GetMaxIndex("EMPTY", ':', ','),
                                 file->GetMaxIndex("ABSENT", ':', ','),
                                 StaticAcdRead::GetMaxIndexFromString("x,y", 0, ',')}),
            (std::vector<Bounds>{{3, 3}, {3, 1}, {1, 1}, {0, 0}, {0, 0}, {1, 2}}));

  // The lower-case forms count the fields, or with a second separator the subfields of one field
  // (the field asked for, then its count).
  const auto counts = [&](short field, const char* subSep) {
    short count2 = -1;
    file->getmaxindex("K", ":", field, subSep, count2);
    return Bounds(field, count2);
  };
  short field = 0, count2 = -1;
  StaticAcdRead::getmaxindexbystring("p,q,r", nullptr, field, ",", count2);
  EXPECT_EQ(
      (std::vector<Bounds>{counts(-1, nullptr), counts(1, ","), counts(3, ","), {field, count2}}),
      (std::vector<Bounds>{{3, -1}, {1, 3}, {3, 0}, {0, 3}}));
}

// Friend chains: the friend's file is enciphered with CR LF line ends, the own one plain.
TEST(AcdReader, WithFriendsTheCallerReadsEveryFileAndEncipheredOnesAreHeldUntilDecoded) {
  pmtest::TempDir dir;
  std::string friendText = Sfp_ACD::Encipher("ARCH_NAME = beta\r\nONLY_FRIEND = f\r\n");
  friendText.insert(std::strlen(Sfp_ACD::kEncipheredMarker), "\r");
  pmtest::WriteFile(dir / "friend.acd", friendText);
  pmtest::WriteFile(dir / "own.acd", "ARCH_NAME = alpha\nONLY_OWN = o\n");
  char first[] = "xcab12e";
  char* const searchkeys[] = {first, nullptr};
  StaticAcdRead reader((dir / "own.acd").c_str(), "a.acd:alpha:-:-:ftt", searchkeys, 1, 1, 0);
  EXPECT_EQ(reader.getsearchkeys(), std::vector<std::string>{"xcab12e"});
  // The constructor left the reading to its caller.
  EXPECT_FALSE(reader.IsValid() || reader.size());
  EXPECT_TRUE(reader.ReadFile((dir / "friend.acd").c_str()) &&
              !reader.ReadFile((dir / "missing.acd").c_str()) &&
              reader.ReadFile((dir / "own.acd").c_str()) && reader.Decode(1));
  EXPECT_EQ(Listing(reader), "ARCH_NAME=alpha\nONLY_FRIEND=f\nONLY_OWN=o\n");

  // Without decoding, an enciphered file is held back until decoding is asked for.
  const std::string enciphered = Sfp_ACD::Encipher("ARCH_NAME = alpha\n");
  ASSERT_EQ(enciphered.find("alpha"), std::string::npos);
  AcdFile held(enciphered, 0);
  EXPECT_TRUE(!held->IsValid() && held->Decode(1));
  EXPECT_EQ(Listing(*held), "ARCH_NAME=alpha\n");
  AcdFile dropped(enciphered, 0);
  EXPECT_FALSE(dropped->Decode(0) || dropped->Decode(1));
}

// Keys added after the read, then dumped to a file that reads back the same.
TEST(AcdKeys, InsertedDumpedSharedByCopiesAndInsertedOrInheritedFromFriends) {
  AcdFile file("Z = 1\nA = 2\nZ = 3 : 4\n");
  const auto value = Text("friend value");
  const auto added = file->insert({Text("C"), value});
  EXPECT_TRUE(added.second && added.first->second.get() == value.get());  // shared, not copied
  const auto kept = file->insert({Text("A"), Text("other")});
  EXPECT_TRUE(!kept.second && std::string((*kept.first).second.get()) == "2");
  EXPECT_FALSE(file->insert({boost::shared_array<char>(), Text("x")}).second);
  EXPECT_TRUE(file->insert({Text("NULLVALUE"), boost::shared_array<char>()}).second);
  EXPECT_TRUE(file->sortaddnewkey("NEW") && !file->sortaddnewkey("A") &&
              !file->sortaddnewkey(nullptr));
  EXPECT_EQ(Listing(*file), "Z=3 : 4\nA=2\nC=friend value\nNULLVALUE=\nNEW=\n");

  const std::string out = file.path() + ".dump";
  ASSERT_TRUE(file->dump(out.c_str()));
  EXPECT_EQ(pmtest::ReadFile(out), "Z = 3 : 4\nA = 2\nC = friend value\nNULLVALUE =\nNEW =\n");
  EXPECT_EQ(Listing(StaticAcdRead(out.c_str(), nullptr, nullptr, 1, 0, 1)), Listing(*file));
  EXPECT_FALSE(file->dump((out + "/no/such/dir").c_str()));

  // A copy shares the original's keys until either changes, and a change gives it a new stamp; a
  // change that adds nothing changes nothing, not even the stamp. Inserting a friend's absent keys
  // brings them over in the friend's order, sharing its characters; inheriting them gives the
  // same without adding them: the friend's later changes stay out, and a change here first makes
  // the inherited keys its own. (A long chain walked by many threads at once is the stress
  // suite's.)
  AcdFile own("A = own\nEMPTY\n");
  AcdFile near("Z = 1\nA = near\nEMPTY = near\nB = near\n");
  AcdFile far("B = far\nC = far\n");
  char key[] = "k";
  char* const searchKeys[] = {key, nullptr};
  StaticAcdRead copy(*own, "elsewhere.acd", "copy", searchKeys, 1);
  StaticAcdRead eager(*own, "eager.acd", nullptr, nullptr, 1);
  EXPECT_TRUE(!copy.ReadEnciphered() && std::string(copy.getlocation()) == "elsewhere.acd");
  const std::uint64_t shared = own->version();
  EXPECT_TRUE(!copy.insert({Text("A"), Text("other")}).second && eager.insertabsent(eager) == 0u &&
              copy.version() == shared && eager.version() == shared);
  EXPECT_TRUE(copy.insert({Text("C"), Text("3")}).second && eager.insertabsent(*near) == 2u &&
              eager.getkeyeddata("B") == near->getkeyeddata("B"));
  eager.insertabsent(*far);

  StaticAcdRead nearInheriting(*near, "near.acd", nullptr, nullptr, 1);
  nearInheriting.inheritabsent(*far);
  StaticAcdRead lazy(*own, "lazy.acd", nullptr, nullptr, 1);
  lazy.inheritabsent(nearInheriting);
  EXPECT_NE(shared, lazy.version());
  const std::uint64_t once = lazy.version();
  lazy.inheritabsent(nearInheriting);  // nothing new: nothing changes
  EXPECT_EQ(once, lazy.version());
  EXPECT_TRUE(nearInheriting.insert({Text("LATE"), Text("x")}).second);
  EXPECT_EQ(nullptr, lazy.getkeyeddata("LATE"));
  EXPECT_EQ(far->getkeyeddata("C"), lazy.getkeyeddata("C"));
  EXPECT_EQ(Listing(eager), Listing(lazy));
  EXPECT_EQ("A=own\nEMPTY=\nZ=1\nB=near\nC=far\n", Listing(lazy));

  EXPECT_TRUE(!lazy.insert({Text("C"), Text("other")}).second && lazy.version() == once);
  EXPECT_TRUE(lazy.sortaddnewkey("D") && own->sortaddnewkey("D"));
  EXPECT_EQ("A=own\nEMPTY=\nZ=1\nB=near\nC=far\nD=\n", Listing(lazy));
  EXPECT_EQ(Listing(copy) + "|" + Listing(*own), "A=own\nEMPTY=\nC=3\n|A=own\nEMPTY=\nD=\n");
  const std::set<std::uint64_t> stamps{shared, own->version(), copy.version(), eager.version(),
                                       lazy.version()};
  EXPECT_EQ(5u, stamps.size());
}

}  // namespace
