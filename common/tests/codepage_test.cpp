#include "common/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <optional>
#include <set>
#include <string>

namespace common {
namespace {

// The C library's converter, as the independent reference for the tables.
std::optional<std::string> Iconv(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(in.size() * 4 + 8, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - dstLeft);
  return out;
}

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

std::string Translate(const std::string& src, int mode, size_t dstSize = 64) {
  std::string dst(dstSize, '\x55');
  const size_t n = cp866TranslateEx(dst.data(), dstSize, src.data(), src.size(), mode);
  EXPECT_EQ(dst[n], '\0');
  return dst.substr(0, n);
}

// Bytes where our conversion deliberately differs from the C library:
//  KOI8-R: only letters, Yo and degree, middle dot and root are translated;
//    numero becomes "#", and every other byte (box drawing, the rest of the
//    symbols) is copied as it is, which the reading side expects.
//  UTF-8: 0xB0-0xBF carry the cp1251 characters of those byte values, 0xDD
//    is the rouble sign, the remaining pseudo-graphics become "?".
//  cp866 -> cp1251 (fonts): 0x07 and 0xF9 are the bullet 0x95; 0xFF (no-break
//    space) keeps its byte.
//  cp866 -> cp1251 (console): only letters and Yo; the rest keeps its byte.
//  cp1251 -> cp866: the no-break space becomes a plain blank, the bullet 0xF9.
std::set<int> Range(int from, int to) {
  std::set<int> s;
  for (int b = from; b <= to; ++b) s.insert(b);
  return s;
}

TEST(CodePage, Koi8rAgainstIconv) {
  std::set<int> differ = Range(0xB0, 0xDF);
  for (int b : {0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF9, 0xFC, 0xFD, 0xFE, 0xFF}) differ.insert(b);
  for (int b = 0x80; b <= 0xFF; ++b) {
    const std::string ours = Translate(Byte(b), kCp866ToKoi8r);
    const auto ref = Iconv("CP866", "KOI8-R", Byte(b));
    if (differ.count(b) != 0) {
      EXPECT_EQ(ours, b == 0xFC ? "#" : Byte(b)) << std::hex << b;
      EXPECT_NE(ref, std::optional<std::string>(ours)) << "no longer a difference: " << std::hex << b;
    } else {
      ASSERT_TRUE(ref.has_value()) << std::hex << b;
      EXPECT_EQ(ours, *ref) << std::hex << b;
      EXPECT_EQ(koi8rTo866(static_cast<uint8_t>(ours[0])), b) << std::hex << b;
    }
  }
}

TEST(CodePage, Utf8AgainstIconv) {
  std::set<int> differ = Range(0xB0, 0xDF);
  for (int b : {0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xFE, 0xFF}) differ.insert(b);
  const auto cp1251Upper = Iconv("CP1251", "UTF-8", std::string("\xB0\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF"));
  ASSERT_TRUE(cp1251Upper.has_value());
  std::string upper;
  for (int b = 0x80; b <= 0xFF; ++b) {
    const std::string ours = Translate(Byte(b), kCp866ToUtf8);
    const auto ref = Iconv("CP866", "UTF-8", Byte(b));
    if (b >= 0xB0 && b <= 0xBF) {
      upper += ours;
    } else if (b == 0xDD) {
      EXPECT_EQ(ours, "\xE2\x82\xBD");
    } else if (differ.count(b) != 0) {
      EXPECT_EQ(ours, "?") << std::hex << b;
    } else {
      ASSERT_TRUE(ref.has_value());
      EXPECT_EQ(ours, *ref) << std::hex << b;
    }
  }
  EXPECT_EQ(upper, *cp1251Upper);
}

TEST(CodePage, Cp1251AgainstIconv) {
  for (int b = 0x80; b <= 0xFF; ++b) {
    const auto ref = Iconv("CP866", "CP1251", Byte(b));
    const bool letter = (b <= 0xAF) || (b >= 0xE0 && b <= 0xF1);
    const std::string ours = Translate(Byte(b), kCp866ToCp1251);
    if (letter) {
      ASSERT_TRUE(ref.has_value());
      EXPECT_EQ(ours, *ref) << std::hex << b;
    } else {
      EXPECT_EQ(ours, Byte(b)) << std::hex << b;  // the console shows the rest as it is
    }

    const uint8_t font = grhChar866To1251(static_cast<uint8_t>(b));
    if (b == 0xF9) {
      EXPECT_EQ(font, 0x95);
    } else if (b == 0xFF) {
      EXPECT_EQ(font, 0xFF);  // the no-break space keeps its byte
    } else if (ref.has_value() && (letter || b >= 0xF8)) {
      EXPECT_EQ(Byte(font), *ref) << std::hex << b;
    }
  }
  EXPECT_EQ(grhChar866To1251(0x07), 0x95);

  for (int b = 0x80; b <= 0xFF; ++b) {
    const auto ref = Iconv("CP1251", "CP866", Byte(b));
    const uint8_t ours = cp1251to866(static_cast<uint8_t>(b));
    if (b == 0xA0) {
      EXPECT_EQ(ours, ' ');
    } else if (b == 0x95) {
      EXPECT_EQ(ours, 0xF9);
    } else if (b >= 0xC0 || b == 0xA8 || b == 0xB8 || b == 0xB0 || b == 0xB7 || b == 0xB9 || b == 0xA4) {
      ASSERT_TRUE(ref.has_value()) << std::hex << b;
      EXPECT_EQ(Byte(ours), *ref) << std::hex << b;
    } else {
      EXPECT_EQ(ours, b) << std::hex << b;
    }
  }
}

TEST(CodePage, Utf8ToCp866AgainstIconv) {
  // Every cp866 character that has a UTF-8 form comes back to the same byte.
  for (int b = 0x80; b <= 0xFF; ++b) {
    const auto utf8 = Iconv("CP866", "UTF-8", Byte(b));
    if (!utf8.has_value() || (b >= 0xB0 && b <= 0xDF) || (b >= 0xF2 && b <= 0xF7) || b >= 0xFE) continue;
    char out[4];
    EXPECT_EQ(UTF8Tocp866(out, utf8->c_str(), sizeof out), 1u);
    EXPECT_EQ(static_cast<uint8_t>(out[0]), b) << std::hex << b;
  }
}

TEST(CodePage, Examples) {
  EXPECT_EQ(Translate("\xF0\xA6", kCp866ToUtf8), "\xD0\x81\xD0\xB6");
  EXPECT_EQ(Translate("\xF0\xA6", kCp866ToKoi8r), "\xB3\xD6");
  EXPECT_EQ(Translate("ab\xF0\xA6", kCp866ToCp866), "ab\xF0\xA6");
  EXPECT_EQ(Translate("\xF0\xA6", 7), "\xF0\xA6");

  char out[16];
  EXPECT_EQ(UTF8Tocp866(out, "\xE2\x84\x96 5", sizeof out), 3u);
  EXPECT_STREQ(out, "\xFC 5");
  EXPECT_EQ(UTF8Tocp866(out, "a\xF0\x9F\x98\x80z", sizeof out), 3u);  // four-byte character
  EXPECT_STREQ(out, "a?z");
  EXPECT_EQ(UTF8Tocp866(out, "\xE2\x82\xBD", sizeof out), 1u);
  EXPECT_STREQ(out, "\xDD");
}

TEST(CodePage, Utf8ToCp866MalformedInput) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"\x80\x80", "?"},          // continuation bytes only: one character
      {"\xD0", "?"},              // lead byte cut short
      {"\xD0\x90\x90", "?"},      // one continuation too many
      {"\xC1\x81", "?"},          // overlong "A"
      {"\xC0\x80", "?"},          // overlong zero
      {"\xF8\x88\x80\x80", "?"},  // five-byte form
      {"A\x90", "A"},             // a stray byte after a plain character
      {"\xD0\xFF", "?"},
  };
  for (const auto& c : cases) {
    char out[16];
    UTF8Tocp866Size(out, c.in.data(), c.in.size(), sizeof out);
    EXPECT_EQ(std::string(out), c.out);
  }
}

