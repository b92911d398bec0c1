#include "materials/UserCatalogue.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "materials/MaterialTable.h"
#include "model/FigureTable.h"

namespace quillane {

namespace {

// The columns of the shipped table, exactly, then the side tables. A row's points go with it:
// deleting the row deletes them, whichever program deletes it (one that knows nothing of
// points included), so that no points outlive their row and reach a later row of that name.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS \"matériaux\" (\"Matériaux\" TEXT PRIMARY KEY COLLATE NOCASE, "
    "\"Lambda\" REAL, \"Rho\" REAL, \"Cp\" REAL, \"Tfusion\" REAL, \"Lfusion\" REAL, "
    "\"ModuleYoung\" REAL, \"Poisson\" REAL, \"dilat\" REAL, \"SigmaQ\" REAL);"
    "CREATE TABLE IF NOT EXISTS \"sources\" (\"Matériaux\" TEXT PRIMARY KEY COLLATE NOCASE, "
    "\"Source\" TEXT);"
    "CREATE TABLE IF NOT EXISTS \"points\" (\"Matériaux\" TEXT NOT NULL COLLATE NOCASE, "
    "\"Figure\" TEXT NOT NULL, \"Température\" REAL NOT NULL, \"Valeur\" REAL NOT NULL, "
    "PRIMARY KEY (\"Matériaux\", \"Figure\", \"Température\"));"
    "CREATE TRIGGER IF NOT EXISTS \"points du matériau\" AFTER DELETE ON \"matériaux\" BEGIN "
    "DELETE FROM \"points\" WHERE \"Matériaux\" = OLD.\"Matériaux\"; END;";

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
        insertSource_(PrepareStatement(db, "INSERT INTO \"sources\" VALUES (?1, ?2)", path)),
        insertPoint_(PrepareStatement(db,
                                      "INSERT INTO \"points\" (\"Matériaux\", \"Figure\", "
                                      "\"Température\", \"Valeur\") VALUES (?1, ?2, ?3, ?4)",
                                      path)) {}

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
    // Points that make no table would make the row unreadable: refused before anything is
    // written.
    for (const TableFigure& figure : kTableFigures) {
      const FigureTable& points = r.Tables.*figure.Points;
      if (points.empty()) continue;
      if (const TableFault fault = FindTableFault(points); !fault.English.empty()) {
        throw CatalogueError("The points of " + std::string(figure.Name) + " of \"" +
                             EscapedName(r.Name) + "\" are not a table: " + fault.English +
                             "; nothing was written to " + path_.string() + ".");
      }
    }
    sqlite3_bind_text(insertRow_.get(), 1, r.Name.c_str(), -1, SQLITE_TRANSIENT);
    const double values[] = {r.Lambda,      r.Rho,     r.Cp,    r.Tfusion, r.Lfusion,
                             r.ModuleYoung, r.Poisson, r.dilat, r.SigmaQ};
    for (int i = 0; i < 9; ++i) sqlite3_bind_double(insertRow_.get(), i + 2, values[i]);
    Run(db_, insertRow_.get(), path_);
    sqlite3_bind_text(insertSource_.get(), 1, r.Name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insertSource_.get(), 2, material.Source.c_str(), -1, SQLITE_TRANSIENT);
    Run(db_, insertSource_.get(), path_);
    for (const TableFigure& figure : kTableFigures) {
      for (const FigurePoint& point : r.Tables.*figure.Points) {
        sqlite3_bind_text(insertPoint_.get(), 1, r.Name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insertPoint_.get(), 2, figure.Name, -1, SQLITE_STATIC);
        sqlite3_bind_double(insertPoint_.get(), 3, point.Temperature);
        sqlite3_bind_double(insertPoint_.get(), 4, point.Value);
        Run(db_, insertPoint_.get(), path_);
      }
    }
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
  Statement insertPoint_;
};

// The catalogue's place refused before SQLite opens it: SQLite would take a symbolic link to
// nothing for a missing file, and tell a folder as an I/O fault.
void RefusePlace(const std::filesystem::path& path) {
  if (const std::string place = UnusablePlace(path); !place.empty()) {
    throw CatalogueError("The user materials catalogue " + path.string() + " " + place);
  }
}

// Whether the open file holds no table at all: an empty file, or one whose first write was
// rolled back. Reading it first rolls back the journal an interrupted write left.
bool HoldsNothing(sqlite3* db, const std::filesystem::path& path) {
  Statement count = PrepareStatement(db, "SELECT count(*) FROM sqlite_master", path);
  if (sqlite3_step(count.get()) != SQLITE_ROW) ThrowSqliteFault(db, path);
  return sqlite3_column_int64(count.get(), 0) == 0;
}

[[noreturn]] void ThrowCreateFault(const std::filesystem::path& path, const std::string& reason) {
  throw CatalogueError("Cannot create the user materials catalogue " + path.string() + ": " +
                       reason + "; nothing was written");
}

// Writes the bytes to a new file of the folder that no name shows yet, so that a program
// killed at any moment leaves nothing behind. Where the file system has no such files, a hidden
// temporary name beside the target stands in (a kill can leave that one, which nothing reads).
// Returns the open descriptor and that name.
std::pair<int, std::string> WriteUnnamed(const std::filesystem::path& path,
                                         std::string_view bytes) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::string named;
  int descriptor = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (descriptor < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    named = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    descriptor = mkstemp(named.data());
    if (descriptor >= 0) {
      const mode_t mask = umask(0);
      umask(mask);
      fchmod(descriptor, 0666 & ~mask);
    }
  }
  if (descriptor < 0) ThrowCreateFault(path, std::strerror(errno));
  const auto fail = [&](int error) {
    close(descriptor);
    if (!named.empty()) unlink(named.c_str());
    ThrowCreateFault(path, std::strerror(error));
  };
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = write(descriptor, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) fail(wrote == 0 ? ENOSPC : errno);
    done += static_cast<std::size_t>(wrote);
  }
  // The content reaches the disk before any name shows it.
  if (fsync(descriptor) != 0) fail(errno);
  return {descriptor, named};
}

