#include "io/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "model/Errors.h"

namespace quillane {

namespace {

// What the holder wrote into the lock file, on one line.
std::string Holder(int descriptor) {
  char text[512] = {};
  const ssize_t size = pread(descriptor, text, sizeof text - 1, 0);
  std::string holder(text, size > 0 ? static_cast<std::size_t>(size) : 0);
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\r')) holder.pop_back();
  for (char& c : holder) c = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  return holder.empty() ? std::string("another program") : holder;
}

}  // namespace

FolderLock::FolderLock(const std::filesystem::path& folder, const std::string& writer)
    : path_(folder / kFolderLockName) {
  // A holder that ends removes the file; a lock taken on a file removed meanwhile is taken again
  // on the new one, so that two writers never hold two different files.
  for (;;) {
    descriptor_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (descriptor_ < 0) {
      throw IoError("Cannot lock the output folder " + folder.string() + ": " +
                    std::strerror(errno) + ".");
    }
    if (flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
      const std::string holder = Holder(descriptor_);
      close(descriptor_);
      descriptor_ = -1;
      throw IoError("Another program writes into " + folder.string() + ": " + holder +
                    ". Wait for it to end, or give another --out.");
    }
    struct stat held {};
    struct stat named {};
    if (fstat(descriptor_, &held) == 0 && stat(path_.c_str(), &named) == 0 &&
        held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
      break;
    }
    close(descriptor_);
  }
  // A lock file without its text still locks; a second writer is then told "another program".
  const std::string text = writer + " (process " + std::to_string(getpid()) + ")\n";
  [[maybe_unused]] const bool told =
      ftruncate(descriptor_, 0) == 0 &&
      pwrite(descriptor_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

FolderLock::~FolderLock() {
  unlink(path_.c_str());
  close(descriptor_);
}

}  // namespace quillane
