// The definition-file reader: field addressing, the file format, multi-file reads, deciphering,
// insertion and iteration.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pmport/sfp_acd.h"
#include "pmtest.h"

namespace {

using Keys = std::map<std::string, std::string>;

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

Keys AllKeys(const StaticAcdRead& reader) {
  Keys keys;
  for (auto it = reader.begin(); it != reader.end(); ++it)
    keys[it->first.get()] = (*it).second.get();
  return keys;
}

boost::shared_array<char> Text(const char* text) {
  boost::shared_array<char> copy(new char[std::strlen(text) + 1]);
  std::strcpy(copy.get(), text);
  return copy;
}

TEST(AcdFieldAddressing, FieldsSubfieldsAndStrippedWholeValues) {
  struct Row {
    const char* value;
    char sep;
    short field;
    char subSep;
    short subfield;
    const char* expected;
  };
  const Row rows[] = {
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
  for (const Row& row : rows) {
    EXPECT_EQ(
        StaticAcdRead::GetStringFromString(row.value, row.sep, row.field, row.subSep, row.subfield),
        row.expected)
        << (row.value ? row.value : "(null)") << " " << row.field << "/" << row.subfield;
  }
}

TEST(AcdReaderQueries, FieldsAndIndexBoundsOfKeys) {
  using Bounds = std::pair<short, short>;
  AcdFile file("K = a,b : c,d,e : f\nEMPTY =   \nPLAIN = word\n");
  // Separators are pointers to one character, not necessarily terminated.
  const char separators[2] = {':', ','};
  EXPECT_EQ(file->GetStringByKey("K", &separators[0], 1, &separators[1], 1), "d");
  EXPECT_EQ(file->GetStringByKey("EMPTY", 0, 0, 0, 0), "");
  EXPECT_EQ(file->GetStringByKey("ABSENT", ":", 0, 0, 0), "");
  EXPECT_EQ(file->GetStringByString(" x : y ", ":", 1, 0, 0), "y");
  EXPECT_EQ(file->GetStringByString(nullptr, ":", 0, 0, 0), "");
  EXPECT_EQ(file->GetMaxIndex("K", ':', ','), Bounds(3, 3));
  EXPECT_EQ(file->GetMaxIndex("K", ':', 0), Bounds(3, 1));
  EXPECT_EQ(file->GetMaxIndex("PLAIN", ':', ','), Bounds(1, 1));
  EXPECT_EQ(file->GetMaxIndex("EMPTY", ':', ','), Bounds(0, 0));
  EXPECT_EQ(file->GetMaxIndex("ABSENT", ':', ','), Bounds(0, 0));
  EXPECT_EQ(StaticAcdRead::GetMaxIndexFromString("x,y", 0, ','), Bounds(1, 2));

  // The lower-case forms count the fields, or with a second separator the subfields of one field.
  short field = -1, count2 = -1;
  file->getmaxindex("K", ":", field, nullptr, count2);
  EXPECT_EQ(std::make_pair(field, count2), Bounds(3, -1));
  field = 1;
  file->getmaxindex("K", ":", field, ",", count2);
  EXPECT_EQ(std::make_pair(field, count2), Bounds(1, 3));
  field = 3;
  file->getmaxindex("K", ":", field, ",", count2);
  EXPECT_EQ(count2, 0);
  StaticAcdRead::getmaxindexbystring("p,q,r", nullptr, field, ",", count2);
  EXPECT_EQ(count2, 3);
}

TEST(AcdFormat, KeysValuesCommentsAndContinuations) {
  struct Row {
    const char* name;
    const char* content;
    Keys expected;
  };
  const Row rows[] = {
      // A "#" starts a comment only at the start of a line.
      {"comments and a continuation",
       "# c\nFORMAT = #^x?c?ab[0-9]+e\nLIST = one,two,\\\n    three\n",
       {{"FORMAT", "#^x?c?ab[0-9]+e"}, {"LIST", "one,two,three"}}},
      {"separators, blanks and empty values",
       "\t  SPACED   value with  inner  blanks \t\n"
       "TIGHT=v\nTWICE = a = b\nBARE\nBARE_EQ =\n= no key here\n   # an indented comment\n\n"
       "MIDDLE = back\\slash\nLAST = no newline",
       {{"SPACED", "value with  inner  blanks"},
        {"TIGHT", "v"},
        {"TWICE", "a = b"},
        {"BARE", ""},
        {"BARE_EQ", ""},
        {"MIDDLE", "back\\slash"},
        {"LAST", "no newline"}}},
      // A continued line is not a comment; a continuation into a blank line or the end stops.
      {"continuation corners",
       "A = x\\\n   # not a comment\\\n\ty\nB = one\\\n\nC = two\nEND = tail\\",
       {{"A", "x# not a commenty"}, {"B", "one"}, {"C", "two"}, {"END", "tail"}}},
      {"CR LF line ends",
       "# c\r\nK = v \r\nL = a,\\\r\n  b\r\nE\r\n",
       {{"K", "v"}, {"L", "a,b"}, {"E", ""}}},
      {"the later key wins",
       "K = first\nOTHER = o\nK = second\n",
       {{"K", "second"}, {"OTHER", "o"}}},
      {"keys ending on either side of eight bytes",
       "SEVEN_C=7\nEIGHT_CH\t= 8\nNINE_CHAR = 9\nSIXTEEN_CHARS_16=x\nSEVENTEEN_CHARS17\n",
       {{"SEVEN_C", "7"},
        {"EIGHT_CH", "8"},
        {"NINE_CHAR", "9"},
        {"SIXTEEN_CHARS_16", "x"},
        {"SEVENTEEN_CHARS17", ""}}},
  };
  for (const Row& row : rows) {
    AcdFile file(row.content);
    EXPECT_TRUE(file->IsValid()) << row.name;
    EXPECT_EQ(file->size(), row.expected.size()) << row.name;
    EXPECT_EQ(AllKeys(*file), row.expected) << row.name;
  }
  AcdFile file("BARE\n");
  ASSERT_NE(file->getkeyeddata("BARE"), nullptr);
  EXPECT_EQ(file->getkeyeddata("bare"), nullptr);
  EXPECT_EQ(file->getkeyeddata(nullptr), nullptr);
  EXPECT_STREQ(file->getlocation(), file.path().c_str());
}

TEST(AcdFormat, NoKeysOrNoFileLeavesTheReaderInvalid) {
  EXPECT_FALSE(AcdFile("# only a comment\n\n   \n")->IsValid());
  EXPECT_FALSE(AcdFile("")->IsValid());
  pmtest::TempDir dir;
  EXPECT_FALSE(StaticAcdRead((dir / "missing.acd").c_str(), nullptr, nullptr, 1, 0, 1).IsValid());
  EXPECT_FALSE(StaticAcdRead(dir.path().c_str(), nullptr, nullptr, 1, 0, 1).IsValid());
  EXPECT_FALSE(StaticAcdRead(nullptr, nullptr, nullptr, 0, 0, 0).IsValid());
  const StaticAcdRead none("", nullptr, nullptr, 1, 0, 1);
  EXPECT_FALSE(none.IsValid());
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.GetStringByKey("K", 0, 0, 0, 0), "");
  EXPECT_TRUE(none.begin() == none.end());
  EXPECT_STREQ(none.getcomparename(), "");
}

TEST(AcdFormat, LargeFileKeepsEveryKey) {
  const int count = 10000;
  const std::string filler(1000, 'v');
  std::string content;
  for (int i = 0; i < count; ++i)
    content += "KEY_" + std::to_string(i) + " = " + std::to_string(i) + filler + '\n';
  AcdFile file(content);
  ASSERT_EQ(file->size(), std::size_t{count});
  for (int i = 0; i < count; ++i) {
    const char* value = file->getkeyeddata(("KEY_" + std::to_string(i)).c_str());
    ASSERT_EQ(value ? value : "(absent)", std::to_string(i) + filler) << i;
  }
  EXPECT_EQ(file->getkeyeddata("KEY_10000"), nullptr);
}

TEST(AcdFormat, ArbitraryTextNeverYieldsMalformedKeys) {
  // Texts made of the characters the parser treats specially, continuations and line ends above
  // all: whatever they hold, every key read is a non-empty run without blanks or "=".
  const char alphabet[] = {'\\', '\r', '\n', ' ', '\t', '=', '#', 'k', 'v'};
  std::mt19937 random(1234);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(alphabet) - 1), length(0, 40);
  pmtest::TempDir dir;
  const std::string path = dir / "random.acd";
  for (int round = 0; round < 500; ++round) {
    std::string text;
    for (std::size_t n = length(random); n > 0; --n) text += alphabet[pick(random)];
    pmtest::WriteFile(path, text);
    const StaticAcdRead reader(path.c_str(), nullptr, nullptr, 1, 0, 1);
    EXPECT_EQ(reader.IsValid() != 0, reader.size() > 0);
    for (const auto& [key, value] : AllKeys(reader)) {
      EXPECT_FALSE(key.empty());
      EXPECT_EQ(key.find_first_of(" \t=\n"), std::string::npos) << key;
      EXPECT_EQ(value.find('\n'), std::string::npos);
    }
  }
}

