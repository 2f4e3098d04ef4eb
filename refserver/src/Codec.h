#pragma once
// Decoders and encoders for the bytes that travel between the desktop program and the server.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qs {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view s);

// "%XX" per byte, every other byte taken as it is; "+" stays "+". Fails on a broken "%" sequence
// or when the decoded bytes are not UTF-8.
std::optional<std::string> DecodePercentUtf8(std::string_view s);

// Inverse of the upload escaping: "%uXXXX" is a UTF-16 code unit (surrogate pairs joined),
// "%XX" a character below U+0080, printable ASCII stays. Fails on anything the escaping never makes.
std::optional<std::string> DecodeUploadEscape(std::string_view s);

// The upload escaping itself (used by tests and the load check to build requests).
std::string EncodeUploadEscape(std::string_view utf8);

// The encoded form of the login requests: "%XX" for the reserved characters and every byte
// of a character outside "!".."~" (used by tests and the load check).
std::string EncodePercentUtf8(std::string_view utf8);

// Splits "a=b&c=d" into raw (still encoded) pairs; the value is everything after the first "=".
// Fails when a piece has no "=" or an empty name.
std::optional<FormFields> SplitFormBody(std::string_view body);

// Value of the first field with that name, or "" when absent (the program leaves empty fields out).
std::string FieldValue(const FormFields& fields, std::string_view name);
bool HasField(const FormFields& fields, std::string_view name);

std::string HtmlEscape(std::string_view s);
std::string UrlPathEscape(std::string_view s);
std::string ToLowerAscii(std::string_view s);
std::string Trim(std::string_view s);
std::vector<std::string> SplitBy(std::string_view s, char sep);

}  // namespace qs
