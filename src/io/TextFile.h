#pragma once
// Files read whole into memory: case, study and record files, tables and materials. Each kind has
// a cap far above what a person types or a program writes, so that a file taken for one by
// mistake (/dev/zero, a disk image) is refused by name before it fills the memory.

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace quillane {

// JSON files: cases, studies, a study's record of its inputs.
inline constexpr std::size_t kMaxJsonFileBytes = std::size_t{64} << 20;
// CSV files a person brings: records (a million rows of measurements take some 60 MB) and
// materials.
inline constexpr std::size_t kMaxCsvFileBytes = std::size_t{256} << 20;
// A study's own results table, read back to resume it: its 10 million rows at most.
inline constexpr std::size_t kMaxTableFileBytes = std::size_t{4} << 30;

// A file that cannot be read whole; the message names it and says why, and `What()` tells the
// cases apart for callers that word them themselves.
class TextFileError : public std::runtime_error {
 public:
  enum class Kind { Folder, Unreadable, TooLarge };
  TextFileError(const std::string& message, Kind what, std::size_t limit)
      : std::runtime_error(message), what_(what), limit_(limit) {}
  Kind What() const { return what_; }
  bool Folder() const { return what_ == Kind::Folder; }
  // The cap the file went past, in bytes.
  std::size_t Limit() const { return limit_; }

 private:
  Kind what_;
  std::size_t limit_;
};

// The whole file, at most `maxBytes` of it: a folder, a file that cannot be opened or read, and
// one that holds more (a device without end too) are refused, naming `what` and the path
// ("Cannot read the case file /dev/zero: it holds more than 64 MiB, far more than any case
// file."). Reads pipes and devices as well as plain files.
std::string ReadTextFile(const std::filesystem::path& path, const std::string& what,
                         std::size_t maxBytes);

// "64 MiB", "4 GiB": a cap as messages give it.
std::string SizeText(std::size_t bytes);

}  // namespace quillane