// Friend chains: the friend's file is enciphered with CR LF line ends, the own one plain.
TEST(AcdReader, WithFriendsTheCallerReadsEveryFileAndTheLastReadWins) {
  pmtest::TempDir dir;
  std::string friendText = Sfp_ACD::Encipher("ARCH_NAME = beta\r\nONLY_FRIEND = f\r\n");
  friendText.insert(std::strlen(Sfp_ACD::kEncipheredMarker), "\r");
  pmtest::WriteFile(dir / "friend.acd", friendText);
  pmtest::WriteFile(dir / "own.acd", "ARCH_NAME = alpha\nONLY_OWN = o\n");
  char first[] = "xcab12e";
  char* const searchkeys[] = {first, nullptr};
  StaticAcdRead reader((dir / "own.acd").c_str(), "a.acd:alpha:-:-:ftt", searchkeys, 1, 1, 0);
  EXPECT_STREQ(reader.getcomparename(), "a.acd:alpha:-:-:ftt");
  EXPECT_EQ(reader.getnsearchkeys(), 1);
  EXPECT_EQ(reader.getsearchkeys()[0], "xcab12e");
  EXPECT_FALSE(reader.IsValid());  // the constructor left the reading to its caller
  EXPECT_EQ(reader.size(), 0u);

  EXPECT_TRUE(reader.ReadFile((dir / "friend.acd").c_str()));
  EXPECT_FALSE(reader.ReadFile((dir / "missing.acd").c_str()));
  EXPECT_TRUE(reader.ReadFile((dir / "own.acd").c_str()));
  EXPECT_TRUE(reader.Decode(1));
  EXPECT_EQ(AllKeys(reader),
            (Keys{{"ARCH_NAME", "alpha"}, {"ONLY_FRIEND", "f"}, {"ONLY_OWN", "o"}}));
}

