#pragma once
// Comma-separated text as spreadsheets write it, for every CSV the programs read (records,
// materials, study tables): a UTF-8 byte-order mark, LF or CRLF line ends, fields in double
// quotes (holding the separator; "" inside is one quote), ',', ';' or a tab between fields. The
// header decides the separator: ';' when it holds one outside quotes, else ',' when it holds one,
// else a tab when it holds one; with ';' or a tab a decimal comma is read too.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "io/TextFile.h"

namespace quillane {

// A file that cannot be read as text; the message names it, and `What()` tells a folder, a file
// that cannot be opened and one too large apart, for callers that word them themselves.
using CsvError = TextFileError;

struct CsvLine {
  std::size_t Number = 0;           // line of the text, from 1
  std::vector<std::string> Fields;  // blanks around each cut, not those inside quotes
  bool Closed = true;               // false when a quote is left open at the line's end
};

struct CsvText {
  char Separator = ',';
  std::vector<CsvLine> Lines;  // the lines that hold anything, the header first

  // A field as a number: with a point, or with ';' or tabs between fields a decimal comma too.
  std::optional<double> Number(const std::string& field) const;
};

// The lines of `text`; blank lines are left out, and so are lines starting with `comment`
// (after blanks) where it is not '\0'.
CsvText ParseCsv(std::string_view text, char comment = '\0');

// The whole file, to parse: ReadTextFile with the cap of CSV files (kMaxCsvFileBytes).
std::string ReadCsvFile(const std::filesystem::path& path, const std::string& what);

}  // namespace quillane
