#include "materials/MaterialsCatalogue.h"

#include "materials/MaterialTable.h"
#include "model/FigureTable.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <memory>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace quillane {

namespace {

constexpr const char* kTable = "matériaux";

constexpr const char* kNameColumn = "Matériaux";

constexpr const char* kPointsTable = "points";
constexpr const char* kFigureColumn = "Figure";
constexpr const char* kTemperatureColumn = "Température";
constexpr const char* kValueColumn = "Valeur";

// Case folding for names: ASCII letters as SQLite NOCASE does, plus the Latin-1 capitals
// (À..Þ but ×) and Œ, Ÿ written in UTF-8, so "ZIRCONE YTTRIÉE" finds "Zircone yttriée".
std::string Fold(std::string_view text) {
  std::string folded(text);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    auto byte = static_cast<unsigned char>(folded[i]);
    if (byte >= 'A' && byte <= 'Z') {
      folded[i] = static_cast<char>(byte + ('a' - 'A'));
    } else if (i + 1 < folded.size()) {
      auto next = static_cast<unsigned char>(folded[i + 1]);
      if (byte == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
        folded[i + 1] = static_cast<char>(next + 0x20);
        ++i;
      } else if (byte == 0xC5 && next == 0x92) {  // Œ -> œ
        folded[i + 1] = static_cast<char>(0x93);
        ++i;
      } else if (byte == 0xC5 && next == 0xB8) {  // Ÿ -> ÿ
        folded[i] = static_cast<char>(0xC3);
        folded[i + 1] = static_cast<char>(0xBF);
        ++i;
      }
    }
  }
  return folded;
}

// Names and values read from a damaged file may hold any byte: quoted with their control
// characters escaped, so that a message stays on one line and is never cut short at a NUL by
// what().
std::string Quoted(std::string_view text) {
  return "\"" + EscapedName(text) + "\"";
}

std::string Where(const std::filesystem::path& path) {
  return " in " + path.string();
}

// Text stored in a numeric column is accepted when it is a whole number written as SQLite
// itself would convert it (surrounding blanks and a leading '+' allowed).
bool ParseNumber(std::string_view text, double& value) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

double ReadNumber(sqlite3_stmt* statement, int column, const std::string& material,
                  const char* columnName, const std::filesystem::path& path) {
  const auto fault = [&](const std::string& why) {
    return CatalogueError("Value of column " + Quoted(columnName) + " for material " +
                          Quoted(material) + Where(path) + " " + why);
  };
  double value = 0;
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      value = sqlite3_column_double(statement, column);
      break;
    case SQLITE_TEXT: {
      const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      std::string_view text(bytes,
                            static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
      if (!ParseNumber(text, value)) {
        throw fault("is not a number: " + Quoted(text));
      }
      break;
    }
    case SQLITE_NULL:
      throw fault("is missing (NULL)");
    default:
      throw fault("is not a number (binary data)");
  }
  if (!std::isfinite(value)) throw fault("is not a finite number");
  return value;
}

// SQLite reports a file that is not a database either when the schema is first read or on a
// later page; both read as the same fault to the user.
}  // namespace

[[noreturn]] void ThrowSqliteFault(sqlite3* db, const std::filesystem::path& path, bool writing) {
  const int code = sqlite3_errcode(db);
  if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
    throw CatalogueError("Materials catalogue is not a valid SQLite database: " + path.string() +
                         " (" + sqlite3_errmsg(db) + ")");
  }
  const std::string verb = writing ? "Cannot write" : "Cannot read";
  if (const std::string place = UnusablePlace(path); !place.empty()) {
    throw CatalogueError(verb + " materials catalogue " + path.string() + ": it " + place);
  }
  // A write that was interrupted left its journal, which a reader must roll back first: SQLite
  // tells a catalogue or folder it may not change as a read-only database or an I/O error.
  std::error_code ignored;
  const std::filesystem::path journal = path.string() + "-journal";
  if ((code == SQLITE_IOERR || code == SQLITE_READONLY || code == SQLITE_CANTOPEN) &&
      std::filesystem::exists(journal, ignored)) {
    throw CatalogueError(verb + " materials catalogue " + path.string() +
                         ": a write to it was interrupted, and its journal " + journal.string() +
                         " cannot be rolled back by a program that may not change the catalogue "
                         "and its folder");
  }
  throw CatalogueError(verb + " materials catalogue " + path.string() + ": " + sqlite3_errmsg(db));
}

