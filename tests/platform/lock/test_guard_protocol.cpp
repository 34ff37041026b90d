#include <gtest/gtest.h>

#include "platform/lock/guard_protocol.h"

using platform::GuardCommand;
using platform::GuardMessage;
using Kind = platform::GuardMessage::Kind;

namespace {

template <typename Line>
std::vector<Line> readInPieces(const std::string& stream, std::size_t piece,
                               typename platform::LineReader<Line>::Parser parse) {
  platform::LineReader<Line> reader(parse);
  std::vector<Line> read;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    for (Line& line : reader.take(std::string_view(stream).substr(at, piece)))
      read.push_back(std::move(line));
  }
  return read;
}

GuardCommand key(bool pressed, std::uint32_t keysym, std::uint32_t modifiers, std::string_view text,
                 bool repeat = false) {
  GuardCommand command;
  command.kind = GuardCommand::Kind::Key;
  command.pressed = pressed;
  command.repeat = repeat;
  command.keysym = keysym;
  command.modifiers = modifiers;
  command.text = text;
  return command;
}

}  // namespace

TEST(GuardProtocol, LinesAreReadInPiecesOfAnySizeAndOnlyWellFormedOnesCount) {
  const std::vector<GuardMessage> sent = {{Kind::Covered, 4194318},
                                          {Kind::Shows, 77},
                                          {Kind::Covered, 4294967295u},
                                          {Kind::Hides, 77},
                                          {Kind::Unlocked}};
  std::string stream;
  for (const GuardMessage& message : sent)
    stream += platform::guardLine(message);
  // Broken lines around them: unknown words, numbers that are no window, a
  // line too long for any message, one without its end.
  stream = "hello\ncovered\ncovered 0\ncovered 12x\ncovered -5\ncovered 4294967296\nshows  7\n" +
           std::string(5000, 'u') + "nlocked\n" + stream + "unlocked";
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()})
    EXPECT_EQ(readInPieces<GuardMessage>(stream, piece, platform::parseGuardMessage), sent)
        << "pieces of " << piece;
}

// What the guard hands its saver comes through whole: the start of the run
// and the keys with the text they typed, whatever bytes that text holds.
TEST(GuardProtocol, TheGuardsCommandsKeepEveryByteOfWhatWasTyped) {
  GuardCommand start;
  start.locked = true;
  start.stage = 4194305;
  GuardCommand button;
  button.kind = GuardCommand::Kind::Button;
  button.button = 3;
  button.x = -20;
  button.y = 480;
  const std::vector<GuardCommand> sent = {start,
                                          key(true, 0x61, 0x4, "\x01"),
                                          key(true, 0x20ac, 0x0, "\xe2\x82\xac"),
                                          key(true, 0x20, 0x0, " \n"),
                                          key(true, 0x61, 0x2001, "A", true),
                                          key(false, 0xff0d, 0x0, ""),
                                          button};
  // Broken ones among them: a word missing, text not hex, more text than a
  // key types, a flag that is no flag.
  std::string stream = "start 1 0\nkey 1 0 61 0 zz\nbutton 1 2\nkey 2 0 61 0 -\nkey 1 61 0 -\n" +
                       ("key 1 0 61 0 " + std::string(66, 'a') + "\n");
  for (const GuardCommand& command : sent)
    stream += platform::GuardLine(command).view();
  for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, stream.size()})
    EXPECT_EQ(readInPieces<GuardCommand>(stream, piece, platform::parseGuardCommand), sent)
        << "pieces of " << piece;
}
