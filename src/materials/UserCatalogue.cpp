#include "materials/UserCatalogue.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <unordered_map>

#include "materials/MaterialTable.h"

namespace quillane {

namespace {

// The columns of the shipped table, exactly.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS \"matériaux\" (\"Matériaux\" TEXT PRIMARY KEY COLLATE NOCASE, "
    "\"Lambda\" REAL, \"Rho\" REAL, \"Cp\" REAL, \"Tfusion\" REAL, \"Lfusion\" REAL, "
    "\"ModuleYoung\" REAL, \"Poisson\" REAL, \"dilat\" REAL, \"SigmaQ\" REAL);"
    "CREATE TABLE IF NOT EXISTS \"sources\" (\"Matériaux\" TEXT PRIMARY KEY COLLATE NOCASE, "
    "\"Source\" TEXT);";

DbHandle OpenFile(const std::filesystem::path& path, int flags) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DbHandle db(raw);
  if (opened != SQLITE_OK) {
    throw CatalogueError("Cannot open the user materials catalogue " + path.string() + ": " +
                         (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(opened)));
  }
  sqlite3_busy_timeout(db.get(), 2000);
  return db;
}

void Execute(sqlite3* db, const char* sql, const std::filesystem::path& path) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    ThrowSqliteFault(db, path, true);
  }
}

