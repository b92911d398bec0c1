#include "io/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quillane {

namespace {

// Closes the descriptor however the reading ends.
class Descriptor {
 public:
  explicit Descriptor(int value) : value_(value) {}
  ~Descriptor() {
    if (value_ >= 0) close(value_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return value_; }

 private:
  int value_;
};

}  // namespace

std::string SizeText(std::size_t bytes) {
  constexpr std::size_t kGiB = std::size_t{1} << 30;
  if (bytes >= kGiB && bytes % kGiB == 0) return std::to_string(bytes / kGiB) + " GiB";
  return std::to_string(bytes >> 20) + " MiB";
}

std::string ReadTextFile(const std::filesystem::path& path, const std::string& what,
                         std::size_t maxBytes) {
  const std::string named = what + " " + path.string();
  const auto fault = [&](TextFileError::Kind kind) {
    switch (kind) {
      case TextFileError::Kind::Folder:
        return TextFileError("Cannot read the " + named + ": it is a folder, not a file.", kind,
                             maxBytes);
      case TextFileError::Kind::TooLarge:
        return TextFileError("Cannot read the " + named + ": it holds more than " +
                                 SizeText(maxBytes) + ", far more than any " + what + ".",
                             kind, maxBytes);
      case TextFileError::Kind::Unreadable:
        break;
    }
    return TextFileError("Cannot read the " + named + ".", TextFileError::Kind::Unreadable,
                         maxBytes);
  };
  const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) {
    throw fault(errno == EISDIR ? TextFileError::Kind::Folder : TextFileError::Kind::Unreadable);
  }
  struct stat info {};
  if (fstat(file.Get(), &info) != 0) throw fault(TextFileError::Kind::Unreadable);
  if (S_ISDIR(info.st_mode)) throw fault(TextFileError::Kind::Folder);
  // A plain file tells its size; a device or a pipe is read until the cap.
  if (S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) > maxBytes) {
    throw fault(TextFileError::Kind::TooLarge);
  }
  std::string text;
  if (S_ISREG(info.st_mode)) text.reserve(static_cast<std::size_t>(info.st_size));
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  for (;;) {
    const std::size_t held = text.size();
    // One byte past the cap tells a file of exactly that size from a larger one.
    const std::size_t wanted = std::min(kChunk, maxBytes + 1 - held);
    text.resize(held + wanted);
    const ssize_t got = read(file.Get(), text.data() + held, wanted);
    if (got < 0 && errno == EINTR) {
      text.resize(held);
      continue;
    }
    if (got < 0) throw fault(TextFileError::Kind::Unreadable);
    text.resize(held + static_cast<std::size_t>(got));
    if (got == 0) return text;
    if (text.size() > maxBytes) throw fault(TextFileError::Kind::TooLarge);
  }
}

}  // namespace quillane
