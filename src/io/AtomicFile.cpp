#include "io/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "model/Errors.h"

namespace quillane {

namespace {

std::string Reason() {
  return std::strerror(errno);
}

// Result files get the usual permissions of a new file, not the private ones of a temporary.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

constexpr std::size_t kBufferSize = 1 << 18;

// Whether `name` is one of our temporary files for `target`: "." + target + "." + the six
// letters or digits mkstemp adds, with SQLite's "-journal" after it where SQLite filled it.
bool IsTemporaryOf(std::string_view name, std::string_view target, bool& journal) {
  const std::string prefix = "." + std::string(target) + ".";
  if (name.substr(0, prefix.size()) != prefix) return false;
  std::string_view rest = name.substr(prefix.size());
  constexpr std::string_view kJournal = "-journal";
  journal = rest.size() > kJournal.size() && rest.substr(rest.size() - kJournal.size()) == kJournal;
  if (journal) rest.remove_suffix(kJournal.size());
  return rest.size() == 6 && std::all_of(rest.begin(), rest.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

// A temporary file whose writer is gone: its writer's lock is free (a writer holds it until it
// renames or removes the file, and the system frees it when a killed writer dies).
bool IsStale(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return false;
  struct stat info {};
  const bool stale = fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) &&
                     flock(descriptor, LOCK_EX | LOCK_NB) == 0;
  close(descriptor);
  return stale;
}

// Removes what killed writers of `target` left beside it, and nothing else.
void RemoveStaleTemporaries(const std::filesystem::path& directory,
                            const std::filesystem::path& target) {
  DIR* folder = opendir(directory.c_str());
  if (folder == nullptr) return;
  std::vector<std::string> temporaries;
  std::vector<std::string> journals;
  const std::string name = target.filename().string();
  while (const dirent* entry = readdir(folder)) {
    bool journal = false;
    if (!IsTemporaryOf(entry->d_name, name, journal)) continue;
    (journal ? journals : temporaries).push_back((directory / entry->d_name).string());
  }
  closedir(folder);
  for (const std::string& temporary : temporaries) {
    if (IsStale(temporary)) unlink(temporary.c_str());
  }
  // A journal whose database is gone belongs to nobody.
  for (const std::string& journal : journals) {
    const std::string database = journal.substr(0, journal.size() - 8);
    if (access(database.c_str(), F_OK) != 0) unlink(journal.c_str());
  }
}

}  // namespace

AtomicFile::~AtomicFile() {
  Discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : kind_(std::move(other.kind_)),
      file_(other.file_),
      completed_(other.completed_),
      target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)) {
  other.file_ = nullptr;
  other.completed_ = false;
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
  if (this != &other) {
    Discard();
    kind_ = std::move(other.kind_);
    file_ = other.file_;
    completed_ = other.completed_;
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    other.file_ = nullptr;
    other.completed_ = false;
  }
  return *this;
}

void AtomicFile::Open(const std::filesystem::path& target) {
  Discard();
  std::error_code error;
  if (std::filesystem::is_directory(target, error)) {
    throw IoError("Cannot write the " + kind_ + " " + target.string() + ": it is a directory.");
  }
  if (std::filesystem::exists(target, error) && access(target.c_str(), W_OK) != 0) {
    throw IoError("Cannot write the " + kind_ + " " + target.string() + ": " + Reason() + ".");
  }
  if (std::filesystem::exists(target, error) && !std::filesystem::is_regular_file(target, error)) {
    file_ = std::fopen(target.c_str(), "wb");
    if (file_ == nullptr) {
      throw IoError("Cannot write the " + kind_ + " " + target.string() + ": " + Reason() + ".");
    }
    target_ = target;
    temporary_.clear();
    return;
  }
  std::filesystem::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  RemoveStaleTemporaries(directory, target);
  std::string pattern = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) {
    throw IoError("Cannot create the " + kind_ + " " + target.string() + ": " + Reason() + ".");
  }
  // Held until the file is renamed or removed: a later writer of the same target tells a live
  // temporary file from one a killed program left.
  flock(descriptor, LOCK_EX | LOCK_NB);
  fchmod(descriptor, NewFileMode());
  file_ = fdopen(descriptor, "wb");
  if (file_ == nullptr) {
    const std::string reason = Reason();
    close(descriptor);
    unlink(pattern.c_str());
    throw IoError("Cannot create the " + kind_ + " " + target.string() + ": " + reason + ".");
  }
  std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
  target_ = target;
  temporary_ = pattern;
}