void Run(sqlite3* db, sqlite3_stmt* statement, const std::filesystem::path& path) {
  if (sqlite3_step(statement) != SQLITE_DONE) ThrowSqliteFault(db, path, true);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

// A transaction that rolls back unless committed, so a failed write leaves the file as it was.
class Transaction {
 public:
  Transaction(sqlite3* db, const std::filesystem::path& path) : db_(db), path_(path) {
    Execute(db_, "BEGIN IMMEDIATE", path_);
  }
  ~Transaction() {
    if (!committed_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Execute(db_, "COMMIT", path_);
    committed_ = true;
  }

 private:
  sqlite3* db_;
  const std::filesystem::path& path_;
  bool committed_ = false;
};

// Throws CatalogueError listing the rows of the table that cannot be read, if any. Made through
// the writer's own connection, under its lock: no other program changes the rows between the
// check and the write, and a locked file is waited for once, by the write.
void RefuseDamaged(sqlite3* db, const std::filesystem::path& path) {
  std::vector<std::string> bad;
  try {
    ReadMaterialTable(db, path, &bad);
  } catch (const CatalogueError&) {
    return;  // a new file, or one that cannot be read at all, is told by the write itself
  }
  if (bad.empty()) return;
  std::string told;
  for (const std::string& fault : bad) told += "\n  " + fault;
  throw CatalogueError("The user materials catalogue " + path.string() + " holds " +
                       std::to_string(bad.size()) + (bad.size() == 1 ? " row" : " rows") +
                       " that cannot be read; it is left as it is until they are mended:" + told);
}

// Inside the write's transaction: the damaged rows refused, then the tables made where missing
// (rolled back with the rest when the write fails).
void PrepareWrite(sqlite3* db, const std::filesystem::path& path) {
  RefuseDamaged(db, path);
  Execute(db, kSchema, path);
}

// The names of the table by their folded form, read once for a whole import.
using NamesByKey = std::unordered_map<std::string, std::vector<std::string>>;

NamesByKey ReadNames(sqlite3* db, const std::filesystem::path& path) {
  NamesByKey names;
  Statement all = PrepareStatement(db, "SELECT \"Matériaux\" FROM \"matériaux\"", path);
  while (sqlite3_step(all.get()) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(all.get(), 0));
    const int size = sqlite3_column_bytes(all.get(), 0);
    if (text == nullptr) continue;
    std::string name(text, static_cast<std::size_t>(size));
    names[FoldName(name)].push_back(std::move(name));
  }
  return names;
}

// Writes rows into the table, each replacing the rows of its name whatever their letter case,
// as the catalogue compares names. The statements are prepared once, and the names looked up by
// hash, so that an import costs one pass over its rows.
class RowWriter {
 public:
  RowWriter(sqlite3* db, const std::filesystem::path& path)
      : db_(db),
        path_(path),
        names_(ReadNames(db, path)),
        deleteRow_(
            PrepareStatement(db, "DELETE FROM \"matériaux\" WHERE \"Matériaux\" = ?1", path)),
        deleteSource_(
            PrepareStatement(db, "DELETE FROM \"sources\" WHERE \"Matériaux\" = ?1", path)),
        insertRow_(PrepareStatement(db,
                                    "INSERT INTO \"matériaux\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
                                    "?8, ?9, ?10)",
                                    path)),
        insertSource_(PrepareStatement(db, "INSERT INTO \"sources\" VALUES (?1, ?2)", path)) {}

  void Delete(const std::string& name) {
    const auto found = names_.find(FoldName(name));
    if (found == names_.end()) return;
    for (const std::string& doomed : found->second) {
      for (sqlite3_stmt* statement : {deleteRow_.get(), deleteSource_.get()}) {
        sqlite3_bind_text(statement, 1, doomed.data(), static_cast<int>(doomed.size()),
                          SQLITE_TRANSIENT);
        Run(db_, statement, path_);
      }
    }
    names_.erase(found);
  }

  void Insert(const UserMaterial& material) {
    const MaterialRecord& r = material.Row;
    // SQLite would keep a name only up to a NUL, and one row could then replace another.
    if (HasControlCharacter(r.Name)) {
      throw CatalogueError("The material name \"" + EscapedName(r.Name) +
                           "\" holds a control character; nothing was written to " +
                           path_.string() + ".");
    }
    sqlite3_bind_text(insertRow_.get(), 1, r.Name.c_str(), -1, SQLITE_TRANSIENT);
    const double values[] = {r.Lambda,      r.Rho,     r.Cp,    r.Tfusion, r.Lfusion,
                             r.ModuleYoung, r.Poisson, r.dilat, r.SigmaQ};
    for (int i = 0; i < 9; ++i) sqlite3_bind_double(insertRow_.get(), i + 2, values[i]);
    Run(db_, insertRow_.get(), path_);
    sqlite3_bind_text(insertSource_.get(), 1, r.Name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insertSource_.get(), 2, material.Source.c_str(), -1, SQLITE_TRANSIENT);
    Run(db_, insertSource_.get(), path_);
    names_[FoldName(r.Name)].push_back(r.Name);
  }

  // Replaces the rows of the material's name (and of `replacing`, when given) by the material.
  void Save(const UserMaterial& material, const std::string& replacing = {}) {
    if (!replacing.empty()) Delete(replacing);
    Delete(material.Row.Name);
    Insert(material);
  }

 private:
  sqlite3* db_;
  const std::filesystem::path& path_;
  NamesByKey names_;
  Statement deleteRow_;
  Statement deleteSource_;
  Statement insertRow_;
  Statement insertSource_;
};

}  // namespace

std::filesystem::path UserCatalogue::DefaultPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::filesystem::path folder;
  if (data != nullptr && data[0] == '/') {
    folder = data;
  } else {
    const char* home = std::getenv("HOME");
    folder =
        std::filesystem::path(home != nullptr && home[0] != '\0' ? home : ".") / ".local" / "share";
  }
  return folder / "quillane" / "materiaux.db";
}

bool UserCatalogue::Exists() const {
  std::error_code ignored;
  return std::filesystem::exists(path_, ignored);
}

