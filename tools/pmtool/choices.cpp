// Valid choices and did-you-mean suggestions for an invalid level of a part.
#include "choices.h"

#include <optional>
#include <string_view>

#include "definition_checks.h"
#include "output.h"
#include "pmlib/error.h"
#include "pmlib/part.h"
#include "pmlib/pmpic.h"
#include "pmlib/pmspec.h"
#include "suggest.h"

namespace pmtool {
namespace {

// "a", "a or b", "a, b or c".
std::string Alternatives(const Names& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

std::string CommaSeparated(const Names& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// The list below the levels `above`, or empty when one of them cannot be set.
Names ListBelow(const std::string& arch, const Names& above) {
  const auto level = [&above](std::size_t index) -> std::optional<std::string_view> {
    if (index < above.size()) return above[index];
    return std::nullopt;
  };
  try {
    const pmlib::Part part = pmlib::Part::fromLevels(arch, level(0), level(1));
    if ((level(0) && !part.device()) || (level(1) && !part.package())) return Names();
    return CurrentList(part.handle());
  } catch (const pmlib::Error&) {
    return Names();  // the library has said why the module does not load
  }
}

}  // namespace

LevelChoices ChoicesAmong(std::string what, Names choices, const std::string& typed) {
  LevelChoices result{std::move(what), std::move(choices), Names(), std::string()};
  if (!typed.empty()) result.suggestions = ClosestNames(typed, result.choices);
  return result;
}

const char* const kPartLevels[4] = {"architecture", "device", "package", "speed"};

Names CurrentList(PM_PIC& part) {
  part.make_list(nullptr, nullptr, 0);
  return Names(part.begin(false), part.end(false));
}

LevelChoices PartLevelChoices(const std::string& arch, const Names& above,
                              const std::string& typed) {
  std::string what = std::string("the ") + kPartLevels[above.size() + 1] + "s of " + arch;
  for (const std::string& level : above) what += " " + level;
  LevelChoices choices = ChoicesAmong(std::move(what), ListBelow(arch, above), typed);
  if (above.empty() && !typed.empty()) choices.problem = MissingDeviceFileProblem(arch, typed);
  if (!choices.problem.empty()) choices.suggestions.clear();
  return choices;
}

LevelChoices ModuleChoices(const std::string& typed) {
  PM_SPEC lister(nullptr, PM_BINDING_ALLOW_UNSUPPORTED);
  lister.make_list(nullptr, nullptr, 0);
  return ChoicesAmong("the personality modules", Names(lister.begin(false), lister.end(false)),
                      typed);
}

void PrintChoices(const LevelChoices& choices) {
  PrintError(choices.choices.empty() ? choices.what + ": none"
                                     : choices.what + ": " + CommaSeparated(choices.choices));
  if (!choices.problem.empty()) PrintError(choices.problem);
  if (!choices.suggestions.empty()) {
    PrintError("did you mean " + Alternatives(choices.suggestions) + "?");
  }
}

void AddChoices(nlohmann::ordered_json& result, const LevelChoices& choices) {
  result["choices"] = choices.choices;
  result["suggestions"] = choices.suggestions;
  if (!choices.problem.empty()) result["problem"] = choices.problem;
}

}  // namespace pmtool
