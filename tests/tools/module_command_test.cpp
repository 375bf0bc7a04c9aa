// pmtool modules, info, key, locate and ventry on the bundled sample installation with its
// architecture libraries. Listing, merging, searching and resolving are the library's (pinned by
// its own tests); these pin what pmtool prints and the status it ends with.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "pmtool_runner.h"

namespace {

using pmtooltest::ExpectRuns;
using pmtooltest::kSample;

TEST(ModulesCommand, ListsSupportedBaseModeAliasedAndUnsupportedModules) {
  ExpectRuns({
      {{"modules"}, 0, "alpha\nbeta\ndelta\ngamma\nprom\n", ""},
      {{"modules", "--base", "--aliases"}, 0, "alpha\nbasic\nbeta   bravo\ndelta\ngamma\nprom\n", ""},
      {{"modules", "--aliases", "--json"}, 0,
       R"({"modules": [{"name": "alpha", "alias": null}, {"name": "beta", "alias": "bravo"},
           {"name": "delta", "alias": null}, {"name": "gamma", "alias": null},
           {"name": "prom", "alias": null}]})",
       ""},
      {{"modules", "--base", "--key", "ARCH_TYPE", "--value", "cpld"}, 0, "basic\ndelta\n", ""},
      {{"modules", "--unsupported", "--json"}, 0, R"({"unsupported": ["legacy"]})", ""},
      {{"modules", "--value", "x"}, 2, "",
       "pmtool modules: --value needs --key\nRun 'pmtool modules --help' for usage.\n"},
  });
}

TEST(InfoCommand, ShowsTheFriendChainAliasAndDefinition) {
  ExpectRuns({
      {{"info", "--json", "bravo"}, 0,
       R"({"name": "beta", "alias": "bravo", "unsupported": false, "friends": ["alpha"],
           "definition": ")" + kSample + R"(/beta/data/beta.acd"})",
       ""},
      {{"info", "gamma"}, 0, "...friends:      beta -> alpha\n", ""},
      {{"info", "legacy"}, 0, "...unsupported:  yes\n", ""},
      {{"info", "nosuch"}, 1, "",
       "pmtool info: no usable personality module \"nosuch\"\n"
       "pmtool info: the personality modules: alpha, beta, delta, gamma, prom\n"},
  });
}

TEST(KeyCommand, ReadsMergedKeysFieldsAndOtherFilesWithFriends) {
  ExpectRuns({
      // from alpha, two steps up gamma's friend chain
      {{"key", "gamma", "VENDOR"}, 0, "Korvan\n", ""},
      {{"key", "alpha", "DEVICE_INTERNAL", "1", "0"}, 0, "xcab40e\n", ""},
      {{"key", "--file", "libarch", "gamma", "DEPEND"}, 0, "gammalib\n", ""},
      {{"key", "--file", "libarch", "gamma", "TIMING"}, 0, "alphatiming\n", ""},
      {{"key", "alpha", "NO_SUCH_KEY"}, 1, "", "...no value for \"NO_SUCH_KEY\""},
      {{"key", "alpha", "K", "x"}, 2, "",
       "pmtool key: an index is a number from 0 to 32767, not \"x\"\n"
       "Run 'pmtool key --help' for usage.\n"},
      {{"key", "--file", "nothing", "alpha", "K"}, 1, "",
       "pmtool key: no copy of \"nothing\" for alpha or its friends\n"},
  });
}

