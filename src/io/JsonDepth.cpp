#include "io/JsonDepth.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

namespace quillane {

bool JsonTooDeep(std::string_view text) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

namespace {

// Keys seen in each open object; arrays push an empty set so that the stack follows the nesting.
class KeyWatcher : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::string Duplicate;

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    open_.emplace_back();
    return true;
  }
  bool key(string_t& name) override {
    if (!open_.back().insert(name).second) {
      Duplicate = name;
      return false;
    }
    return true;
  }
  bool end_object() override {
    open_.pop_back();
    return true;
  }
  bool start_array(std::size_t) override {
    open_.emplace_back();
    return true;
  }
  bool end_array() override {
    open_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  std::vector<std::set<std::string>> open_;
};

}  // namespace

std::string DuplicateJsonKey(std::string_view text) {
  KeyWatcher watcher;
  nlohmann::json::sax_parse(text, &watcher);
  return watcher.Duplicate;
}

TextPosition PositionOfByte(std::string_view text, std::size_t byte) {
  TextPosition position;
  const std::size_t end = std::min(byte, text.size());
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i + 1 < end; ++i) {
    if (text[i] == '\n') {
      ++position.Line;
      lineStart = i + 1;
    }
  }
  position.Column = end > lineStart ? end - lineStart : 1;
  return position;
}

std::string JsonDepthText() {
  return "arrays and objects nest more than " + std::to_string(kMaxJsonDepth) + " deep";
}

}  // namespace quillane
