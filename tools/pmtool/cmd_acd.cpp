// pmtool acd: definition files (.acd).
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "command.h"
#include "output.h"
#include "pmport/sfp_acd.h"

namespace pmtool {
namespace {

// The separators of the installation's definition values: ":" between fields, "," between the
// subfields of a field.
const char kFieldSeparator = ':';
const char kSubfieldSeparator = ',';
const int kMaxIndex = 32767;  // indexes are shorts in the reader's interface

// The reader of `file`, or null after saying why it cannot be read.
std::unique_ptr<StaticAcdRead> ReadDefinition(const std::string& file) {
  auto reader = std::make_unique<StaticAcdRead>(file.c_str(), "", nullptr, 1, 0, 0);
  if (reader->IsValid()) return reader;
  const std::string reason = UnreadableReason(file);
  PrintError("cannot read " + file + ": " + (reason.empty() ? "it holds no key" : reason));
  return nullptr;
}

// A field or subfield index given on the command line: decimal digits, 0 to kMaxIndex.
std::optional<int> ParseIndex(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const int index = std::stoi(text);
  return index <= kMaxIndex ? std::optional<int>(index) : std::nullopt;
}

// The addressed part of a key's value, or the reason it is not there.
struct Lookup {
  std::string value;
  std::string problem;
};

Lookup Address(const StaticAcdRead& reader, const std::string& key, std::optional<int> field,
               std::optional<int> subfield) {
  const char* const raw = reader.getkeyeddata(key.c_str());
  if (!raw) return {"", "no key " + Quoted(key)};
  if (!field) return {raw, ""};
  // Exact counts: a value may hold more fields than the greatest index.
  const std::size_t fields = Sfp_ACD::CountFields(raw, kFieldSeparator);
  if (static_cast<std::size_t>(*field) >= fields) {
    return {"", key + " has " + std::to_string(fields) + " field(s); there is no field " +
                    std::to_string(*field)};
  }
  if (subfield) {
    const std::size_t subfields =
        Sfp_ACD::CountSubfields(raw, kFieldSeparator, *field, kSubfieldSeparator);
    if (static_cast<std::size_t>(*subfield) >= subfields) {
      return {"", "field " + std::to_string(*field) + " of " + key + " has " +
                      std::to_string(subfields) + " subfield(s); there is no subfield " +
                      std::to_string(*subfield)};
    }
  }
  const char fieldSeparator[] = {kFieldSeparator, '\0'};
  const char subfieldSeparator[] = {kSubfieldSeparator, '\0'};
  const Port::String value = reader.GetStringByKey(
      key.c_str(), fieldSeparator, static_cast<short>(*field),
      subfield ? subfieldSeparator : nullptr, static_cast<short>(subfield.value_or(0)));
  return {value.str(), ""};
}

int RunGet(const Invocation& invocation) {
  const std::string& file = invocation.positional(0);
  const std::string& key = invocation.positional(1);
  std::optional<int> field;
  std::optional<int> subfield;
  for (std::size_t i = 2; i < invocation.npositionals(); ++i) {
    const std::optional<int> index = ParseIndex(invocation.positional(i));
    if (!index) {
      return UsageError("an index is a number from 0 to " + std::to_string(kMaxIndex) + ", not " +
                            Quoted(invocation.positional(i)),
                        invocation.path);
    }
    (i == 2 ? field : subfield) = index;
  }
  const auto reader = ReadDefinition(file);
  if (!reader) return kExitProblem;
  const Lookup lookup = Address(*reader, key, field, subfield);
  if (!lookup.problem.empty()) {
    PrintError(file + ": " + lookup.problem);
    return kExitProblem;
  }
  if (invocation.json()) {
    nlohmann::ordered_json result = {{"file", file}, {"key", key}};
    if (field) result["field"] = *field;
    if (subfield) result["subfield"] = *subfield;
    result["value"] = lookup.value;
    PrintJson(result);
  } else {
    PrintLine(lookup.value);
  }
  return kExitOk;
}

// The keys of a definition as a JSON object, in the reader's order. The reader's keys are
// distinct, so each goes straight to the end: the object's own insert would first search every
// member before it, which makes a large definition take quadratic time.
nlohmann::ordered_json KeysObject(const StaticAcdRead& reader) {
  nlohmann::ordered_json keys = nlohmann::ordered_json::object();
  auto& members = keys.get_ref<nlohmann::ordered_json::object_t&>();
  for (const Sfp_ACD::KeyValue& entry : reader) {
    members.emplace_back(entry.first.get(), entry.second.get());
  }
  return keys;
}

int RunDump(const Invocation& invocation) {
  const std::string& file = invocation.positional(0);
  const auto reader = ReadDefinition(file);
  if (!reader) return kExitProblem;
  if (invocation.json()) {
    PrintJson({{"file", file}, {"keys", KeysObject(*reader)}});
    return kExitOk;
  }
  Table table;
  for (const Sfp_ACD::KeyValue& entry : *reader) {
    table.add({entry.first.get(), "=", entry.second.get()});
  }
  std::cout << table.str("", 1);
  return kExitOk;
}

const OptionDoc kJson = {"json", nullptr, "print the result as JSON"};

Family MakeAcdFamily() {
  Command get{
      "get",
      "FILE KEY [FIELD [SUBFIELD]]",
      "print a key's value, or one field or subfield of it",
      {kJson},
      "Prints the value of KEY in the definition file FILE. With FIELD, prints only that field\n"
      "of the value (fields are separated by \":\", counted from 0); with SUBFIELD too, only\n"
      "that subfield of the field (subfields are separated by \",\", counted from 0). Blanks\n"
      "around a field are removed.\n"
      "\n"
      "With --json: {\"file\": FILE, \"key\": KEY, \"field\": FIELD, \"subfield\": SUBFIELD,\n"
      "\"value\": VALUE}, FIELD and SUBFIELD only when given.\n",
      "  pmtool acd get alpha.acd ARCH_NAME                # alpha\n"
      "  pmtool acd get alpha.acd DEVICE_INTERNAL 1        # xcab40e,ab40e\n"
      "  pmtool acd get alpha.acd DEVICE_INTERNAL 1 0      # xcab40e\n"
      "  pmtool acd get --json alpha.acd DEVICE_FORMAT\n",
      "  0  the value was printed\n"
      "  1  FILE cannot be read or holds no key, or KEY, FIELD or SUBFIELD is not there\n",
      2,
      4,
      RunGet};
  Command dump{
      "dump",
      "FILE",
      "print every key of a definition file with its value",
      {kJson},
      "Prints every key of the definition file FILE with its value, one \"KEY = VALUE\" line\n"
      "each, in the order the keys first appear. Continued lines are joined; a key given twice\n"
      "shows its later value.\n"
      "\n"
      "With --json: {\"file\": FILE, \"keys\": {KEY: VALUE, ...}}.\n",
      "  pmtool acd dump alpha.acd\n"
      "  pmtool acd dump --json alpha.acd\n",
      "  0  the keys were printed\n"
      "  1  FILE cannot be read or holds no key\n",
      1,
      1,
      RunDump};
  return Family{"acd",
                "Definition files (.acd): keys with text values, one a line.",
                {std::move(get), std::move(dump)}};
}

}  // namespace

const Family& AcdFamily() {
  static const Family family = MakeAcdFamily();
  return family;
}

}  // namespace pmtool
