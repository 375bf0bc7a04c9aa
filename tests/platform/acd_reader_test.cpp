// The definition-file reader: field addressing, the file format, multi-file reads, deciphering,
// insertion and iteration.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "pmport/sfp_acd.h"
#include "pmtest.h"

namespace {

using Port::String;

// A reader over one file written with `content`, read at construction as direct users do.
class AcdFile {
 public:
  explicit AcdFile(const std::string& content, unsigned char decode = 1)
      : path_(dir_ / "def.acd") {
    pmtest::WriteFile(path_, content);
    reader_ = std::make_unique<StaticAcdRead>(path_.c_str(), nullptr, nullptr, decode, 0, 1);
  }
  StaticAcdRead& operator*() { return *reader_; }
  StaticAcdRead* operator->() { return reader_.get(); }
  const std::string& path() const { return path_; }

 private:
  pmtest::TempDir dir_;
  std::string path_;
  std::unique_ptr<StaticAcdRead> reader_;
};

std::map<std::string, std::string> AllKeys(const StaticAcdRead& reader) {
  std::map<std::string, std::string> keys;
  for (auto it = reader.begin(); it != reader.end(); ++it) keys[it->first.get()] = (*it).second.get();
  return keys;
}

std::pair<short, short> Bounds(short fields, short subfields) { return {fields, subfields}; }

boost::shared_array<char> Text(const char* text) {
  boost::shared_array<char> copy(new char[std::strlen(text) + 1]);
  std::strcpy(copy.get(), text);
  return copy;
}

TEST(AcdFieldAddressing, FieldsAndSubfieldsOfTheLibrarysValues) {
  const char* value = "a : b,c: d";
  EXPECT_EQ(StaticAcdRead::GetStringFromString(value, ':', 0, ',', 0), "a");
  EXPECT_EQ(StaticAcdRead::GetStringFromString(value, ':', 1, ',', 0), "b");
  EXPECT_EQ(StaticAcdRead::GetStringFromString(value, ':', 1, ',', 1), "c");
  // A ":" comes before a second ",": there is no third subfield.
  EXPECT_EQ(StaticAcdRead::GetStringFromString(value, ':', 1, ',', 2), "");
  EXPECT_EQ(StaticAcdRead::GetStringFromString(value, ':', 2, ',', 0), "d");
  EXPECT_EQ(StaticAcdRead::GetStringFromString(value, ':', 3, ',', 0), "");
  EXPECT_EQ(StaticAcdRead::GetStringFromString(value, ':', 1, 0, 0), "b,c");
  EXPECT_EQ(StaticAcdRead::GetStringFromString("a::b", ':', 1, 0, 0), "");
  EXPECT_EQ(StaticAcdRead::GetStringFromString("a:b", ':', -1, 0, 0), "");
  EXPECT_EQ(StaticAcdRead::GetStringFromString("a:b", ':', 0, ',', -1), "");
}

TEST(AcdFieldAddressing, WithoutSeparatorsTheWholeValueStrippedOfSpaces) {
  EXPECT_EQ(StaticAcdRead::GetStringFromString("  x  y  ", 0, 0, 0, 0), "x  y");
  EXPECT_EQ(StaticAcdRead::GetStringFromString("   ", 0, 0, 0, 0), "");
  EXPECT_EQ(StaticAcdRead::GetStringFromString("", 0, 0, 0, 0), "");
  EXPECT_EQ(StaticAcdRead::GetStringFromString(nullptr, ':', 0, ',', 0), "");
  // Only spaces are stripped, not tabs.
  EXPECT_EQ(StaticAcdRead::GetStringFromString("\tx\t", 0, 0, 0, 0), "\tx\t");
}

TEST(AcdFieldAddressing, SubfieldSeparatorWithoutFieldSeparatorSplitsTheWholeValue) {
  EXPECT_EQ(StaticAcdRead::GetStringFromString("a, b ,c", 0, 0, ',', 1), "b");
  EXPECT_EQ(StaticAcdRead::GetStringFromString("a,b:c", 0, 0, ',', 1), "b:c");
  EXPECT_EQ(StaticAcdRead::GetStringFromString("a,b", 0, 0, ',', 2), "");
}

TEST(AcdFieldAddressing, ReaderFormsAddressKeysAndStringsAlike) {
  AcdFile file("K = a : b,c: d\nBLANK =   \n");
  // Separators are pointers to one character, not necessarily terminated.
  const char separators[2] = {':', ','};
  EXPECT_EQ(file->GetStringByKey("K", &separators[0], 1, &separators[1], 1), "c");
  EXPECT_EQ(file->GetStringByKey("K", 0, 0, 0, 0), "a : b,c: d");
  EXPECT_EQ(file->GetStringByKey("BLANK", 0, 0, 0, 0), "");
  EXPECT_EQ(file->GetStringByKey("ABSENT", ":", 0, 0, 0), "");
  EXPECT_EQ(file->GetStringByString(" x : y ", ":", 1, 0, 0), "y");
  EXPECT_EQ(file->GetStringByString(nullptr, ":", 0, 0, 0), "");
}

TEST(AcdIndexBounds, FieldCountAndGreatestSubfieldCount) {
  AcdFile file("K = a,b : c,d,e : f\nEMPTY =\nPLAIN = word\n");
  EXPECT_EQ(file->GetMaxIndex("K", ':', ','), Bounds(3, 3));
  EXPECT_EQ(file->GetMaxIndex("K", ':', 0), Bounds(3, 1));
  EXPECT_EQ(file->GetMaxIndex("PLAIN", ':', ','), Bounds(1, 1));
  EXPECT_EQ(file->GetMaxIndex("EMPTY", ':', ','), Bounds(0, 0));
  EXPECT_EQ(file->GetMaxIndex("ABSENT", ':', ','), Bounds(0, 0));
  EXPECT_EQ(StaticAcdRead::GetMaxIndexFromString("x,y", 0, ','), Bounds(1, 2));
}

TEST(AcdIndexBounds, LowerCaseFormsCountFieldsThenSubfieldsOfOneField) {
  AcdFile file("K = a,b : c,d,e : f\n");
  short field = -1, count2 = -1;
  file->getmaxindex("K", ":", field, nullptr, count2);
  EXPECT_EQ(field, 3);
  EXPECT_EQ(count2, -1);
  field = 1;
  file->getmaxindex("K", ":", field, ",", count2);
  EXPECT_EQ(field, 1);
  EXPECT_EQ(count2, 3);
  field = 3;
  file->getmaxindex("K", ":", field, ",", count2);
  EXPECT_EQ(count2, 0);
  field = 0;
  file->getmaxindex("ABSENT", ":", field, nullptr, count2);
  EXPECT_EQ(field, 0);
  field = 0;
  StaticAcdRead::getmaxindexbystring("p,q,r", nullptr, field, ",", count2);
  EXPECT_EQ(count2, 3);
}

TEST(AcdFormat, KeysValuesCommentsAndContinuations) {
  AcdFile file(
      "# alpha: the architecture's own definition\n"
      "ARCH_NAME      = alpha\n"
      "ARCH_FRIEND    = alpha\n"
      "DEVICE_INTERNAL = xcab12e,ab12e_int:xcab40e,ab40e_int,ab40e_alt\n"
      "DEVICE_FORMAT  = #^x?c?ab[0-9]+e\n"
      "LONG_LIST      = one,two,\\\n"
      "                 three\n");
  ASSERT_TRUE(file->IsValid());
  EXPECT_EQ(file->size(), 5u);
  EXPECT_STREQ(file->getkeyeddata("ARCH_NAME"), "alpha");
  EXPECT_STREQ(file->getkeyeddata("DEVICE_INTERNAL"), "xcab12e,ab12e_int:xcab40e,ab40e_int,ab40e_alt");
  EXPECT_STREQ(file->getkeyeddata("DEVICE_FORMAT"), "#^x?c?ab[0-9]+e");
  EXPECT_STREQ(file->getkeyeddata("LONG_LIST"), "one,two,three");
  EXPECT_EQ(file->getkeyeddata("arch_name"), nullptr);
  EXPECT_EQ(file->getkeyeddata(nullptr), nullptr);
  EXPECT_STREQ(file->getlocation(), file.path().c_str());
}

TEST(AcdFormat, SeparatorsBlanksAndEmptyValues) {
  AcdFile file(
      "\t  SPACED   value with  inner  blanks \t\n"
      "TIGHT=v\n"
      "TWICE = a = b\n"
      "BARE\n"
      "BARE_EQ =\n"
      "= no key here\n"
      "   # an indented comment\n"
      "\n"
      "MIDDLE = back\\slash\n"
      "LAST = no newline");
  EXPECT_EQ(AllKeys(*file), (std::map<std::string, std::string>{{"SPACED", "value with  inner  blanks"},
                                                                {"TIGHT", "v"},
                                                                {"TWICE", "a = b"},
                                                                {"BARE", ""},
                                                                {"BARE_EQ", ""},
                                                                {"MIDDLE", "back\\slash"},
                                                                {"LAST", "no newline"}}));
  ASSERT_NE(file->getkeyeddata("BARE"), nullptr);
}

TEST(AcdFormat, ContinuationCorners) {
  AcdFile file(
      "A = x\\\n"
      "   # not a comment\\\n"
      "\ty\n"
      "B = one\\\n"
      "\n"
      "C = two\n"
      "END = tail\\");
  EXPECT_STREQ(file->getkeyeddata("A"), "x# not a commenty");
  EXPECT_STREQ(file->getkeyeddata("B"), "one");
  EXPECT_STREQ(file->getkeyeddata("C"), "two");
  EXPECT_STREQ(file->getkeyeddata("END"), "tail");
}

TEST(AcdFormat, CrLfLineEndsReadLikeLfOnes) {
  AcdFile crlf("# c\r\nK = v \r\nL = a,\\\r\n  b\r\nE\r\n");
  EXPECT_EQ(AllKeys(*crlf), (std::map<std::string, std::string>{{"K", "v"}, {"L", "a,b"}, {"E", ""}}));
}

TEST(AcdFormat, LaterKeyWinsAndIsCountedOnce) {
  AcdFile file("K = first\nOTHER = o\nK = second\n");
  EXPECT_STREQ(file->getkeyeddata("K"), "second");
  EXPECT_EQ(file->size(), 2u);
}

TEST(AcdFormat, NoKeysOrNoFileLeavesTheReaderInvalid) {
  AcdFile comments("# only a comment\n\n   \n");
  EXPECT_FALSE(comments->IsValid());
  AcdFile empty("");
  EXPECT_FALSE(empty->IsValid());

  pmtest::TempDir dir;
  EXPECT_FALSE(StaticAcdRead((dir / "missing.acd").c_str(), nullptr, nullptr, 1, 0, 1).IsValid());
  EXPECT_FALSE(StaticAcdRead(dir.path().c_str(), nullptr, nullptr, 1, 0, 1).IsValid());
  StaticAcdRead none("", nullptr, nullptr, 1, 0, 1);
  EXPECT_FALSE(none.IsValid());
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.GetStringByKey("K", 0, 0, 0, 0), "");
  EXPECT_FALSE(StaticAcdRead(nullptr, nullptr, nullptr, 0, 0, 0).IsValid());
}

