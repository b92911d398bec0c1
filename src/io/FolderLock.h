#pragma once
// One writer per output folder: studies and fits take an advisory lock on a file in their --out
// folder while they write there, so that a second program writing into the same folder is
// refused rather than leave one's study.json beside the other's results.

#include <filesystem>
#include <string>

namespace quillane {

inline constexpr const char* kFolderLockName = ".quillane-lock";

class FolderLock {
 public:
  // Locks `folder` (which must exist) for `writer` ("quillane-batch --study s.json"), which
  // the lock file names for a second writer. Throws IoError naming the folder and the writer
  // that holds it.
  FolderLock(const std::filesystem::path& folder, const std::string& writer);
  // Removes the lock file and frees the lock.
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  std::filesystem::path path_;
  int descriptor_ = -1;
};

}  // namespace quillane
