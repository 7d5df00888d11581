#include "platform/ProcessStat.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

using platform::ProcessStat;

namespace {

// Fields 3 to 24 of a real line, after "pid (command)".
constexpr const char* kRest =
    " S 4100 4242 4100 0 -1 4194560 52113 0 1 0 1234 567 0 0 20 0 25 0 987654 1603223552 98765 "
    "18446744073709551615 1 1 0 0 0 0 0 4096 0 0 0 0 17 1 0 0 0 0 0\n";

TEST(ProcessStatTest, ALineIsReadAsTheKernelWritesIt) {
  const auto stat = ProcessStat::parse(std::string("4242 (WebKitWebProces)") + kRest);
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->pid, 4242);
  EXPECT_EQ(stat->command, "WebKitWebProces");
  EXPECT_EQ(stat->parentPid, 4100);
  EXPECT_EQ(stat->userTicks, 1234u);
  EXPECT_EQ(stat->systemTicks, 567u);
  EXPECT_EQ(stat->startTicks, 987654u);
  EXPECT_EQ(stat->residentPages, 98765u);
}

// A command is the process's to choose: blanks and parentheses in it must
// not shift the fields (a page process cannot pose as another's parent).
TEST(ProcessStatTest, ACommandWithBlanksAndParenthesesEndsAtTheLastParenthesis) {
  const auto stat = ProcessStat::parse(std::string("77 (a) 1 2 (b c)") + kRest);
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->command, "a) 1 2 (b c");
  EXPECT_EQ(stat->parentPid, 4100);
  EXPECT_EQ(stat->userTicks, 1234u);
}

TEST(ProcessStatTest, WhatIsNoStatLineIsRefused) {
  const char* cases[] = {
      "",
      "4242 WebKitWebProces S 1 2 3",
      "x42 (a) S 1",
      "42 (a) S 1 2 3",                                                      // too short
      "42 (a) S 4100 4242 4100 0 -1 4194560 52113 0 1 0 12x4 567 0 0 20 0 25 0 1 2 3",  // not a number
  };
  for (const char* text : cases) EXPECT_FALSE(ProcessStat::parse(text)) << text;
}

TEST(ProcessStatTest, DescendantsAreFoundThroughEveryGeneration) {
  auto process = [](int pid, int parent) {
    ProcessStat stat;
    stat.pid = pid;
    stat.parentPid = parent;
    return stat;
  };
  // 10 has 11 and 12; 12 has 13 (a launcher's child); 20 is not ours.
  const std::vector<ProcessStat> all{process(1, 0),  process(10, 1), process(11, 10), process(12, 10),
                                     process(13, 12), process(20, 1), process(21, 20)};
  auto found = ProcessStat::descendants(all, 10);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<int>{11, 12, 13}));
  EXPECT_TRUE(ProcessStat::descendants(all, 13).empty());
}

TEST(ProcessStatTest, ThisProcessIsReadFromProc) {
  const auto self = ProcessStat::read(static_cast<int>(::getpid()));
  ASSERT_TRUE(self);
  EXPECT_EQ(self->pid, ::getpid());
  EXPECT_EQ(self->parentPid, ::getppid());
  EXPECT_GT(self->residentBytes(), 0u);
  const auto all = ProcessStat::readAll();
  EXPECT_NE(std::find_if(all.begin(), all.end(), [](const auto& p) { return p.pid == ::getpid(); }), all.end());
}

// A child of ours and its own child (as the sandbox's launcher starts the
// web process) are both found, with their figures. Both end when the test
// lets go of the pipe they wait on, whatever the checks found.
TEST(ProcessStatTest, ChildrenAndGrandchildrenAreRead) {
  int ready[2], hold[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(hold), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    ::close(hold[1]);
    char byte = 0;
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      if (::write(ready[1], "g", 1) != 1) ::_exit(1);
      while (::read(hold[0], &byte, 1) > 0) {
      }
      ::_exit(0);
    }
    while (::read(hold[0], &byte, 1) > 0) {
    }
    ::waitpid(grandchild, nullptr, 0);
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(hold[0]);
  char byte = 0;
  const bool started = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  const auto found = started ? ProcessStat::readDescendants(static_cast<int>(::getpid())) : std::vector<ProcessStat>{};
  ::close(hold[1]);
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(started) << "the grandchild has started";
  const auto isChild = [&](const ProcessStat& p) { return p.pid == child && p.parentPid == ::getpid(); };
  EXPECT_NE(std::find_if(found.begin(), found.end(), isChild), found.end()) << "the child";
  const auto isGrandchild = [&](const ProcessStat& p) { return p.parentPid == child; };
  EXPECT_NE(std::find_if(found.begin(), found.end(), isGrandchild), found.end()) << "the grandchild";
}

}  // namespace