// Puts a complete database at `path`, where no file is: written whole beside it, then linked
// under its name, which fails rather than replace a file another program made meanwhile. False
// in that case; the caller then writes into that file.
bool PlaceWhole(const std::filesystem::path& path, std::string_view bytes) {
  const auto [descriptor, named] = WriteUnnamed(path, bytes);
  const std::string unnamed = "/proc/self/fd/" + std::to_string(descriptor);
  const int linked =
      named.empty() ? linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW)
                    : link(named.c_str(), path.c_str());
  const int error = errno;
  close(descriptor);
  if (!named.empty()) unlink(named.c_str());
  if (linked != 0 && error == EEXIST) return false;
  if (linked != 0) ThrowCreateFault(path, std::strerror(error));
  // The new name itself reaches the disk.
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    fsync(directory);
    close(directory);
  }
  return true;
}

// The change made to a new database in memory, its tables first, as the bytes of its file.
std::string NewDatabase(const std::filesystem::path& path,
                        const std::function<void(sqlite3*)>& change) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
  DbHandle db(raw);
  if (opened != SQLITE_OK) ThrowCreateFault(path, sqlite3_errstr(opened));
  Execute(db.get(), "BEGIN", path);
  Execute(db.get(), kSchema, path);
  change(db.get());
  Execute(db.get(), "COMMIT", path);
  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(db.get(), "main", &size, 0);
  if (bytes == nullptr) ThrowCreateFault(path, "out of memory");
  std::string file(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
  sqlite3_free(bytes);
  return file;
}

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
  // A symbolic link counts, whatever it leads to: it is refused by name, never taken for no file.
  struct stat own {};
  return lstat(path_.c_str(), &own) == 0;
}

std::vector<UserMaterial> UserCatalogue::Read(std::vector<std::string>* badRows) const {
  if (!Exists()) return {};
  RefusePlace(path_);
  std::error_code error;
  if (std::filesystem::file_size(path_, error) == 0 && !error) return {};
  // Opened for writing where the file allows it (SQLite falls back to reading only where it does
  // not), so that the journal of an import that was killed is rolled back here: a read-only
  // reader cannot, and would find the catalogue unreadable.
  DbHandle db = OpenFile(path_, SQLITE_OPEN_READWRITE);
  // An empty file, or one whose first write was killed before it ended, holds no materials.
  if (HoldsNothing(db.get(), path_)) return {};
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
  Write([&](sqlite3* db) { RowWriter(db, path_).Save(material, replacing); });
}

void UserCatalogue::SaveAll(const std::vector<UserMaterial>& materials) {
  Write([&](sqlite3* db) {
    RowWriter writer(db, path_);
    for (const UserMaterial& material : materials) writer.Save(material);
  });
}

void UserCatalogue::Write(const std::function<void(sqlite3*)>& change) {
  RefusePlace(path_);
  if (!Exists()) {
    std::error_code error;
    if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), error);
    if (error) {
      throw CatalogueError("Cannot create the folder of the user materials catalogue " +
                           path_.parent_path().string() + ": " + error.message());
    }
    // A first write makes the file whole, so that one killed or failing leaves no file at all
    // rather than an empty one beside its journal.
    if (PlaceWhole(path_, NewDatabase(path_, change))) return;
  }
  DbHandle db = OpenFile(path_, SQLITE_OPEN_READWRITE);
  Transaction transaction(db.get(), path_);
  PrepareWrite(db.get(), path_);
  change(db.get());
  transaction.Commit();
}

void UserCatalogue::Remove(const std::string& name) {
  if (!Exists()) return;
  RefusePlace(path_);
  DbHandle db = OpenFile(path_, SQLITE_OPEN_READWRITE);
  if (HoldsNothing(db.get(), path_)) return;
  Transaction transaction(db.get(), path_);
  // The side tables made where missing: the deletion carries the row's points.
  PrepareWrite(db.get(), path_);
  RowWriter(db.get(), path_).Delete(name);
  transaction.Commit();
}

std::vector<UserMaterial> RowsWithOwn(const MaterialsCatalogue& catalogue,
                                      const std::vector<UserMaterial>& own) {
  // The names of `own` by their folded form, each looked up once: linear in the rows.
  std::unordered_set<std::string> replaced;
  replaced.reserve(own.size());
  for (const UserMaterial& mine : own) replaced.insert(FoldName(mine.Row.Name));
  std::vector<UserMaterial> rows;
  rows.reserve(catalogue.Rows().size() + own.size());
  for (const MaterialRecord& row : catalogue.Rows()) {
    if (!replaced.contains(FoldName(row.Name))) rows.push_back({row, ""});
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

MaterialsCatalogue ChooseCatalogue(const CatalogueChoice& choice, const UserCatalogue& user) {
  if (!choice.Alone.empty() || choice.ShippedOnly) {
    MaterialsCatalogue catalogue;
    catalogue.Open(choice.Alone.empty() ? choice.Shipped : choice.Alone);
    return catalogue;
  }
  std::string userFault;
  MaterialsCatalogue catalogue = OpenMergedCatalogue(choice.Shipped, user, userFault);
  if (!userFault.empty()) throw DamagedUserCatalogue(userFault);
  return catalogue;
}

}  // namespace quillane
