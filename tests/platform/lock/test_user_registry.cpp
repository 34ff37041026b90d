#include <gtest/gtest.h>

#include "platform/lock/user_registry.h"
#include "support/temp_folder.h"

using platform::FileUserRegistry;
using platform::readNumber;

namespace {

const QString kDesktop = QStringLiteral("Control Panel\\Desktop");

std::uint32_t number(const FileUserRegistry& store, const QString& name) {
  return readNumber(store, kDesktop, name);
}

}  // namespace

TEST(UserRegistry, EachValueKindReadsAsItsBytesAndAsA4ByteNumber) {
  TempFolder folder;
  const FileUserRegistry store(folder.write("user.reg",
                                            "\xEF\xBB\xBFREGEDIT4\r\n"
                                            "\r\n"
                                            "; written by hand\r\n"
                                            "[HKEY_LOCAL_MACHINE\\Control Panel\\Desktop]\r\n"
                                            "\"Other\"=dword:00000001\r\n"
                                            "\r\n"
                                            "[hkey_current_user\\control panel\\DESKTOP]\r\n"
                                            "\"ScreenSaveUsePassword\"=dword:00000001\r\n"
                                            "\"Text\"=\"1\"\r\n"
                                            "\"Quoted\"=\"a \\\"b\\\" \\\\c\"\r\n"
                                            "\"Hex\"=hex:01,02,03,\\\r\n"
                                            "  04,05\r\n"
                                            "\"Short\"=hex(3):02\n"
                                            "\"Empty\"=hex:\n"
                                            "\"Large\"=dword:fffffffe\n"
                                            "\"Gone\"=dword:00000001\n"
                                            "\"Gone\"=-\n"
                                            "@=\"default\"\n"));

  EXPECT_EQ(store.value(kDesktop, "screensaveusepassword"), QByteArray("\x01\0\0\0", 4));
  EXPECT_EQ(number(store, "ScreenSaveUsePassword"), 1u);
  EXPECT_EQ(store.value(kDesktop, "Text"), QByteArray("1\0", 2));
  EXPECT_EQ(number(store, "Text"), 49u) << "the text 1 is no password setting";
  EXPECT_EQ(store.value(kDesktop, "Quoted"), QByteArray("a \"b\" \\c\0", 9));
  EXPECT_EQ(number(store, "Hex"), 0x04030201u) << "the first 4 bytes, little-endian";
  EXPECT_EQ(number(store, "Short"), 2u) << "missing bytes stay 0";
  EXPECT_EQ(store.value(kDesktop, "Empty"), QByteArray());
  EXPECT_EQ(number(store, "Empty"), 0u);
  EXPECT_EQ(number(store, "Large"), 0xfffffffeu);
  EXPECT_EQ(store.value(kDesktop, "Gone"), std::nullopt);
  EXPECT_EQ(store.value(kDesktop, ""), QByteArray("default\0", 8));
  EXPECT_EQ(store.value(kDesktop, "Other"), std::nullopt) << "another root is not the user's";
}

TEST(UserRegistry, AMissingFileKeyOrValueAndAMalformedFileReadAsNothing) {
  TempFolder folder;
  EXPECT_EQ(number(FileUserRegistry(folder / "none/user.reg"), "ScreenSaveUsePassword"), 0u);

  const FileUserRegistry otherSection(folder.write(
      "section.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Colors]\n\"A\"=dword:1\n"));
  EXPECT_EQ(otherSection.value(kDesktop, "A"), std::nullopt);
  EXPECT_EQ(otherSection.value("Control Panel\\Colors", "A"), QByteArray("\x01\0\0\0", 4));
  EXPECT_EQ(otherSection.value("Control Panel\\Colors", "B"), std::nullopt);

  const QByteArray good =
      "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
      "\"ScreenSaveUsePassword\"=dword:00000001\n";
  const QByteArray malformed[] = {
      good,                                                    // no header
      "REGEDIT5\n" + good,                                     // another header
      "REGEDIT4\n\"ScreenSaveUsePassword\"=dword:1\n" + good,  // a value outside any key
      "REGEDIT4\n" + good + "\"A\"=dword:123456789\n",         // nine digits
      "REGEDIT4\n" + good + "\"A\"=dword:xyz\n",
      "REGEDIT4\n" + good + "\"A\"=hex:1,2g\n",
      "REGEDIT4\n" + good + "\"A\"=\"unterminated\n",
      "REGEDIT4\n" + good + "\"A\"=\"text\" trailing\n",
      "REGEDIT4\n" + good + "\"A\"=word:1\n",
      "REGEDIT4\n" + good + "[HKEY_CURRENT_USER\\Unclosed\n",
      "REGEDIT4\n" + good + "just words\n",
      QByteArray("REGEDIT4\n\0\xff\xfe[\"=\\", 12),
      "",
  };
  for (const QByteArray& text : malformed) {
    const FileUserRegistry store(folder.write("bad.reg", text));
    EXPECT_EQ(store.value(kDesktop, "ScreenSaveUsePassword"), std::nullopt) << text.constData();
    QString problem;
    EXPECT_EQ(platform::parseRegistryText(text, &problem), std::nullopt);
    EXPECT_TRUE(problem.startsWith("line ")) << problem.toStdString();
  }
}

TEST(UserRegistry, TheDesktopStoreIsUserRegInTheConfigurationFolder) {
  TempFolder home;
  home.write("config/reelvista/user.reg",
             "REGEDIT4\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
             "\"ScreenSaveUsePassword\"=dword:00000001\n");
  const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
  const QByteArray oldHome = qgetenv("HOME");
  qputenv("XDG_CONFIG_HOME", (home / "config").toUtf8());
  EXPECT_EQ(number(FileUserRegistry(), "ScreenSaveUsePassword"), 1u);
  qunsetenv("XDG_CONFIG_HOME");
  qputenv("HOME", home.path().toUtf8());
  home.write(".config/reelvista/user.reg", "REGEDIT4\n");
  EXPECT_EQ(number(FileUserRegistry(), "ScreenSaveUsePassword"), 0u);
  qputenv("XDG_CONFIG_HOME", oldConfig);
  qputenv("HOME", oldHome);
}