std::string UnusablePlace(const std::filesystem::path& path) {
  struct stat own {};
  if (lstat(path.c_str(), &own) != 0) return {};
  struct stat target {};
  if (S_ISLNK(own.st_mode) && stat(path.c_str(), &target) != 0) {
    if (errno == ELOOP) return "is a symbolic link that leads back to itself";
    std::error_code ignored;
    return "is a symbolic link to " + std::filesystem::read_symlink(path, ignored).string() +
           ", which does not exist";
  }
  if (S_ISLNK(own.st_mode) ? S_ISDIR(target.st_mode) : S_ISDIR(own.st_mode)) {
    return "is a folder, not a file";
  }
  return {};
}

void DbCloser::operator()(sqlite3* db) const {
  sqlite3_close(db);
}

void StatementFinalizer::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

Statement PrepareStatement(sqlite3* db, const char* sql, const std::filesystem::path& path) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    ThrowSqliteFault(db, path);
  }
  return Statement(raw);
}

namespace {

bool HasTable(sqlite3* db, const char* table, const std::filesystem::path& path) {
  Statement query = PrepareStatement(
      db,
      "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE",
      path);
  sqlite3_bind_text(query.get(), 1, table, -1, SQLITE_STATIC);
  const int step = sqlite3_step(query.get());
  if (step != SQLITE_ROW && step != SQLITE_DONE) ThrowSqliteFault(db, path);
  return step == SQLITE_ROW;
}

// Checked through the schema first so that a missing table gets its own message rather than
// SQLite's generic "no such table" text.
void RequireTable(sqlite3* db, const std::filesystem::path& path) {
  if (!HasTable(db, kTable, path)) {
    throw CatalogueError("Materials catalogue " + path.string() + " has no table " +
                         Quoted(kTable));
  }
}

int FindColumn(sqlite3_stmt* statement, const char* wanted, const std::filesystem::path& path,
               const char* table = kTable) {
  const std::string key = Fold(wanted);
  for (int i = 0; i < sqlite3_column_count(statement); ++i) {
    const char* name = sqlite3_column_name(statement, i);
    if (name != nullptr && Fold(name) == key) return i;
  }
  throw CatalogueError("Column " + Quoted(wanted) + " is missing from table " + Quoted(table) +
                       Where(path));
}

std::string TextOf(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text == nullptr
             ? std::string()
             : std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

// Gives the rows the points of the side table, where the file has one. A row whose points
// cannot be read, or do not make a table, is left out and its fault added to `faults`, one per
// row. Points of no row are left alone: no run can see them.
void ReadPoints(sqlite3* db, const std::filesystem::path& path, std::vector<MaterialRecord>& rows,
                std::vector<std::string>& faults) {
  if (!HasTable(db, kPointsTable, path)) return;
  Statement select = PrepareStatement(db, "SELECT * FROM \"points\"", path);
  const int columns[] = {FindColumn(select.get(), kNameColumn, path, kPointsTable),
                         FindColumn(select.get(), kFigureColumn, path, kPointsTable),
                         FindColumn(select.get(), kTemperatureColumn, path, kPointsTable),
                         FindColumn(select.get(), kValueColumn, path, kPointsTable)};
  // A point belongs to the row of its exact name, else to the rows of its name whatever the
  // letter case, as a hand-made file may write it.
  std::unordered_map<std::string, std::vector<std::size_t>> exact;
  std::unordered_map<std::string, std::vector<std::size_t>> folded;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    exact[rows[i].Name].push_back(i);
    folded[Fold(rows[i].Name)].push_back(i);
  }
  std::vector<std::string> rowFault(rows.size());
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
    const std::string name = TextOf(select.get(), columns[0]);
    const std::vector<std::size_t>* owners = nullptr;
    if (const auto same = exact.find(name); same != exact.end()) {
      owners = &same->second;
    } else if (const auto alike = folded.find(Fold(name)); alike != folded.end()) {
      owners = &alike->second;
    }
    if (owners == nullptr) continue;
    const std::string figureName = TextOf(select.get(), columns[1]);
    for (const std::size_t i : *owners) {
      if (!rowFault[i].empty()) continue;
      const TableFigure* figure = TableFigureNamed(figureName);
      if (figure == nullptr) {
        rowFault[i] = "Points of material " + Quoted(rows[i].Name) + Where(path) + " name " +
                      Quoted(figureName) + ", which is not a figure given against temperature " +
                      "(Lambda, Cp, ModuleYoung, dilat, SigmaQ)";
        continue;
      }
      try {
        FigurePoint point;
        point.Temperature =
            ReadNumber(select.get(), columns[2], rows[i].Name, kTemperatureColumn, path);
        point.Value = ReadNumber(select.get(), columns[3], rows[i].Name, kValueColumn, path);
        (rows[i].Tables.*figure->Points).push_back(point);
      } catch (const CatalogueError& error) {
        rowFault[i] = std::string("Points of table ") + Quoted(kPointsTable) + ": " + error.what();
      }
    }
  }
  if (step != SQLITE_DONE) ThrowSqliteFault(db, path);
  std::vector<MaterialRecord> kept;
  kept.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    // The file keeps a set of points: in rising temperature they make the table, and two at
    // one temperature are then told.
    for (const TableFigure& figure : kTableFigures) {
      FigureTable& points = rows[i].Tables.*figure.Points;
      if (points.empty() || !rowFault[i].empty()) continue;
      std::stable_sort(points.begin(), points.end(),
                       [](const auto& a, const auto& b) { return a.Temperature < b.Temperature; });
      if (const TableFault fault = FindTableFault(points); !fault.English.empty()) {
        rowFault[i] = "Points of " + Quoted(figure.Name) + " for material " + Quoted(rows[i].Name) +
                      Where(path) + " are not a table: " + fault.English;
      }
    }
    if (rowFault[i].empty()) {
      kept.push_back(std::move(rows[i]));
    } else {
      faults.push_back(std::move(rowFault[i]));
    }
  }
  rows = std::move(kept);
}

