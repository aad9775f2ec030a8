// Text encodings of the files the tool reads and of what it sends: files are
// Windows-1252 unless the whole file is valid UTF-8; internally texts are UTF-8.
#pragma once

#include <string>
#include <vector>

namespace skyrelay {

bool IsValidUtf8(const std::string& bytes);
std::string Cp1252ToUtf8(const std::string& bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string Utf8ToCp1252(const std::string& text);
// Decodes a text file's bytes to UTF-8 (a UTF-8 byte-order mark is skipped).
std::string DecodeTextFile(const std::string& bytes);
// Splits into lines ending in CR LF or LF; a last line without an ending counts,
// an empty tail after the last line ending does not.
std::vector<std::string> SplitLines(const std::string& text);
// UTF-8 text split into its characters (each a UTF-8 string of one code point).
std::vector<std::string> Utf8Characters(const std::string& text);
// The byte offset after the character that starts at byte `at` of UTF-8 text
// (an invalid byte counts as one character, as in Utf8Characters).
size_t Utf8CharacterEnd(const std::string& text, size_t at);
// The first `count` characters of UTF-8 text.
std::string Utf8Prefix(const std::string& text, size_t count);
// The number of characters of UTF-8 text.
size_t Utf8Length(const std::string& text);
// What a text file's bytes hold that the reader takes differently from what the
// writer meant: UTF-8 mixed with Windows-1252 (the whole file is then read as
// Windows-1252), bytes that are no character in either, and lines ended by a
// carriage return alone (they run together into one line). Line numbers as
// SplitLines counts them.
struct TextWarning {
  int line = 0;
  std::string text;  // German
};
std::vector<TextWarning> TextFileWarnings(const std::string& bytes);

// Upper case for ASCII letters and the Latin-1 letters (so ä becomes Ä).
std::string ToUpperText(const std::string& text);

}  // namespace skyrelay
