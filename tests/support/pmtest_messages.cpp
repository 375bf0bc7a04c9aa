// Recognising a captured message by its entry in a table of messages.
#include <cstring>
#include <regex>
#include <sstream>

#include "pmtest.h"

namespace pmtest {
namespace {

// The literal pieces of a printf format around its conversions ("%%" is a literal "%"): one more
// piece than there are conversions.
std::vector<std::string> LiteralPieces(const char* format) {
  std::vector<std::string> pieces(1);
  for (const char* at = format; *at; ++at) {
    if (*at != '%' || at[1] == '%') {
      pieces.back() += *at == '%' ? *++at : *at;
    } else {  // flags, width, precision and length up to the conversion letter
      at += std::strcspn(at + 1, "diouxXeEfFgGaAcspn");
      if (at[1]) ++at;
      pieces.emplace_back();
    }
  }
  return pieces;
}

// Whether `text` is the pieces with any run of characters between each two of them.
bool MatchesPieces(const std::string& text, const std::vector<std::string>& pieces) {
  const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  std::string pattern = std::regex_replace(pieces[0], special, "\\$&");
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    pattern += "[\\s\\S]*" + std::regex_replace(pieces[i], special, "\\$&");
  }
  return std::regex_match(text, std::regex(pattern));
}

}  // namespace

bool IsFrom(const Port::Message& message, const Port::MsgEntry& entry) {
  return message.kind == entry.kind && message.code == entry.code &&
         MatchesPieces(message.text, LiteralPieces(entry.text));
}

std::string Expand(const Port::MsgEntry& entry, const std::vector<std::string>& arguments) {
  const std::vector<std::string> pieces = LiteralPieces(entry.text);
  if (arguments.size() + 1 != pieces.size()) {
    ADD_FAILURE() << entry.name << " takes " << pieces.size() - 1 << " arguments, not "
                  << arguments.size();
    return std::string();
  }
  std::string text = pieces[0];
  for (std::size_t i = 0; i < arguments.size(); ++i) text += arguments[i] + pieces[i + 1];
  return text;
}

}  // namespace pmtest

void Port::PrintTo(const Message& message, std::ostream* out) {
  *out << MsgKindName(message.kind) << ":" << message.code << " "
       << ::testing::PrintToString(message.text);
}
