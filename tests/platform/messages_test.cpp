// Message delivery: formatting, the default handler's lines, and serialised handler calls.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "pmport/port_msg.h"
#include "pmtest.h"

namespace {

Port_MsgManData Here(int line) {
  return Port_MsgManData::createObject("PersonalityModule", "messages_test", line, "1");
}

TEST(Messages, EachKindArrivesWithItsCodeAndPlace) {
  pmtest::MessageCapture capture;
  Here(10).issueFatal(22, "Bad pattern found for PM %s\n", "alpha");
  Here(11).issueUserFatal(33, "missing %d\n", 3);
  Here(12).issueWarning("Wrong vendor name <%s>\n", "zz");
  Here(13).issueStatus("%s", " ");
  Here(14).issueInternal("No PM_SPEC specified.\n");
  Port_MsgManData::debugStub("trace %s\n", "x");

  const std::vector<Port::Message> messages = capture.messages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[0].kind, Port::MsgKind::Fatal);
  EXPECT_EQ(messages[0].code, 22);
  EXPECT_EQ(messages[0].domain, "PersonalityModule");
  EXPECT_EQ(messages[0].unit, "messages_test");
  EXPECT_EQ(messages[0].line, 10);
  EXPECT_EQ(messages[0].text, "Bad pattern found for PM alpha\n");
  EXPECT_EQ(messages[1].kind, Port::MsgKind::UserFatal);
  EXPECT_EQ(messages[1].code, 33);
  EXPECT_EQ(messages[1].text, "missing 3\n");
  EXPECT_EQ(messages[2].code, 0);
  EXPECT_EQ(messages[2].text, "Wrong vendor name <zz>\n");
  EXPECT_EQ(messages[3].text, " ");
  EXPECT_EQ(messages[4].kind, Port::MsgKind::Internal);
  EXPECT_EQ(messages[5].kind, Port::MsgKind::Debug);
  EXPECT_TRUE(messages[5].domain.empty());
  EXPECT_EQ(messages[5].line, 0);
  EXPECT_EQ(messages[5].text, "trace x\n");
}

TEST(Messages, LongTextsAreNotCut) {
  pmtest::MessageCapture capture;
  const std::string longName(10000, 'n');
  Here(1).issueWarning("<%s>\n", longName.c_str());
  ASSERT_EQ(capture.texts(Port::MsgKind::Warning).size(), 1u);
  EXPECT_EQ(capture.texts(Port::MsgKind::Warning)[0], "<" + longName + ">\n");
}

TEST(Messages, SetMsgHandlerReturnsThePreviousAndEmptyRestoresTheDefault) {
  int first = 0;
  Port::SetMsgHandler([&first](const Port::Message&) { ++first; });
  Port::MsgHandler previous = Port::SetMsgHandler([](const Port::Message&) {});
  ASSERT_TRUE(previous);
  previous(Port::Message{Port::MsgKind::Status, 0, "", "", 0, ""});
  EXPECT_EQ(first, 1);
  Port::SetMsgHandler(Port::MsgHandler());

  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  Here(1).issueFatal(22, "Attempt to create second PM_INTDEVKEY_MGR\n");
  Here(2).issueWarning("careful\n");
  Here(3).issueStatus("status text\n");
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "status text\n");
  EXPECT_EQ(err,
            "FATAL:PersonalityModule:22 - Attempt to create second PM_INTDEVKEY_MGR\n"
            "WARNING:PersonalityModule - careful\n");
}

TEST(Messages, DebugTracesAreShownOnlyUnderPmTrace) {
  unsetenv("PM_TRACE");
  testing::internal::CaptureStderr();
  Port_MsgManData::debugStub("hidden\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  setenv("PM_TRACE", "", 1);
  testing::internal::CaptureStderr();
  Port_MsgManData::debugStub("shown\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "DEBUG - shown\n");
}

TEST(Messages, HandlerIsNeverEnteredOnTwoThreadsAtOnce) {
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> calls{0};
  Port::SetMsgHandler([&](const Port::Message&) {
    if (inside.fetch_add(1) != 0) ++overlaps;
    std::this_thread::yield();
    ++calls;
    inside.fetch_sub(1);
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) Here(i).issueWarning("w %d\n", i);
    });
  }
  for (std::thread& thread : threads) thread.join();
  Port::SetMsgHandler(Port::MsgHandler());
  EXPECT_EQ(calls.load(), 1600);
  EXPECT_EQ(overlaps.load(), 0);
}

TEST(Messages, AHandlerMayIssueMessagesItself) {
  std::vector<std::string> texts;
  Port::SetMsgHandler([&texts](const Port::Message& message) {
    texts.push_back(message.text);
    if (message.kind == Port::MsgKind::Warning) Here(2).issueStatus("nested\n");
  });
  Here(1).issueWarning("outer\n");
  Port::SetMsgHandler(Port::MsgHandler());
  EXPECT_EQ(texts, (std::vector<std::string>{"outer\n", "nested\n"}));
}

}  // namespace
