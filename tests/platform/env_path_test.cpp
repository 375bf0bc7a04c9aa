// The environment helpers and the installation path list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "pmport/port_env.h"
#include "pmport/port_path.h"
#include "pmtest.h"
#include "port_messages.h"

namespace {

using testing::ElementsAre;

using Entries = std::vector<Port::String>;

// Unset, empty, or not a word name (reported once) the platform and language fall back.
TEST(PortEnv, PlatformAndLanguageFromTheEnvironmentOrFallBackAndTheRulesForNamesInPaths) {
  unsetenv("KORVAN_PLATFORM");
  unsetenv("KORVAN_LANG");
  const std::string fallback = Port_Env::GetPlatformPath();
  EXPECT_TRUE(Port::IsWordName(fallback) && std::string(Port_Env::GetLang()) == "usenglish");
  const pmtest::MessageCapture capture;
  for (const char* notAWord : {"", "../../..", "de/../.."}) {
    setenv("KORVAN_PLATFORM", notAWord, 1);
    setenv("KORVAN_LANG", notAWord, 1);
    EXPECT_EQ(Port_Env::GetPlatformPath(), fallback) << notAWord;
    EXPECT_STREQ(Port_Env::GetLang(), "usenglish") << notAWord;
  }
  EXPECT_THAT(capture.messages(), ElementsAre(pmtest::From(Port::msg::NotAWordName),
                                              pmtest::From(Port::msg::NotAWordName)));
  setenv("KORVAN_PLATFORM", "lin", 1);
  setenv("KORVAN_LANG", "german", 1);
  EXPECT_EQ(std::string(Port_Env::GetPlatformPath()) + " " + Port_Env::GetLang(), "lin german");

  // The one rule for names joined into paths: a row per kind of name and its verdicts.
  // a name: whether it is plain, a relative sub-path, a word
  const std::tuple<std::string, bool, bool, bool> rows[] = {
      {"alpha", true, true, true},
      {"lin-64_x", true, true, true},
      {"a.acd", true, true, false},
      {"", false, false, false},
      {".", false, false, false},
      {"..", false, false, false},
      {"../evilmod", false, false, false},
      {"sub/file.txt", false, true, false},
      {"sub//file", false, false, false},
      {"sub/../x", false, false, false},
      {"/abs", false, false, false},
      {"sub/", false, false, false},
      {std::string("a\0b", 3), false, false, false},
  };
  for (const auto& [text, plain, subPath, word] : rows) {
    EXPECT_EQ(plain, Port::IsPlainName(text)) << text;
    EXPECT_EQ(subPath, Port::IsRelativeSubPath(text)) << text;
    EXPECT_EQ(word, Port::IsWordName(text)) << text;
  }

  // A separator is added only when neither side has one.
  EXPECT_EQ(Port::JoinPath("/inst/", "data") + " " + Port::JoinPath("/inst", "/data") + " " +
                Port::JoinPath("c:\\inst\\", "data") + " " + Port::JoinPath("/inst", "\\data") +
                " " + Port::JoinPath("", "data"),
            "/inst/data /inst/data c:\\inst\\data /inst\\data /data");
}

// Set replaces the list with cleaned entries; an empty list has no last entry, and a search path
// without entries, or none at all, gives an empty list.
TEST(KorvanPath, ParsesTheVariableOnFirstUseAndSetReplacesIt) {
  setenv("KORVAN_PATH", "/site/:::/opt/base//:relative", 1);
  const Port::PathList& paths = Port::KorvanPath::GetInstance();
  EXPECT_EQ(Entries(paths.begin(), paths.end()), (Entries{"/site", "/opt/base", "relative"}));
  Port::PathListIterator it = paths.last();
  EXPECT_EQ(*it, "relative");
  EXPECT_EQ(*--it, "/opt/base");
  EXPECT_EQ(*it--, "/opt/base");
  EXPECT_EQ(it, paths.begin());
  // Built once: later changes of the variable are not seen.
  setenv("KORVAN_PATH", "/elsewhere", 1);
  EXPECT_EQ(Port::KorvanPath::GetInstance().size(), 3u);
  Port::KorvanPath::Set({"/one/", "", "/two", "/"});
  EXPECT_EQ(Entries(paths.begin(), paths.end()), (Entries{"/one", "/two", "/"}));
  Port::KorvanPath::Set({});
  EXPECT_TRUE(paths.empty() && paths.last() == paths.end());
  for (const char* none : {static_cast<const char*>(nullptr), "", ":::"})
    EXPECT_TRUE(Port::PathList::FromSearchPath(none).empty()) << (none ? none : "(null)");
}

}  // namespace