// The row under the statement's cursor; throws CatalogueError naming what cannot be read.
MaterialRecord ReadRow(sqlite3_stmt* select, int nameColumn,
                       const std::array<int, kMaterialColumns.size()>& columns,
                       const std::filesystem::path& path) {
  MaterialRecord record;
  const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(select, nameColumn));
  if (name == nullptr) {
    throw CatalogueError("A material of table " + Quoted(kTable) + Where(path) +
                         " has no name (NULL " + Quoted(kNameColumn) + ")");
  }
  record.Name.assign(name, static_cast<std::size_t>(sqlite3_column_bytes(select, nameColumn)));
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    record.*(kMaterialColumns[i].Field) =
        ReadNumber(select, columns[i], record.Name, kMaterialColumns[i].Name, path);
  }
  return record;
}

}  // namespace

std::vector<MaterialRecord> ReadMaterialTable(sqlite3* db, const std::filesystem::path& path,
                                              std::vector<std::string>* badRows) {
  RequireTable(db, path);
  Statement select = PrepareStatement(db, "SELECT * FROM \"matériaux\"", path);
  const int nameColumn = FindColumn(select.get(), kNameColumn, path);
  std::array<int, kMaterialColumns.size()> columns{};
  for (std::size_t i = 0; i < kMaterialColumns.size(); ++i) {
    columns[i] = FindColumn(select.get(), kMaterialColumns[i].Name, path);
  }

  std::vector<MaterialRecord> rows;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
    try {
      rows.push_back(ReadRow(select.get(), nameColumn, columns, path));
    } catch (const CatalogueError& error) {
      if (badRows == nullptr) throw;
      badRows->push_back(error.what());
    }
  }
  if (step != SQLITE_DONE) ThrowSqliteFault(db, path);
  std::vector<std::string> pointFaults;
  ReadPoints(db, path, rows, pointFaults);
  if (!pointFaults.empty() && badRows == nullptr) throw CatalogueError(pointFaults.front());
  if (badRows != nullptr) badRows->insert(badRows->end(), pointFaults.begin(), pointFaults.end());
  return rows;
}

void MaterialsCatalogue::Open(const std::filesystem::path& path) {
  // A failed Open leaves the catalogue closed, never half-filled.
  Close();
  if (const std::string place = UnusablePlace(path); !place.empty()) {
    throw CatalogueError("Materials catalogue " + path.string() + " " + place);
  }
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored)) {
    throw CatalogueError("Materials catalogue not found: " + path.string());
  }

  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  DbHandle db(raw);
  if (opened != SQLITE_OK) {
    throw CatalogueError("Cannot open materials catalogue " + path.string() + ": " +
                         (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(opened)));
  }

  rows_ = ReadMaterialTable(db.get(), path);
  origins_.assign(rows_.size(), Origin::Shipped);
  Sort();
  path_ = path;
  open_ = true;
}

MaterialsCatalogue MaterialsCatalogue::FromRows(const std::filesystem::path& path,
                                                std::vector<MaterialRecord> shipped,
                                                const std::filesystem::path& userPath,
                                                const std::vector<MaterialRecord>& user) {
  MaterialsCatalogue catalogue;
  catalogue.rows_ = std::move(shipped);
  catalogue.origins_.assign(catalogue.rows_.size(), Origin::Shipped);
  catalogue.Sort();
  catalogue.path_ = path;
  catalogue.open_ = true;
  if (!user.empty() || !userPath.empty()) catalogue.AddUserRows(user, userPath);
  return catalogue;
}

