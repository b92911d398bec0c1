#pragma once
// A result file written safely: rows go to a temporary file beside the target, and only a run
// that ends well renames it over the target. A failed or cancelled run leaves any earlier
// file of that name untouched. Every write and the close are checked. A target that exists and
// is not a regular file (a device such as /dev/null, a pipe) is written to directly.

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace quillane {

class ResultFile {
 public:
  ResultFile() = default;
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  ResultFile(ResultFile&& other) noexcept;
  ResultFile& operator=(ResultFile&& other) noexcept;

  // Opens for output; throws IoError naming the path when the file cannot be created.
  void Open(const std::filesystem::path& target);
  bool IsOpen() const { return file_ != nullptr; }
  const std::filesystem::path& Target() const { return target_; }

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

 private:
  std::FILE* file_ = nullptr;
  std::filesystem::path target_;
  std::filesystem::path temporary_;  // empty when writing straight to a device or pipe
};

}  // namespace quillane
