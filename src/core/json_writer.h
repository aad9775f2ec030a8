// JSON text for programs that read the command-line program's output: one
// value built member by member, with strings escaped so that the text is
// always valid UTF-8 and fits on one line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skyrelay {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next member of the open object.
  JsonWriter& Key(std::string_view key);

  // Values: in an array, or after Key.
  JsonWriter& String(std::string_view text);
  JsonWriter& Integer(long long value);
  // Up to three decimals, without trailing zeros; a value that is not finite is null.
  JsonWriter& Number(double value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Key and value in one.
  JsonWriter& Member(std::string_view key, std::string_view text) { return Key(key).String(text); }
  JsonWriter& Member(std::string_view key, const char* text) { return Key(key).String(text); }
  JsonWriter& Member(std::string_view key, const std::string& text) {
    return Key(key).String(text);
  }
  JsonWriter& Member(std::string_view key, bool value) { return Key(key).Bool(value); }
  JsonWriter& Member(std::string_view key, int value) { return Key(key).Integer(value); }
  JsonWriter& Member(std::string_view key, long value) { return Key(key).Integer(value); }
  JsonWriter& Member(std::string_view key, long long value) { return Key(key).Integer(value); }
  JsonWriter& Member(std::string_view key, unsigned value) { return Key(key).Integer(value); }
  JsonWriter& Member(std::string_view key, unsigned long value) {
    return Key(key).Integer(static_cast<long long>(value));
  }
  JsonWriter& Member(std::string_view key, double value) { return Key(key).Number(value); }
  // null when there is no value.
  template <class T>
  JsonWriter& Member(std::string_view key, const std::optional<T>& value) {
    return value ? Member(key, *value) : Key(key).Null();
  }
  JsonWriter& NullMember(std::string_view key) { return Key(key).Null(); }

  // The text so far; whole once every object and array is ended.
  const std::string& text() const { return out_; }

 private:
  void BeforeValue();
  void Quoted(std::string_view text);

  std::string out_;
  // For each open object or array: whether a value has been written in it.
  std::vector<bool> filled_;
  bool afterKey_ = false;
};

}  // namespace skyrelay
