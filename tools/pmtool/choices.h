// The valid choices at a level of a part that was found invalid, with the ones closest to what was
// typed, so that a user never has to guess what the installation offers.
#ifndef PMTOOL_CHOICES_H
#define PMTOOL_CHOICES_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class PM_PIC;

namespace pmtool {

using Names = std::vector<std::string>;

// The level names of a part, from the top: "architecture", "device", "package", "speed".
extern const char* const kPartLevels[4];

struct LevelChoices {
  std::string what;   // the choices as a message names them: "the packages of alpha xcab12e"
  Names choices;      // every valid name at the level, in list order
  Names suggestions;  // the choices closest to what was typed, closest first
  // Why what was typed is not among the choices, when the installation shows it (a declared
  // device without its device file); no suggestion is made then.
  std::string problem;
};

// What may come next in `part` at its current depth: the devices of an architecture, the
// packages of a device or the speeds of a package.
Names CurrentList(PM_PIC& part);

// The choices at the level below `above` (the device, package or speed for 0, 1 or 2 levels
// given) of the architecture `arch`, and those closest to `typed` (empty: none asked for).
LevelChoices PartLevelChoices(const std::string& arch, const Names& above,
                              const std::string& typed);

// `choices` named as `what`, and those closest to `typed` (empty: none asked for).
LevelChoices ChoicesAmong(std::string what, Names choices, const std::string& typed);

// The installed personality modules, and those closest to `typed`.
LevelChoices ModuleChoices(const std::string& typed);

// Writes the choices and the suggestions as message lines on standard error.
void PrintChoices(const LevelChoices& choices);

// Adds "choices" and "suggestions" (and "problem" when there is one) to a JSON result.
void AddChoices(nlohmann::ordered_json& result, const LevelChoices& choices);

}  // namespace pmtool

#endif  // PMTOOL_CHOICES_H
