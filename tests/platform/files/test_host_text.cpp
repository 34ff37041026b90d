#include <gtest/gtest.h>

#include <string>

#include "platform/files/host_text.h"

using platform::fromHostBytes;
using platform::toHostBytes;

namespace {

std::string roundTrip(const std::string& bytes) {
  const QByteArray back = toHostBytes(fromHostBytes(bytes));
  return std::string(back.constData(), static_cast<size_t>(back.size()));
}

}  // namespace

TEST(HostText, Utf8DecodesAsTextAndComesBackTheSame) {
  const std::string utf8 =
      "/media/Clips/Fr\xc3\xa9"
      "d\xc3\xa9ric \xe2\x82\xac \xf0\x9f\x8e\xac.avi";
  EXPECT_EQ(fromHostBytes(utf8), QString::fromUtf8(utf8.c_str()));
  EXPECT_EQ(roundTrip(utf8), utf8);
}

TEST(HostText, EveryByteStringSurvivesTheRoundTrip) {
  std::string everyByte;
  for (int byte = 1; byte < 256; ++byte)
    everyByte += static_cast<char>(byte);
  EXPECT_EQ(roundTrip(everyByte), everyByte);

  // Sequences that look like UTF-8 but are not: a lone continuation byte, a
  // cut sequence, an overlong slash, an encoded surrogate, past U+10FFFF.
  for (const std::string bad :
       {"\x80", "a\xc3", "\xe2\x82", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xff\xfe"}) {
    EXPECT_EQ(roundTrip(bad), bad);
    EXPECT_NE(fromHostBytes(bad), QString::fromUtf8(bad.data(), qsizetype(bad.size())))
        << "a malformed byte must not decode like a replacement character";
  }
  const std::string nul("a\0b", 3);
  EXPECT_EQ(roundTrip(nul), nul);
}
