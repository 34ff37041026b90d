#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <csignal>

#include "platform/lock/idle_daemon.h"

TEST(IdleDaemon, TerminationSignalRunsTheActionOnTheGuiThread) {
  int ended = 0;
  {
    platform::TerminationSignal watch([&] { ++ended; });
    std::raise(SIGTERM);
    EXPECT_EQ(ended, 0) << "not inside the signal handler";
    const QDeadlineTimer deadline(3000);
    while (ended == 0 && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ended, 1);
  }
  struct sigaction now {};
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL) << "the usual effect is back";
}

TEST(IdleDaemon, SleepLockIsClosedOnceAndOnlyWhenItNamesADescriptor) {
  for (const char* notADescriptor : {"", "abc", "1", "7x", "99999999999"}) {
    qputenv("XSS_SLEEP_LOCK_FD", notADescriptor);
    platform::releaseSleepLock();
    EXPECT_NE(::fcntl(1, F_GETFD), -1) << "standard output stays open";
  }
  int lock[2];
  ASSERT_EQ(::pipe(lock), 0);
  qputenv("XSS_SLEEP_LOCK_FD", QByteArray::number(lock[0]));
  platform::releaseSleepLock();
  EXPECT_EQ(::fcntl(lock[0], F_GETFD), -1);
  EXPECT_FALSE(qEnvironmentVariableIsSet("XSS_SLEEP_LOCK_FD"));
  ::close(lock[1]);
}