TEST(AcdFormat, LargeFileKeepsEveryKey) {
  std::string content;
  const std::string filler(1000, 'v');
  for (int i = 0; i < 10000; ++i) content += "KEY_" + std::to_string(i) + " = " + std::to_string(i) + filler + "\n";
  AcdFile file(content);
  ASSERT_EQ(file->size(), 10000u);
  for (int i = 0; i < 10000; ++i) {
    const std::string key = "KEY_" + std::to_string(i);
    const char* value = file->getkeyeddata(key.c_str());
    ASSERT_NE(value, nullptr) << key;
    ASSERT_EQ(value, std::to_string(i) + filler);
  }
  EXPECT_EQ(file->getkeyeddata("KEY_10000"), nullptr);
}

TEST(AcdKeyIndex, FindsWhatWasAddedAcrossGrowth) {
  Sfp_ACD::KeyIndex index;
  EXPECT_EQ(index.find("a"), Sfp_ACD::KeyIndex::kNone);
  std::vector<std::string> keys;
  for (int i = 0; i < 1000; ++i) keys.push_back("k" + std::to_string(i));
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_TRUE(index.insert(keys[i], i).second);
  EXPECT_EQ(index.insert("k7", 5000), std::make_pair(std::size_t{7}, false));
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(index.find(keys[i]), i);
  EXPECT_EQ(index.find("k1000"), Sfp_ACD::KeyIndex::kNone);
  EXPECT_EQ(index.find(""), Sfp_ACD::KeyIndex::kNone);
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

TEST(AcdReader, ConstructionRecordsNamesAndSearchKeys) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "a.acd", "K = v\n");
  char first[] = "xcab12e";
  char second[] = "xcab12e:tq144";
  char* const searchkeys[] = {first, second, nullptr};
  StaticAcdRead reader((dir / "a.acd").c_str(), "a.acd:alpha:-:-:ftt", searchkeys, 0, 0, 0);
  EXPECT_STREQ(reader.getcomparename(), "a.acd:alpha:-:-:ftt");
  EXPECT_EQ(reader.getnsearchkeys(), 2);
  EXPECT_EQ(reader.getsearchkeys()[1], "xcab12e:tq144");
  EXPECT_STREQ(StaticAcdRead("", nullptr, nullptr, 0, 0, 0).getcomparename(), "");
}

