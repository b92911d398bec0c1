#pragma once
// A file written safely, used by every writer (result files, summaries, case files, pictures):
// the text goes to a temporary file beside the target, and only Close renames it over the
// target. A failed or cancelled run leaves any earlier file of that name untouched. Every write
// and the close are checked. A target that exists and is not a regular file (a device such as
// /dev/null, a pipe) is written to directly.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

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
  // Drops what was written; the target keeps its earlier content.
  void Discard() noexcept;

  // Writes the whole text to the target in one go: temporary file, checks, rename.
  static void WriteWhole(const std::filesystem::path& target, std::string_view text,
                         std::string kind);

 private:
  std::string kind_;
  std::FILE* file_ = nullptr;
  std::filesystem::path target_;
  std::filesystem::path temporary_;  // empty when writing straight to a device or pipe
};

}  // namespace quillane
