#include <gtest/gtest.h>

#include "platform/files/patterns.h"

using platform::PatternList;

TEST(Patterns, WildcardsMatchWithoutRegardToCase) {
  const PatternList media("*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM");
  EXPECT_TRUE(media.matches(u"clip.avi"));
  EXPECT_TRUE(media.matches(u"Clip.Mpg"));
  EXPECT_TRUE(media.matches(u".RM"));
  EXPECT_TRUE(media.matches(u"a.b.rmm"));
  EXPECT_FALSE(media.matches(u"clip.avi.txt"));
  EXPECT_FALSE(media.matches(u"clip.mpeg"));
  EXPECT_FALSE(media.matches(u"clipavi"));

  const PatternList tracks("AVSEQ??.DAT");
  EXPECT_TRUE(tracks.matches(u"avseq01.dat"));
  EXPECT_FALSE(tracks.matches(u"avseq1.dat"));
  EXPECT_FALSE(tracks.matches(u"avseq001.dat"));

  // Letters beyond ASCII fold too, and "?" takes a character outside the
  // basic plane whole.
  EXPECT_TRUE(PatternList("ÄRGER.*").matches(u"ärger.mp3"));
  EXPECT_TRUE(PatternList("?.avi").matches(u"\U0001F3AC.avi"));
}

TEST(Patterns, StarsFallBackWithoutBlowingUp) {
  EXPECT_TRUE(PatternList("*a*b").matches(u"xaxbxab"));
  EXPECT_FALSE(PatternList("*a*b").matches(u"xaxbxa"));
  EXPECT_TRUE(PatternList("**x").matches(u"x"));
  EXPECT_TRUE(PatternList("*").matches(u""));
  // A long name against many stars still ends quickly.
  const QString name(5000, 'a');
  EXPECT_FALSE(PatternList("*a*a*a*a*a*a*a*a*b").matches(name));
}

TEST(Patterns, TheListIsSplitAtSemicolonsAndTrimmed) {
  const PatternList list(" *.avi ;; *.MP3;");
  EXPECT_TRUE(list.matches(u"x.AVI"));
  EXPECT_TRUE(list.matches(u"x.mp3"));
  EXPECT_FALSE(list.matches(u"x.mpg"));
  EXPECT_EQ(list.text(), " *.avi ;; *.MP3;");
  EXPECT_FALSE(PatternList("").matches(u"anything"));
  EXPECT_FALSE(PatternList(" ; ").matches(u"anything"));

  // "*.*" takes every name, a dot or not, as on the desktops the patterns
  // come from.
  EXPECT_TRUE(PatternList("*.*").matches(u"README"));
  EXPECT_TRUE(PatternList("readme.*").matches(u"README"));
  EXPECT_TRUE(PatternList("readme.*").matches(u"README.txt"));
  EXPECT_FALSE(PatternList("readme.*").matches(u"READMEtxt"));
}