TEST(AcdReader, WithFriendsTheCallerReadsEveryFileAndTheLastReadWins) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "friend.acd", "ARCH_NAME = beta\nONLY_FRIEND = f\n");
  pmtest::WriteFile(dir / "own.acd", "ARCH_NAME = alpha\nONLY_OWN = o\n");
  StaticAcdRead reader((dir / "own.acd").c_str(), "own", nullptr, 0, 1, 0);
  EXPECT_FALSE(reader.IsValid());  // the constructor left the reading to its caller
  EXPECT_EQ(reader.size(), 0u);
  EXPECT_STREQ(reader.getlocation(), (dir / "own.acd").c_str());

  EXPECT_TRUE(reader.ReadFile((dir / "friend.acd").c_str()));
  EXPECT_FALSE(reader.ReadFile((dir / "missing.acd").c_str()));
  EXPECT_TRUE(reader.ReadFile((dir / "own.acd").c_str()));
  EXPECT_TRUE(reader.Decode(0));
  EXPECT_EQ(AllKeys(reader), (std::map<std::string, std::string>{
                                 {"ARCH_NAME", "alpha"}, {"ONLY_FRIEND", "f"}, {"ONLY_OWN", "o"}}));
}

TEST(AcdDecode, PlainFileReadsTheSameEitherWay) {
  const std::string content = "A = 1\nB = x:y\n# c\n";
  AcdFile plain(content, 0), decoded(content, 1);
  EXPECT_EQ(AllKeys(*plain), AllKeys(*decoded));
  EXPECT_EQ(AllKeys(*plain).size(), 2u);
}

