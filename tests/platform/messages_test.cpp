// Message delivery: formatting, the default handler's lines and a handler's own messages. Delivery
// from many threads at once is the stress suite's (tests/stress).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pmport/port_msg.h"
#include "pmtest.h"

namespace {

Port_MsgManData Here(int line) {
  return Port_MsgManData::createObject("PersonalityModule", "messages_test", line, "1");
}

TEST(Messages, EachKindArrivesWholeHandlersChainAndEmptyRestoresTheDefault) {
  const std::string longName(10000, 'n');
  pmtest::MessageCapture capture;
  Here(10).issueFatal(22, "Bad pattern found for PM %s\n", "alpha");
  Here(11).issueUserFatal(33, "missing %d\n", 3);
  Here(12).issueWarning("Wrong vendor name <%s>\n", longName.c_str());
  Here(13).issueStatus("%s", " ");
  Here(14).issueInternal("No PM_SPEC specified.\n");
  Port_MsgManData::debugStub("trace %s\n", "x");
  std::vector<std::string> delivered;
  // Every field of each message, so that whole deliveries compare at once.
  for (const Port::Message& m : capture.messages())
    delivered.push_back(std::string(Port::MsgKindName(m.kind)) + " " + std::to_string(m.code) +
                        " " + m.domain + " " + m.unit + " " + std::to_string(m.line) + " " +
                        m.text);
  const std::string here = " PersonalityModule messages_test ";
  EXPECT_EQ(delivered,
            (std::vector<std::string>{
                "FATAL 22" + here + "10 Bad pattern found for PM alpha\n",
                "USERFATAL 33" + here + "11 missing 3\n",
                "WARNING 0" + here + "12 Wrong vendor name <" + longName + ">\n",
                "STATUS 0" + here + "13  ", "INTERNAL 0" + here + "14 No PM_SPEC specified.\n",
                "DEBUG 0   0 trace x\n"}));

  // A handler may issue messages itself; setting another returns it.
  std::vector<std::string> texts;
  Port::SetMsgHandler([&texts](const Port::Message& message) {
    texts.push_back(message.text);
    if (message.kind == Port::MsgKind::Warning) Here(2).issueStatus("nested\n");
  });
  Here(1).issueWarning("outer\n");
  const Port::MsgHandler previous = Port::SetMsgHandler(Port::MsgHandler());
  previous(Port::Message{Port::MsgKind::Status, 0, "", "", 0, "returned\n"});
  EXPECT_EQ(texts, (std::vector<std::string>{"outer\n", "nested\n", "returned\n"}));

  // The empty handler restores the default, which writes status lines to stdout, the rest to
  // stderr; debug traces only under PM_TRACE.
  unsetenv("PM_TRACE");
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  Here(1).issueFatal(22, "Attempt to create second PM_INTDEVKEY_MGR\n");
  Here(2).issueWarning("careful\n");
  Here(3).issueStatus("status text\n");
  Port_MsgManData::debugStub("hidden\n");
  setenv("PM_TRACE", "", 1);
  Port_MsgManData::debugStub("shown\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "status text\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "FATAL:PersonalityModule:22 - Attempt to create second PM_INTDEVKEY_MGR\n"
            "WARNING:PersonalityModule - careful\n"
            "DEBUG - shown\n");
}

}  // namespace