void AtomicFile::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

void AtomicFile::Write(std::string_view text) {
  if (file_ == nullptr) throw IoError("The " + kind_ + " " + target_.string() + " is not open.");
  // One writer per file: the stream's own lock is not needed.
  if (fwrite_unlocked(text.data(), 1, text.size(), file_) != text.size()) {
    const std::string reason = Reason();
    Discard();
    throw IoError("Cannot write the " + kind_ + " " + target_.string() + ": " + reason + ".");
  }
}

void AtomicFile::Flush() {
  if (file_ == nullptr) return;
  if (std::fflush(file_) != 0 || (!temporary_.empty() && fsync(fileno(file_)) != 0)) {
    const std::string reason = Reason();
    Discard();
    throw IoError("Cannot write the " + kind_ + " " + target_.string() + ": " + reason + ".");
  }
  // The file about to be renamed must still be the one written (nothing removed or replaced it).
  struct stat written {};
  struct stat named {};
  if (!temporary_.empty() &&
      (fstat(fileno(file_), &written) != 0 || stat(temporary_.c_str(), &named) != 0 ||
       written.st_ino != named.st_ino || written.st_dev != named.st_dev)) {
    Discard();
    throw IoError("Cannot write the " + kind_ + " " + target_.string() +
                  ": its temporary file was removed or replaced during the run.");
  }
}

void AtomicFile::Close() {
  Complete();
  Publish();
}

void AtomicFile::Complete() {
  if (file_ == nullptr) return;
  std::FILE* file = file_;
  file_ = nullptr;
  const bool flushed = std::fflush(file) == 0 && (temporary_.empty() || fsync(fileno(file)) == 0);
  const std::string flushReason = flushed ? std::string() : Reason();
  const bool closed = std::fclose(file) == 0;
  if (!flushed || !closed) {
    const std::string reason = flushed ? Reason() : flushReason;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    throw IoError("Cannot write the " + kind_ + " " + target_.string() + ": " + reason + ".");
  }
  completed_ = !temporary_.empty();
}

void AtomicFile::Publish(bool syncFolder) {
  if (!completed_) return;
  completed_ = false;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const std::string reason = Reason();
    unlink(temporary_.c_str());
    throw IoError("Cannot replace the " + kind_ + " " + target_.string() + ": " + reason + ".");
  }
  // The rename itself reaches the disk, not only the file's content.
  if (syncFolder) SyncFolder(target_.parent_path());
}

void AtomicFile::Discard() noexcept {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) unlink(temporary_.c_str());
  }
  if (completed_) unlink(temporary_.c_str());
  completed_ = false;
}

void AtomicFile::WriteWhole(const std::filesystem::path& target, std::string_view text,
                            std::string kind) {
  AtomicFile file(std::move(kind));
  file.Open(target);
  file.Write(text);
  file.Close();
}

AtomicFile& AtomicFileSet::Open(const std::filesystem::path& target, std::string kind) {
  auto file = std::make_unique<AtomicFile>(std::move(kind));
  file->Open(target);
  files_.push_back(std::move(file));
  return *files_.back();
}

void AtomicFileSet::Add(const std::filesystem::path& target, std::string_view text,
                        std::string kind) {
  Open(target, std::move(kind)).Write(text);
}

void AtomicFileSet::Publish(const std::function<void()>& beforeRenames) {
  for (const auto& file : files_) file->Flush();
  for (const auto& file : files_) file->Complete();
  if (beforeRenames) beforeRenames();
  for (const auto& file : files_) file->Publish(false);
  std::vector<std::filesystem::path> folders;
  for (const auto& file : files_) {
    const std::filesystem::path folder = file->TemporaryPath().parent_path();
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }
  files_.clear();
  for (const auto& folder : folders) SyncFolder(folder);
}

void SyncFolder(const std::filesystem::path& folder) {
  const int descriptor =
      open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

}  // namespace quillane