TEST(AcdDecode, EncipheredFilesAreDecipheredWhenDecodeIsSet) {
  const std::string plain = "ARCH_NAME = alpha\nLIST = a,\\\n  b:c\n# comment\nEMPTY\n";
  const Keys expected{{"ARCH_NAME", "alpha"}, {"LIST", "a,b:c"}, {"EMPTY", ""}};
  EXPECT_EQ(AllKeys(*AcdFile(plain, 0)), expected);  // a plain file reads the same either way
  const std::string enciphered = Sfp_ACD::Encipher(plain);
  ASSERT_EQ(enciphered.find("alpha"), std::string::npos);
  EXPECT_EQ(AllKeys(*AcdFile(enciphered, 1)), expected);

  // Read without decode, the file is held back until Decode is asked for.
  AcdFile held(enciphered, 0);
  EXPECT_FALSE(held->IsValid());
  EXPECT_TRUE(held->Decode(1));
  EXPECT_EQ(AllKeys(*held), expected);
  AcdFile dropped(enciphered, 0);
  EXPECT_FALSE(dropped->Decode(0));
  EXPECT_FALSE(dropped->Decode(1));
}

TEST(AcdKeys, InsertAndSortAddNewKeyAddOnlyAbsentKeysInFirstReadOrder) {
  AcdFile file("Z = 1\nA = 2\nZ = 3\n");
  const auto value = Text("friend value");
  const auto added = file->insert({Text("C"), value});
  EXPECT_TRUE(added.second);
  EXPECT_EQ(added.first->second.get(), value.get());  // the arrays are shared, not copied
  const auto kept = file->insert({Text("A"), Text("other")});
  EXPECT_FALSE(kept.second);
  EXPECT_STREQ((*kept.first).second.get(), "2");
  EXPECT_FALSE(file->insert({boost::shared_array<char>(), Text("x")}).second);
  EXPECT_TRUE(file->insert({Text("NULLVALUE"), boost::shared_array<char>()}).second);
  EXPECT_STREQ(file->getkeyeddata("NULLVALUE"), "");
  EXPECT_TRUE(file->sortaddnewkey("NEW"));
  EXPECT_STREQ(file->getkeyeddata("NEW"), "");
  EXPECT_FALSE(file->sortaddnewkey("A"));
  EXPECT_FALSE(file->sortaddnewkey(nullptr));
  EXPECT_STREQ(file->getkeyeddata("A"), "2");

  std::string order;
  for (auto it = file->begin(); it != file->end(); it++)
    order += it->first.get() + std::string(" ");
  EXPECT_EQ(order, "Z A C NULLVALUE NEW ");
}