TEST(AcdDecode, EncipheredFileIsDecipheredWhenDecodeIsSet) {
  const std::string plain = "ARCH_NAME = alpha\nLIST = a,\\\n  b:c\n# comment\nEMPTY\n";
  const std::string enciphered = Sfp_ACD::Encipher(plain);
  ASSERT_EQ(enciphered.find("alpha"), std::string::npos);

  AcdFile decoded(enciphered, 1);
  EXPECT_EQ(AllKeys(*decoded),
            (std::map<std::string, std::string>{{"ARCH_NAME", "alpha"}, {"LIST", "a,b:c"}, {"EMPTY", ""}}));

  // Read without decode, the file is held back until Decode is asked for.
  AcdFile held(enciphered, 0);
  EXPECT_FALSE(held->IsValid());
  EXPECT_EQ(held->size(), 0u);
  EXPECT_TRUE(held->Decode(1));
  EXPECT_STREQ(held->getkeyeddata("LIST"), "a,b:c");

  AcdFile dropped(enciphered, 0);
  EXPECT_FALSE(dropped->Decode(0));
  EXPECT_FALSE(dropped->Decode(1));
}

TEST(AcdDecode, EncipheredCrLfFileAndFriendChain) {
  pmtest::TempDir dir;
  std::string friendText = Sfp_ACD::Encipher("K = friend\r\nF = 1\r\n");
  friendText.insert(std::strlen(Sfp_ACD::kEncipheredMarker), "\r");
  pmtest::WriteFile(dir / "friend.acd", friendText);
  pmtest::WriteFile(dir / "own.acd", "K = own\n");
  StaticAcdRead reader((dir / "own.acd").c_str(), nullptr, nullptr, 1, 1, 0);
  reader.ReadFile((dir / "friend.acd").c_str());
  reader.ReadFile((dir / "own.acd").c_str());
  reader.Decode(1);
  EXPECT_EQ(AllKeys(reader), (std::map<std::string, std::string>{{"K", "own"}, {"F", "1"}}));
}

