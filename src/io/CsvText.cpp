#include "io/CsvText.h"

#include "format/NumberFormat.h"

namespace quillane {

namespace {

bool Blank(char c) {
  return c == ' ' || c == '\t';
}

// The fields of one line. Blanks are cut around each field, but not from inside quotes.
CsvLine Split(std::string_view line, char separator) {
  CsvLine split;
  split.Fields.emplace_back();
  std::size_t kept = 0;  // the field's length up to its last quoted character
  bool quoted = false;
  const auto close = [&] {
    std::string& field = split.Fields.back();
    while (field.size() > kept && Blank(field.back())) field.pop_back();
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    std::string& field = split.Fields.back();
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c != '"') {
        field += c;
      } else {
        quoted = false;
      }
      kept = field.size();
    } else if (c == '"') {
      quoted = true;
    } else if (c == separator) {
      close();
      split.Fields.emplace_back();
      kept = 0;
    } else if (!(Blank(c) && field.empty())) {
      field += c;
    }
  }
  close();
  split.Closed = !quoted;
  return split;
}

// Whether the line holds `c` outside quotes.
bool HoldsOutsideQuotes(std::string_view line, char c) {
  bool quoted = false;
  for (const char k : line) {
    if (k == '"') quoted = !quoted;
    if (k == c && !quoted) return true;
  }
  return false;
}

}  // namespace

std::optional<double> CsvText::Number(const std::string& field) const {
  auto value = format::ParseStrict(field, '.', '\0');
  if (!value && Separator != ',') value = format::ParseStrict(field, ',', '\0');
  return value;
}

CsvText ParseCsv(std::string_view text, char comment) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  CsvText csv;
  bool header = true;
  std::size_t number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    if (comment != '\0' && line[first] == comment) continue;
    if (header) {
      csv.Separator = HoldsOutsideQuotes(line, ';')    ? ';'
                      : HoldsOutsideQuotes(line, ',')  ? ','
                      : HoldsOutsideQuotes(line, '\t') ? '\t'
                                                       : ',';
      header = false;
    }
    CsvLine split = Split(line, csv.Separator);
    split.Number = number;
    csv.Lines.push_back(std::move(split));
  }
  return csv;
}

std::string ReadCsvFile(const std::filesystem::path& path, const std::string& what) {
  return ReadTextFile(path, what, kMaxCsvFileBytes);
}

}  // namespace quillane