TEST(AcdKeys, DumpWritesAFileThatReadsBackTheSame) {
  AcdFile file("A = 1 : 2\nEMPTY\nL = x,\\\n y\n");
  pmtest::TempDir dir;
  const std::string out = dir / "dump.acd";
  ASSERT_TRUE(file->dump(out.c_str()));
  EXPECT_EQ(pmtest::ReadFile(out), "A = 1 : 2\nEMPTY =\nL = x,y\n");
  EXPECT_EQ(AllKeys(StaticAcdRead(out.c_str(), nullptr, nullptr, 1, 0, 1)), AllKeys(*file));
  EXPECT_FALSE(file->dump((dir / "no/such/dir/dump.acd").c_str()));
}

TEST(AcdKeys, CopyHoldsTheSameKeysAndChangesApartWithNewStamps) {
  AcdFile file("A = 1\nB = 2\n");
  char key[] = "k";
  char* const searchKeys[] = {key, nullptr};
  StaticAcdRead copy(*file, "elsewhere.acd", "copy", searchKeys, 1);
  EXPECT_FALSE(copy.ReadEnciphered());
  EXPECT_EQ(AllKeys(*file), AllKeys(copy));
  EXPECT_STREQ("elsewhere.acd", copy.getlocation());
  EXPECT_EQ(1, copy.getnsearchkeys());

  const std::uint64_t shared = copy.version();
  EXPECT_EQ(shared, file->version());
  EXPECT_FALSE(copy.insert({Text("A"), Text("other")}).second);  // present: nothing changes
  EXPECT_EQ(shared, copy.version());
  EXPECT_TRUE(copy.insert({Text("C"), Text("3")}).second);
  EXPECT_NE(shared, copy.version());
  EXPECT_EQ(nullptr, file->getkeyeddata("C"));
  EXPECT_TRUE(file->sortaddnewkey("D"));
  EXPECT_EQ(nullptr, copy.getkeyeddata("D"));
  EXPECT_NE(shared, file->version());
}

// The merge of a friend's keys: only absent keys come over, in the friend's order, sharing its
// characters; a merge that adds nothing changes nothing, not even the stamp of a shared storage.
TEST(AcdKeys, InsertAbsentAddsTheMissingKeysLikeInsertsAndLeavesTheRest) {
  AcdFile own("A = own\nEMPTY\n");
  AcdFile other("Z = 1\nA = friend\nEMPTY = friend\nB = 2\n");
  StaticAcdRead copy(*own, "copy.acd", nullptr, nullptr, 1);
  const std::uint64_t shared = copy.version();
  EXPECT_EQ(0u, copy.insertabsent(copy));
  EXPECT_EQ(shared, copy.version());
  EXPECT_EQ(2u, copy.insertabsent(*other));
  EXPECT_NE(shared, copy.version());
  EXPECT_EQ(shared, own->version());
  EXPECT_EQ(AllKeys(copy), (Keys{{"A", "own"}, {"EMPTY", ""}, {"Z", "1"}, {"B", "2"}}));
  EXPECT_EQ(copy.getkeyeddata("B"), other->getkeyeddata("B"));
  std::string order;
  for (const Sfp_ACD::KeyValue& entry : copy) order += entry.first.get() + std::string(" ");
  EXPECT_EQ(order, "A EMPTY Z B ");
  EXPECT_EQ(2u, own->size());
}

