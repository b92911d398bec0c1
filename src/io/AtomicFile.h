#pragma once
// A file written safely, used by every writer (result files, summaries, case files, pictures):
// the text goes to a temporary file beside the target (".<name>.XXXXXX", locked while it is
// written), and only Close renames it over the target and syncs the folder. A failed or
// cancelled run leaves any earlier file of that name untouched. Every write and the close are
// checked. Opening removes the temporary files of that target that killed writers left (their
// lock is free), and nothing else. A target that exists and is not a regular file (a device
// such as /dev/null, a pipe) is written to directly.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillane {

class AtomicFile {
 public:
  // `kind` names the file in messages ("result file", "case file").
  explicit AtomicFile(std::string kind = "result file") : kind_(std::move(kind)) {}
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&& other) noexcept;

  // Opens for output; throws IoError naming the path when the file cannot be created.
  void Open(const std::filesystem::path& target);
  bool IsOpen() const { return file_ != nullptr; }

  // Writes one line followed by CR LF; throws IoError on a failed write.
  void WriteLine(std::string_view text);
  // Writes the text as it is.
  void Write(std::string_view text);
  // Pushes what was written so far to the disk (a full disk shows here, before any file of the
  // run is published); throws IoError and drops the file on failure.
  void Flush();
  // Flushes, closes and renames the temporary file over the target. Closing a file that is not
  // open does nothing.
  void Close();
  // The two halves of Close, for files published together: Complete flushes and closes the
  // temporary file, Publish renames it over the target and, unless told not to (files renamed
  // one after another sync their folders once, after the last), syncs the folder. Throw IoError
  // naming the target.
  void Complete();
  void Publish(bool syncFolder = true);
  // Drops what was written; the target keeps its earlier content.
  void Discard() noexcept;
  // Where the text goes until Publish (the target itself for a device or a pipe), for a writer
  // of its own (SQLite) that fills the file.
  const std::filesystem::path& TemporaryPath() const {
    return temporary_.empty() ? target_ : temporary_;
  }

  // Writes the whole text to the target in one go: temporary file, checks, rename.
  static void WriteWhole(const std::filesystem::path& target, std::string_view text,
                         std::string kind);

 private:
  std::string kind_;
  std::FILE* file_ = nullptr;
  bool completed_ = false;  // closed, its temporary file waiting for Publish
  std::filesystem::path target_;
  std::filesystem::path temporary_;  // empty when writing straight to a device or pipe
};

// Files that belong together (a table and its copy, a fit's outputs): each is written to its
// temporary file, and the targets are replaced one rename after another only once every file
// is complete, so that a fault or a kill before that leaves all the earlier files. The folders
// are synced after the last rename, so that nothing slows the renames down.
class AtomicFileSet {
 public:
  // A member whose writes go to its temporary file; throws IoError as AtomicFile::Open.
  AtomicFile& Open(const std::filesystem::path& target, std::string kind);
  // A member of that text.
  void Add(const std::filesystem::path& target, std::string_view text, std::string kind);
  // Completes every member (each checked to be still the file written), calls `beforeRenames`
  // when given (a last look at a stop, which may throw), then renames them all. A fault before the
  // first rename drops every temporary file and leaves every target as it was.
  void Publish(const std::function<void()>& beforeRenames = {});

 private:
  std::vector<std::unique_ptr<AtomicFile>> files_;
};

// Flushes a folder's entries (the renames in it) to the disk; a file system that cannot sync a
// folder is not a fault.
void SyncFolder(const std::filesystem::path& folder);

}  // namespace quillane