TEST(CodePage, NeverWritesBeyondDestination) {
  const std::string text = "\xF9\xF9\xF9\xF9";  // three UTF-8 bytes each
  for (int mode = 0; mode <= 3; ++mode) {
    for (size_t size = 0; size <= 14; ++size) {
      char buf[32];
      std::memset(buf, 0x55, sizeof buf);
      const size_t n = cp866TranslateEx(buf, size, text.data(), text.size(), mode);
      if (size == 0) {
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(buf[0], 0x55);
        continue;
      }
      EXPECT_LT(n, size);
      EXPECT_EQ(buf[n], '\0');
      for (size_t i = size; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0x55) << mode << "/" << size;
    }
  }
  // A three-byte form that does not fit becomes "?".
  char buf[5];
  EXPECT_EQ(cp866Translate(buf, "\xF9\xF9", sizeof buf, kCp866ToUtf8), 4u);
  EXPECT_STREQ(buf, "\xE2\x88\x99?");

  char small[3];
  std::memset(small, 0x55, sizeof small);
  EXPECT_EQ(UTF8Tocp866(small, "\xD0\x90\xD0\x91\xD0\x92", sizeof small), 2u);
  EXPECT_STREQ(small, "\x80\x81");
}

TEST(CodePage, InPlaceConversions) {
  char text[] = "\x80\xAF\xE0\xF0\xF1 x";
  char copy[sizeof text];
  std::memcpy(copy, text, sizeof text);
  ConvertCountOfFrom866To1251(text, 2);
  EXPECT_STREQ(text, "\xC0\xEF\xE0\xF0\xF1 x");
  ConvertFrom866To1251(copy);
  EXPECT_STREQ(copy, "\xC0\xEF\xF0\xA8\xB8 x");
  ConvertFrom1251To866(copy);
  EXPECT_STREQ(copy, "\x80\xAF\xE0\xF0\xF1 x");
  char all[] = "\x80\x81";
  ConvertCountOfFrom866To1251(all, -1);
  EXPECT_STREQ(all, "\xC0\xC1");
}

TEST(CodePage, UnicodeCharToUtf8) {
  struct Case {
    uint16_t cp;
    std::string utf8;
  };
  const Case cases[] = {{'A', "A"}, {0x0416, "\xD0\x96"}, {0x20BD, "\xE2\x82\xBD"}, {0xD800, "?"}};
  for (const auto& c : cases) {
    char out[4];
    const size_t n = UnicodeCharToUtf8Char(c.cp, out, sizeof out);
    EXPECT_EQ(std::string(out, n), c.utf8);
    EXPECT_EQ(UnicodeCharToUtf8Char(c.cp, out, c.utf8.size() - 1), 0u);
  }
}

}  // namespace
}  // namespace common
