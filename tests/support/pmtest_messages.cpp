// Recognising a captured message by its entry in a table of messages.
#include <cstring>
#include <sstream>

#include "pmtest.h"

namespace pmtest {
namespace {

// The literal pieces of a printf format around its conversions ("%%" is a literal "%"): one more
// piece than there are conversions.
std::vector<std::string> LiteralPieces(const char* format) {
  std::vector<std::string> pieces(1);
  for (const char* at = format; *at; ++at) {
    if (*at != '%') {
      pieces.back() += *at;
    } else if (at[1] == '%') {
      pieces.back() += *++at;
    } else {
      // Flags, width, precision and length up to the conversion letter.
      while (at[1] && !std::strchr("diouxXeEfFgGaAcspn", at[1])) ++at;
      if (at[1]) ++at;
      pieces.emplace_back();
    }
  }
  return pieces;
}

// Whether `text` is the pieces with any run of characters between each two of them.
bool MatchesPieces(const std::string& text, const std::vector<std::string>& pieces) {
  if (pieces.size() == 1) return text == pieces[0];
  const std::string& first = pieces.front();
  const std::string& last = pieces.back();
  if (text.size() < first.size() + last.size()) return false;
  if (text.compare(0, first.size(), first) != 0) return false;
  if (text.compare(text.size() - last.size(), last.size(), last) != 0) return false;
  // Leftmost placement of each middle piece is as good as any for a pattern of wildcards.
  std::size_t from = first.size();
  const std::size_t end = text.size() - last.size();
  for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
    const std::size_t found = text.find(pieces[i], from);
    if (found == std::string::npos || found + pieces[i].size() > end) return false;
    from = found + pieces[i].size();
  }
  return true;
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

::testing::AssertionResult Issued(const MessageCapture& capture, const Port::MsgEntry& entry) {
  const std::vector<Port::Message> messages = capture.messages();
  for (const Port::Message& message : messages) {
    if (IsFrom(message, entry)) return ::testing::AssertionSuccess();
  }
  std::ostringstream held;
  for (const Port::Message& message : messages) held << "\n  " << ::testing::PrintToString(message);
  return ::testing::AssertionFailure() << "no message from " << entry.name << " among the "
                                       << messages.size() << " captured:" << held.str();
}

}  // namespace pmtest

void Port::PrintTo(const Message& message, std::ostream* out) {
  *out << MsgKindName(message.kind) << ":" << message.code << " "
       << ::testing::PrintToString(message.text);
}
