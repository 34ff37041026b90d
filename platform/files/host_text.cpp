#include "platform/files/host_text.h"

#include <algorithm>
#include <cstdint>

namespace platform {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence starting at bytes[at], or 0 when the
// bytes there are not one (overlong forms and encoded surrogates included).
int validSequenceLength(std::string_view bytes, size_t at, char32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  int length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > bytes.size())
    return 0;
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(bytes[at + i]);
    if (!isContinuation(next))
      return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  codePoint = value;
  return length;
}

void appendUtf8(QByteArray& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out.append(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.append(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.append(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.append(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.append(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.append(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.append(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.append(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.append(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.append(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

bool isAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

bool isAscii(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar unit) { return unit.unicode() < 0x80; });
}

}  // namespace

// Most names are ASCII: a walk converts every name it lists, and every path
// it opens.
QString fromHostBytes(std::string_view bytes) {
  if (isAscii(bytes))
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (size_t at = 0; at < bytes.size();) {
    char32_t codePoint = 0;
    const int length = validSequenceLength(bytes, at, codePoint);
    if (length == 0) {
      text.append(
          QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at]))));
      ++at;
      continue;
    }
    if (codePoint >= 0x10000) {
      text.append(QChar(QChar::highSurrogate(codePoint)));
      text.append(QChar(QChar::lowSurrogate(codePoint)));
    } else {
      text.append(QChar(static_cast<char16_t>(codePoint)));
    }
    at += static_cast<size_t>(length);
  }
  return text;
}

QByteArray toHostBytes(const QString& text) {
  if (isAscii(text))
    return text.toLatin1();
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    const bool pairFollows = QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
                             QChar::isLowSurrogate(text[i + 1].unicode());
    if (pairFollows) {
      appendUtf8(out, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
      ++i;
    } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      out.append(static_cast<char>(unit - kEscapeBase));
    } else if (QChar::isSurrogate(unit)) {
      appendUtf8(out, 0xFFFD);  // a lone surrogate no byte string produced
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace platform