TEST(LocateCommand, FindsFilesOfEveryKindReportsOverridesAndMisses) {
  const std::string alphaHelp = kSample + "/alpha/help/lin64/";
  ExpectRuns({
      {{"locate", "alpha", ".acd"}, 0, kSample + "/alpha/data/alpha.acd\n", ""},
      {{"locate", "--index", "-2", "alpha", ".nph"}, 1, "", "...\".nph\" not found for alpha"},
      {{"locate", "--no-search", "alpha", "anything.txt"}, 0,
       kSample + "/alpha/data/anything.txt\n", ""},
      {{"locate", "--help-file", "alpha", ".hlp"}, 0, alphaHelp + "usenglish/alpha.hlp\n", ""},
      {{"locate", "--help-file", "gamma", "modules.hlp"}, 0, kSample + "/help/modules.hlp\n", ""},
      {{"locate", "--dll", "gamma", "arch"}, 0, kSample + "/alpha/lib/lin64/libarch.so\n", ""},
      {{"locate", "--exec", "alpha", "map"}, 1, "", "...executable \"map\" not found for alpha"},
      {{"locate", "--exec", "--no-search", "alpha", "map"}, 0,
       kSample + "/alpha/bin/lin64/map.exe\n", ""},
      {{"locate", "--all", "--json", "gamma", "libarch.acd"}, 0,
       R"({"arch": "gamma", "name": "libarch.acd", "paths": [")" + kSample +
           R"(/gamma/data/libarch.acd", ")" + kSample + R"(/alpha/data/libarch.acd"]})",
       ""},
      // A name that climbs out of the folder searched finds nothing, even where it would land
      // back inside the installation.
      {{"locate", "alpha", "../../alpha/data/alpha.acd"}, 1, "", "...not found for alpha"},
      {{"locate", "--no-search", "alpha", "../x"}, 1, "", "...not found for alpha"},
      // Options that do not go together, or out of range.
      {{"locate", "--level", "9", "alpha", "x"}, 2, "", "..."},
      {{"locate", "--dll", "--all", "alpha", "x"}, 2, "", "..."},
      {{"locate", "--dll", "--level", "0", "alpha", "x"}, 2, "", "..."},
      {{"locate", "--exec", "--index", "0", "alpha", "x"}, 2, "", "..."},
  });
  const std::string overlay = kSample + "/overlay/beta/data/beta.acd";
  // An override is shown with --verbose, and only when the overridden file exists.
  ExpectRuns({{{"locate", "beta", ".acd"}, 0, overlay + "\n", ""},
              {{"locate", "beta", ".acd", "--verbose"}, 0, overlay + "\n",
               "pmtool locate: warning: PMSPEC: " + overlay + " overrides " + kSample +
                   "/beta/data/beta.acd\n"},
              {{"--verbose", "locate", "alpha", ".acd"}, 0, kSample + "/alpha/data/alpha.acd\n",
               ""}},
             kSample + "/overlay:" + kSample);
  setenv("KORVAN_LANG", "german", 1);
  ExpectRuns(
      {{{"locate", "--help-file", "alpha", ".hlp"}, 0, alphaHelp + "german/alpha.hlp\n", ""}});
  // A platform that is no word name is the default one, said once.
  setenv("KORVAN_PLATFORM", "../../..", 1);
  ExpectRuns({{{"locate", "--dll", "gamma", "arch"}, 0,
               kSample + "/alpha/lib/lin64/libarch.so\n",
               "pmtool locate: warning: KORVAN_PLATFORM is not a platform name (letters, digits, "
               "\"_\" and \"-\" only); lin64 is used.\n"}});
}

TEST(VentryCommand, ResolvesThePlatformEntryOrSaysWhyTheGenericOneApplies) {
  const std::string library = kSample + "/alpha/lib/lin64/libarch.so";
  ExpectRuns({
      {{"ventry", "--json", "alpha", "route"}, 0,
       R"({"arch": "alpha", "function": "route", "key": "VENTRY_LIN64_route",
           "entry": "arch_route(const char*),arch", "symbol": "arch_route", "library": "arch",
           "file": ")" + library + R"(", "loaded": true, "libraries": ["alphalib", "arch"],
           "replaced": true, "reason": null})",
       ""},
      // gamma takes the library from its friend alpha, with its own dependency file's library.
      {{"ventry", "gamma", "place"}, 0, "...libraries:  arch gammalib\n", ""},
      {{"ventry", "alpha", "pack"}, 1, "...replaced:  no, the entry is NULL\n", "..."},
      {{"ventry", "basic", "route"}, 1,
       "function:  route\nkey:       (none)\n"
       "replaced:  no, no VENTRY_LIN64_route or VENTRY_route\n",
       "pmtool ventry: \"route\" keeps its generic implementation for basic: no VENTRY_LIN64_route "
       "or VENTRY_route\n"},
      {{"ventry", "--file", "nosuch", "alpha", "route"}, 1, "",
       "pmtool ventry: no copy of \"nosuch\" for alpha or its friends\n"},
      {{"ventry", "alpha"}, 2, "", "..."},
  });
}

}  // namespace