std::vector<UserMaterial> UserCatalogue::Read(std::vector<std::string>* badRows) const {
  if (!Exists()) return {};
  // Opened for writing where the file allows it (SQLite falls back to reading only where it does
  // not), so that the journal of an import that was killed is rolled back here: a read-only
  // reader cannot, and would find the catalogue unreadable.
  DbHandle db = OpenFile(path_, SQLITE_OPEN_READWRITE);
  std::vector<UserMaterial> materials;
  for (MaterialRecord& row : ReadMaterialTable(db.get(), path_, badRows)) {
    materials.push_back({std::move(row), {}});
  }
  // The side table is optional: a file made by hand with only the main table still reads.
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db.get(), "SELECT \"Matériaux\", \"Source\" FROM \"sources\"", -1, &raw,
                         nullptr) == SQLITE_OK) {
    Statement sources(raw);
    // The rows of each folded name, so that each source is found in one look-up.
    std::unordered_map<std::string, std::vector<std::size_t>> rowsOf;
    for (std::size_t i = 0; i < materials.size(); ++i) {
      rowsOf[FoldName(materials[i].Row.Name)].push_back(i);
    }
    while (sqlite3_step(sources.get()) == SQLITE_ROW) {
      const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(sources.get(), 0));
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(sources.get(), 1));
      if (name == nullptr || text == nullptr) continue;
      const auto found = rowsOf.find(FoldName(name));
      if (found == rowsOf.end()) continue;
      for (const std::size_t i : found->second) materials[i].Source = text;
    }
  } else {
    sqlite3_finalize(raw);
  }
  return materials;
}

void UserCatalogue::Save(const UserMaterial& material, const std::string& replacing) {
  DbHandle db = OpenForWriting();
  Transaction transaction(db.get(), path_);
  PrepareWrite(db.get(), path_);
  RowWriter(db.get(), path_).Save(material, replacing);
  transaction.Commit();
}

void UserCatalogue::SaveAll(const std::vector<UserMaterial>& materials) {
  DbHandle db = OpenForWriting();
  Transaction transaction(db.get(), path_);
  PrepareWrite(db.get(), path_);
  RowWriter writer(db.get(), path_);
  for (const UserMaterial& material : materials) writer.Save(material);
  transaction.Commit();
}

DbHandle UserCatalogue::OpenForWriting() const {
  std::error_code error;
  std::filesystem::create_directories(path_.parent_path(), error);
  if (error) {
    throw CatalogueError("Cannot create the folder of the user materials catalogue " +
                         path_.parent_path().string() + ": " + error.message());
  }
  return OpenFile(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

void UserCatalogue::Remove(const std::string& name) {
  if (!Exists()) return;
  DbHandle db = OpenFile(path_, SQLITE_OPEN_READWRITE);
  Transaction transaction(db.get(), path_);
  RefuseDamaged(db.get(), path_);
  RowWriter(db.get(), path_).Delete(name);
  transaction.Commit();
}

std::vector<UserMaterial> RowsWithOwn(const MaterialsCatalogue& catalogue,
                                      const std::vector<UserMaterial>& own) {
  std::vector<UserMaterial> rows;
  for (const MaterialRecord& row : catalogue.Rows()) {
    const bool replaced = std::any_of(own.begin(), own.end(), [&row](const UserMaterial& mine) {
      return FoldName(mine.Row.Name) == FoldName(row.Name);
    });
    if (!replaced) rows.push_back({row, ""});
  }
  rows.insert(rows.end(), own.begin(), own.end());
  return rows;
}

MaterialsCatalogue OpenMergedCatalogue(const std::filesystem::path& shipped,
                                       const UserCatalogue& user, std::string& userFault) {
  MaterialsCatalogue catalogue;
  catalogue.Open(shipped);
  userFault.clear();
  try {
    std::vector<MaterialRecord> rows;
    std::vector<std::string> bad;
    for (UserMaterial& material : user.Read(&bad)) rows.push_back(std::move(material.Row));
    catalogue.AddUserRows(rows, user.Path());
    for (const std::string& fault : bad) userFault += (userFault.empty() ? "" : "\n") + fault;
  } catch (const CatalogueError& error) {
    userFault = error.what();
  }
  return catalogue;
}

}  // namespace quillane