TEST(AcdKeys, InsertAddsOnlyAbsentKeysAndSharesTheArrays) {
  AcdFile file("A = 1\nB = 2\n");
  const auto value = Text("friend value");
  auto added = file->insert({Text("C"), value});
  EXPECT_TRUE(added.second);
  EXPECT_STREQ(added.first->first.get(), "C");
  EXPECT_EQ(added.first->second.get(), value.get());

  auto kept = file->insert({Text("A"), Text("other")});
  EXPECT_FALSE(kept.second);
  EXPECT_STREQ((*kept.first).second.get(), "1");
  EXPECT_STREQ(file->getkeyeddata("A"), "1");

  EXPECT_FALSE(file->insert({boost::shared_array<char>(), Text("x")}).second);
  EXPECT_TRUE(file->insert({Text("NULLVALUE"), boost::shared_array<char>()}).second);
  EXPECT_STREQ(file->getkeyeddata("NULLVALUE"), "");
  EXPECT_EQ(file->size(), 4u);
}

TEST(AcdKeys, IterationVisitsEveryKeyOnceInFirstReadOrder) {
  AcdFile file("Z = 1\nA = 2\nZ = 3\nM = 4\n");
  std::string order;
  for (auto it = file->begin(); it != file->end(); it++) order += it->first.get();
  EXPECT_EQ(order, "ZAM");
  const StaticAcdRead empty("", nullptr, nullptr, 0, 0, 0);
  EXPECT_TRUE(empty.begin() == empty.end());
}

TEST(AcdKeys, SortAddNewKeyMakesAKeyPresentWithoutChangingOne) {
  AcdFile file("A = 1\n");
  EXPECT_TRUE(file->sortaddnewkey("NEW"));
  EXPECT_STREQ(file->getkeyeddata("NEW"), "");
  EXPECT_FALSE(file->sortaddnewkey("A"));
  EXPECT_STREQ(file->getkeyeddata("A"), "1");
  EXPECT_FALSE(file->sortaddnewkey(nullptr));
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
  EXPECT_STREQ("copy", copy.getcomparename());
  EXPECT_EQ(1, copy.getnsearchkeys());
  EXPECT_EQ(file->version(), copy.version());

  const std::uint64_t shared = copy.version();
  EXPECT_FALSE(copy.insert({Text("A"), Text("other")}).second);  // present: nothing changes
  EXPECT_EQ(shared, copy.version());
  EXPECT_TRUE(copy.insert({Text("C"), Text("3")}).second);
  EXPECT_NE(shared, copy.version());
  EXPECT_EQ(shared, file->version());
  EXPECT_EQ(nullptr, file->getkeyeddata("C"));
  EXPECT_STREQ("3", copy.getkeyeddata("C"));
  EXPECT_TRUE(file->sortaddnewkey("D"));
  EXPECT_EQ(nullptr, copy.getkeyeddata("D"));
  EXPECT_NE(shared, file->version());
}

}  // namespace