void MaterialsCatalogue::AddUserRows(const std::vector<MaterialRecord>& rows,
                                     const std::filesystem::path& userPath) {
  // The row of each key, looked up by hash: a merge costs one pass over each list, however many
  // rows the user has.
  std::unordered_map<std::string, std::size_t> indexOf;
  indexOf.reserve(keys_.size() + rows.size());
  for (std::size_t i = 0; i < keys_.size(); ++i) indexOf.emplace(keys_[i], i);
  for (const MaterialRecord& row : rows) {
    std::string key = Fold(row.Name);
    const auto [same, added] = indexOf.emplace(key, rows_.size());
    if (!added) {
      rows_[same->second] = row;
      origins_[same->second] = Origin::User;
    } else {
      rows_.push_back(row);
      origins_.push_back(Origin::User);
      keys_.push_back(std::move(key));
    }
  }
  userPath_ = userPath;
  Sort();
}

void MaterialsCatalogue::Sort() {
  // Pick lists show the rows in this order: letter case ignored, exact bytes break ties.
  std::vector<std::string> keys;
  keys.reserve(rows_.size());
  for (const MaterialRecord& row : rows_) keys.push_back(Fold(row.Name));
  std::vector<std::size_t> order(rows_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (keys[a] != keys[b]) return keys[a] < keys[b];
    return rows_[a].Name < rows_[b].Name;
  });
  std::vector<MaterialRecord> rows;
  std::vector<Origin> origins;
  keys_.clear();
  for (std::size_t index : order) {
    rows.push_back(std::move(rows_[index]));
    origins.push_back(origins_[index]);
    keys_.push_back(std::move(keys[index]));
  }
  rows_ = std::move(rows);
  origins_ = std::move(origins);
}

void MaterialsCatalogue::Close() {
  open_ = false;
  path_.clear();
  userPath_.clear();
  rows_.clear();
  origins_.clear();
  keys_.clear();
}

const MaterialRecord* MaterialsCatalogue::FindMaterial(std::string_view name) const {
  const std::string key = Fold(name);
  const auto [first, last] = std::equal_range(keys_.begin(), keys_.end(), key);
  if (first == last) return nullptr;
  // Names differing only in case may coexist (e.g. "É" against "é"): the exact one wins.
  for (auto it = first; it != last; ++it) {
    const MaterialRecord& row = rows_[static_cast<std::size_t>(it - keys_.begin())];
    if (row.Name == name) return &row;
  }
  return &rows_[static_cast<std::size_t>(first - keys_.begin())];
}

const MaterialRecord& MaterialsCatalogue::LookupMaterial(std::string_view name) const {
  if (!IsOpen()) {
    throw CatalogueError("Materials catalogue is not open (looking for " + Quoted(name) + ")");
  }
  const MaterialRecord* found = FindMaterial(name);
  if (found == nullptr) {
    throw CatalogueError("Unknown material " + Quoted(name) + Where(path_));
  }
  return *found;
}

std::string FoldName(std::string_view name) {
  return Fold(name);
}

namespace {

// The length of the UTF-8 sequence starting at `at`, 0 when the bytes there are not one (a
// stray continuation, a cut or overlong sequence, a surrogate, past U+10FFFF).
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const unsigned lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned low = 0x80;
  unsigned high = 0xBF;  // the bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// C0 controls, DEL, and the C1 controls U+0080..U+009F (a terminal takes U+009B as the start
// of an escape sequence).
bool IsControl(std::string_view text, std::size_t at, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (length == 1) return lead < 0x20 || lead == 0x7F;
  return length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

}  // namespace

std::string EscapedName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = SequenceLength(name, i);
    if (length != 0 && !IsControl(name, i, length)) {
      shown.append(name, i, length);
      i += length;
      continue;
    }
    // A control character, byte by byte, or a byte that is not text.
    for (std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i) {
      const auto byte = static_cast<unsigned char>(name[i]);
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    }
  }
  return shown;
}

bool HasControlCharacter(std::string_view name) {
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = std::max<std::size_t>(SequenceLength(name, i), 1);
    if (IsControl(name, i, length)) return true;
    i += length;
  }
  return false;
}

std::filesystem::path DefaultCataloguePath() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    throw CatalogueError("Cannot locate the running executable (/proc/self/exe): " +
                         error.message());
  }
  // In the build tree the catalogue lies beside the programs; installed, in ../share/quillane.
  const std::filesystem::path beside = executable.parent_path() / "Brelon.db";
  const std::filesystem::path installed =
      executable.parent_path().parent_path() / "share" / "quillane" / "Brelon.db";
  if (!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error)) {
    return installed;
  }
  return beside;
}

}  // namespace quillane