std::string Order(const StaticAcdRead& reader) {
  std::string order;
  for (const Sfp_ACD::KeyValue& entry : reader) order += entry.first.get() + std::string(" ");
  return order;
}

// Inheriting gives what inserting the absent keys gives, in the same order, without adding them:
// the friend's later changes stay out, and a change here first makes the inherited keys its own.
TEST(AcdKeys, InheritAbsentHoldsWhatInsertAbsentAddsAndSettlesOnChange) {
  AcdFile own("A = own\nEMPTY\n");
  AcdFile near("Z = 1\nA = near\nB = near\n");
  AcdFile far("B = far\nC = far\n");
  StaticAcdRead eager(*own, "eager.acd", nullptr, nullptr, 1);
  eager.insertabsent(*near);
  eager.insertabsent(*far);
  StaticAcdRead nearInheriting(*near, "near.acd", nullptr, nullptr, 1);
  nearInheriting.inheritabsent(*far);
  StaticAcdRead lazy(*own, "lazy.acd", nullptr, nullptr, 1);
  lazy.inheritabsent(nearInheriting);
  EXPECT_NE(own->version(), lazy.version());
  const std::uint64_t once = lazy.version();
  lazy.inheritabsent(nearInheriting);  // nothing new: nothing changes
  EXPECT_EQ(once, lazy.version());
  EXPECT_TRUE(nearInheriting.insert({Text("LATE"), Text("x")}).second);

  EXPECT_EQ(nullptr, lazy.getkeyeddata("LATE"));
  EXPECT_STREQ("own", lazy.getkeyeddata("A"));
  EXPECT_STREQ("near", lazy.getkeyeddata("B"));
  EXPECT_EQ(far->getkeyeddata("C"), lazy.getkeyeddata("C"));
  EXPECT_EQ(AllKeys(eager), AllKeys(lazy));
  EXPECT_EQ("A EMPTY Z B C ", Order(lazy));
  EXPECT_EQ(5u, lazy.size());

  const std::uint64_t inherited = lazy.version();
  EXPECT_FALSE(lazy.insert({Text("C"), Text("other")}).second);
  EXPECT_EQ(inherited, lazy.version());
  EXPECT_TRUE(lazy.sortaddnewkey("D"));
  EXPECT_EQ("A EMPTY Z B C D ", Order(lazy));
  EXPECT_EQ(2u, own->size());
}

// A chain longer than the layers a reader keeps apart: the nearest value of a key wins, and two
// threads walking every key at once see the same keys.
TEST(AcdKeys, InheritAbsentAlongALongChainOnTwoThreads) {
  constexpr int kChain = 20;
  std::vector<std::unique_ptr<AcdFile>> files;
  std::vector<std::unique_ptr<StaticAcdRead>> readers(kChain);
  for (int i = kChain - 1; i >= 0; --i) {
    const std::string n = std::to_string(i);
    files.push_back(std::make_unique<AcdFile>("K" + n + " = " + n + "\nS = " + n + "\n"));
    readers[i] = std::make_unique<StaticAcdRead>(**files.back(), "r.acd", nullptr, nullptr, 1);
    if (i + 1 < kChain) readers[i]->inheritabsent(*readers[i + 1]);
  }
  const StaticAcdRead& first = *readers[0];
  EXPECT_STREQ("0", first.getkeyeddata("S"));
  EXPECT_STREQ("19", first.getkeyeddata("K19"));
  EXPECT_EQ(nullptr, first.getkeyeddata("K20"));
  Keys seen[2];
  std::thread walkers[2];
  for (int t = 0; t < 2; ++t) walkers[t] = std::thread([&, t] { seen[t] = AllKeys(first); });
  for (std::thread& walker : walkers) walker.join();
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(static_cast<std::size_t>(kChain + 1), seen[0].size());
  EXPECT_EQ(static_cast<unsigned>(kChain + 1), first.size());
}

}  // namespace
