#include <gtest/gtest.h>

#include "platform/lock/guard_protocol.h"

using platform::GuardMessage;
using platform::GuardMessageReader;
using Kind = platform::GuardMessage::Kind;

TEST(GuardProtocol, LinesAreReadInPiecesOfAnySizeAndOnlyWellFormedOnesCount) {
  const std::vector<GuardMessage> sent = {{Kind::Covered, 4194318},
                                          {Kind::Locked},
                                          {Kind::Covered, 4294967295u},
                                          {Kind::Unlocked},
                                          {Kind::CannotLock}};
  std::string stream;
  for (const GuardMessage& message : sent)
    stream += platform::guardLine(message);
  // Broken lines around them: unknown words, numbers that are no window, a
  // line too long for any message, one without its end.
  stream = "hello\ncovered\ncovered 0\ncovered 12x\ncovered -5\ncovered 4294967296\n" +
           std::string(5000, 'l') + "ocked\n" + stream + "unlocked";
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()}) {
    GuardMessageReader reader;
    std::vector<GuardMessage> read;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      for (const GuardMessage& message : reader.take(std::string_view(stream).substr(at, piece)))
        read.push_back(message);
    }
    EXPECT_EQ(read, sent) << "pieces of " << piece;
  }
}
