#include "Codec.h"

#include <cstdint>

namespace qs {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ReadHex(std::string_view s, size_t pos, size_t digits, uint32_t& out) {
  if (pos + digits > s.size()) return false;
  out = 0;
  for (size_t i = 0; i < digits; ++i) {
    int v = HexValue(s[pos + i]);
    if (v < 0) return false;
    out = out * 16 + static_cast<uint32_t>(v);
  }
  return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Reads one code point of valid UTF-8 at pos; returns its length or 0 when invalid.
size_t NextCodePoint(std::string_view s, size_t pos, uint32_t& cp) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char c = b(pos);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t len;
  uint32_t min;
  if ((c & 0xE0) == 0xC0) {
    len = 2; cp = c & 0x1F; min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3; cp = c & 0x0F; min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4; cp = c & 0x07; min = 0x10000;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((b(pos + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(pos + i) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    size_t n = NextCodePoint(s, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::optional<std::string> DecodePercentUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%') {
      uint32_t v;
      if (!ReadHex(s, i + 1, 2, v)) return std::nullopt;
      out += static_cast<char>(v);
      i += 2;
    } else {
      out += s[i];
    }
  }
  if (!IsValidUtf8(out)) return std::nullopt;
  return out;
}

std::optional<std::string> DecodeUploadEscape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c != '%') {
      // Only printable ASCII travels unescaped (letters, digits, "/" and the few literal records).
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return std::nullopt;
      out += c;
      continue;
    }
    uint32_t unit;
    if (i + 1 < s.size() && s[i + 1] == 'u') {
      if (!ReadHex(s, i + 2, 4, unit)) return std::nullopt;
      i += 5;
      if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;  // low surrogate alone
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        uint32_t low;
        if (i + 2 >= s.size() || s[i + 1] != '%' || s[i + 2] != 'u' || !ReadHex(s, i + 3, 4, low) ||
            low < 0xDC00 || low > 0xDFFF)
          return std::nullopt;
        i += 6;
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      }
      AppendUtf8(out, unit);
    } else {
      if (!ReadHex(s, i + 1, 2, unit) || unit >= 0x80) return std::nullopt;
      i += 2;
      out += static_cast<char>(unit);
    }
  }
  return out;
}

std::string EncodeUploadEscape(std::string_view utf8) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  auto unit = [&](uint32_t u) {
    out += "%u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(u >> shift) & 0xF];
  };
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp;
    size_t n = NextCodePoint(utf8, i, cp);
    if (n == 0) {
      cp = 0xFFFD;
      n = 1;
    }
    i += n;
    if ((cp >= '0' && cp <= '9') || (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') || cp == '/') {
      out += static_cast<char>(cp);
    } else if (cp < 0x80) {
      out += '%';
      out += hex[cp >> 4];
      out += hex[cp & 0xF];
    } else if (cp < 0x10000) {
      unit(cp);
    } else {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    }
  }
  return out;
}

std::string EncodePercentUtf8(std::string_view utf8) {
  static const char* hex = "0123456789ABCDEF";
  static const std::string_view reserved = "*#%<>[]";
  std::string out;
  for (unsigned char c : utf8) {
    if (c >= 0x21 && c < 0x7F && reserved.find(static_cast<char>(c)) == std::string_view::npos) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

std::optional<FormFields> SplitFormBody(std::string_view body) {
  FormFields fields;
  if (body.empty()) return fields;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view piece = body.substr(start, end - start);
    if (!piece.empty()) {
      size_t eq = piece.find('=');
      if (eq == std::string_view::npos || eq == 0) return std::nullopt;
      fields.emplace_back(std::string(piece.substr(0, eq)), std::string(piece.substr(eq + 1)));
    }
    start = end + 1;
  }
  return fields;
}

std::string FieldValue(const FormFields& fields, std::string_view name) {
  for (const auto& [n, v] : fields)
    if (n == name) return v;
  return {};
}

bool HasField(const FormFields& fields, std::string_view name) {
  for (const auto& f : fields)
    if (f.first == name) return true;
  return false;
}

std::string HtmlEscape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string UrlPathEscape(std::string_view s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_' ||
        c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> SplitBy(std::string_view s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t end = s.find(sep, start);
    if (end == std::string_view::npos) {
      out.emplace_back(s.substr(start));
      break;
    }
    out.emplace_back(s.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace qs
