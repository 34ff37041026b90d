// The guard's lines for a saver that reads slowly, or not at all, or goes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "platform/lock/guard_outbox.h"

namespace {

struct Socket {
  int ends[2] = {-1, -1};
  Socket() {
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int small = 4096;  // full after a few dozen lines
    ::setsockopt(ends[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  }
  ~Socket() {
    ::close(ends[0]);
    ::close(ends[1]);
  }
  std::string read() const {
    std::string got;
    char bytes[1024];
    for (ssize_t size; (size = ::recv(ends[1], bytes, sizeof bytes, MSG_DONTWAIT)) > 0;)
      got.append(bytes, static_cast<std::size_t>(size));
    return got;
  }
};

std::string lines(int from, int to) {
  std::string text;
  for (int number = from; number <= to; ++number)
    text += "key 1 0 " + std::to_string(number) + " 0 61\n";
  return text;
}

void add(platform::GuardOutbox& outbox, const std::string& text, int socket) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at) + 1;
    ASSERT_TRUE(outbox.add(std::string_view(text).substr(at, end - at)));
    outbox.writeTo(socket);  // never waits: the socket fills up
    at = end;
  }
}

}  // namespace

// A saver that reads slowly gets every line once, in order; one that goes
// with half a line read leaves only whole lines for the next saver.
TEST(GuardOutbox, EachSaverGetsWholeLinesInOrderAndNoneIsLost) {
  platform::GuardOutbox outbox;
  std::string read;
  {
    const Socket slow;
    add(outbox, lines(1, 500), slow.ends[0]);
    ASSERT_FALSE(outbox.empty()) << "the socket took every line at once";
    while (!outbox.empty()) {
      read += slow.read();
      outbox.writeTo(slow.ends[0]);
    }
    read += slow.read();
    EXPECT_EQ(read, lines(1, 500));

    add(outbox, lines(501, 1000), -1);  // while no saver runs
    outbox.writeTo(slow.ends[0]);       // as much as fits, in one piece
    read = slow.read();
    ASSERT_NE(read.back(), '\n') << "the socket took whole lines only: nothing to try";
  }
  outbox.dropLineBegun();
  const Socket next;
  std::string toNext;
  while (!outbox.empty()) {
    outbox.writeTo(next.ends[0]);
    toNext += next.read();
  }
  const std::string all = lines(501, 1000);
  EXPECT_EQ(read, all.substr(0, read.size()));
  EXPECT_EQ(toNext, all.substr(all.find('\n', read.size()) + 1)) << "the rest, from a whole line";
}
