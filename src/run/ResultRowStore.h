#pragma once
// The cells of a result grid, kept as compact text. A run writes up to millions of rows of
// numbers formatted with patterns ("01.234567890", "573.29", ".002500", "-6.39E+05",
// " 5E-07"); the grid must show them exactly as written, so each row is kept as its text with
// the cells separated by tabs, and rows made only of digits, signs, blanks, one kind of
// decimal separator and the exponent letter are packed two characters per byte. A typical
// thermal row then costs about a third of its text plus one 8-byte locator.
//
// Rows live in an arena of chunks that never move, so appending is O(1) without the copies and
// the spare capacity of a growing vector; locators are kept in fixed blocks for the same
// reason. A row rewritten in place (title rows) is stored again at the end of the arena and
// the old bytes are reclaimed when they grow to a large share of the arena.
//
// Header-only and Qt-free: the benchmark programs, which do not link the desktop library,
// measure it directly.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillane {

namespace detail {

// The two characters of each byte of a packed row, for one alphabet: decoding a byte is then
// one table look-up.
struct PackedPairs {
  std::array<std::array<char, 2>, 256> Pairs{};
};

constexpr PackedPairs MakePackedPairs(const char* alphabet) {
  PackedPairs table;
  for (int byte = 0; byte < 256; ++byte) {
    table.Pairs[static_cast<std::size_t>(byte)] = {alphabet[byte >> 4], alphabet[byte & 0x0F]};
  }
  return table;
}

inline constexpr const char* kPointAlphabet = "0123456789.-+E \t";
inline constexpr const char* kCommaAlphabet = "0123456789,-+E \t";
// The nibble of each character in a packed row (either decimal separator is 10), -1 for a
// character that cannot be packed.
struct NibbleTable {
  std::array<signed char, 256> Of{};
};

constexpr NibbleTable MakeNibbleTable() {
  NibbleTable table;
  for (auto& nibble : table.Of) nibble = -1;
  for (int i = 0; i < 16; ++i) {
    table.Of[static_cast<unsigned char>(kPointAlphabet[i])] = static_cast<signed char>(i);
  }
  table.Of[static_cast<unsigned char>(',')] = 10;
  return table;
}

inline constexpr NibbleTable kNibbles = MakeNibbleTable();
inline constexpr PackedPairs kPointPairs = MakePackedPairs(kPointAlphabet);
inline constexpr PackedPairs kCommaPairs = MakePackedPairs(kCommaAlphabet);

}  // namespace detail

class ResultRowStore {
 public:
  // A new grid: two empty title rows and two columns.
  ResultRowStore() { Clear(); }

  int RowCount() const { return rowCount_; }
  int ColumnCount() const { return columnCount_; }

  // Back to a new grid: two empty rows, two columns, all memory released.
  void Clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    blocks_.clear();
    blocks_.shrink_to_fit();
    rowCount_ = 0;
    columnCount_ = 2;
    liveBytes_ = 0;
    garbageBytes_ = 0;
    AppendRow("");
    AppendRow("");
  }

  // Existing rows keep their cells up to the new count; cells beyond it are dropped.
  void SetColumnCount(int count) {
    count = std::max(count, 0);
    if (count < columnCount_) {
      columnCount_ = count;
      Rebuild();
    } else {
      columnCount_ = count;
    }
  }

  // A new last row whose cells come from the tab-separated text, one per column; fields
  // beyond the column count are dropped.
  void AppendRow(std::string_view text) {
    const std::size_t row = static_cast<std::size_t>(rowCount_);
    if (row % kBlockRows == 0 && row / kBlockRows == blocks_.size()) {
      blocks_.push_back(std::make_unique<std::uint64_t[]>(kBlockRows));
    }
    Locator(row) = Store(Normalise(text, columnCount_));
    ++rowCount_;
  }

  // Sets the cells firstCol..lastCol of a row, left to right, from the tab-separated fields of
  // text; a cell with no field left keeps its text. Out-of-range rows and columns are ignored.
  void SetCells(int row, int firstCol, int lastCol, std::string_view text) {
    if (row < 0 || row >= rowCount_) return;
    lastCol = std::min(lastCol, columnCount_ - 1);
    firstCol = std::max(firstCol, 0);
    if (firstCol > lastCol) return;
    std::string current;
    RowText(row, current);
    std::vector<std::string> cells(static_cast<std::size_t>(columnCount_));
    SplitInto(current, cells);
    std::size_t start = 0;
    for (int col = firstCol; col <= lastCol; ++col) {
      if (start > text.size()) break;
      const std::size_t end = std::min(text.find('\t', start), text.size());
      cells[static_cast<std::size_t>(col)] = std::string(text.substr(start, end - start));
      start = end + 1;
    }
    std::string joined;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) joined += '\t';
      joined += cells[i];
    }
    const std::uint64_t old = Locator(static_cast<std::size_t>(row));
    const std::size_t oldSize = RecordSize(old);
    Locator(static_cast<std::size_t>(row)) = Store(Normalise(joined, columnCount_));
    liveBytes_ -= oldSize;
    garbageBytes_ += oldSize;
    if (garbageBytes_ > kCompactAfterBytes && garbageBytes_ > liveBytes_ / 2) Rebuild();
  }

  // The text of a row: its cells separated by tabs, trailing empty cells left out.
  void RowText(int row, std::string& out) const {
    out.clear();
    if (row < 0 || row >= rowCount_) return;
    Decode(Record(chunks_, Locator(static_cast<std::size_t>(row))), out);
  }

  std::string RowText(int row) const {
    std::string text;
    RowText(row, text);
    return text;
  }

  // The text of one cell as written; empty outside the grid.
  std::string Cell(int row, int col) const {
    if (col < 0 || col >= columnCount_) return {};
    std::string text;
    RowText(row, text);
    return std::string(Field(text, col));
  }

  // Whether the row was stored packed, that is, holds numbers only.
  bool IsNumericRow(int row) const {
    if (row < 0 || row >= rowCount_) return false;
    return (Record(chunks_, Locator(static_cast<std::size_t>(row)))[0] & kPacked) != 0;
  }

  // Calls visit(row, text) for the rows first..last with the row's text; one decoding per row,
  // for scans over a whole column.
  template <typename Visitor>
  void ForEachRow(int first, int last, Visitor&& visit) const {
    std::string text;
    first = std::max(first, 0);
    last = std::min(last, rowCount_ - 1);
    for (int row = first; row <= last; ++row) {
      RowText(row, text);
      visit(row, std::string_view(text));
    }
  }

  // Cell col of a row text; empty when the row has fewer cells.
  static std::string_view Field(std::string_view text, int col) {
    std::size_t start = 0;
    for (int i = 0; i < col; ++i) {
      const std::size_t tab = text.find('\t', start);
      if (tab == std::string_view::npos) return {};
      start = tab + 1;
    }
    const std::size_t end = text.find('\t', start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  }

  // Bytes held: the arena chunks, the locator blocks and the bookkeeping around them.
  std::size_t MemoryBytes() const {
    std::size_t bytes = sizeof(*this);
    for (const Chunk& chunk : chunks_) bytes += chunk.Size;
    bytes += chunks_.capacity() * sizeof(Chunk);
    bytes += blocks_.size() * kBlockRows * sizeof(std::uint64_t);
    bytes += blocks_.capacity() * sizeof(std::unique_ptr<std::uint64_t[]>);
    return bytes;
  }

 private:
  static constexpr std::size_t kBlockRows = 4096;
  static constexpr std::size_t kFirstChunkBytes = 4096;
  static constexpr std::size_t kMaxChunkBytes = std::size_t{1} << 20;
  static constexpr std::size_t kCompactAfterBytes = std::size_t{1} << 20;
  static constexpr std::uint8_t kPacked = 1;  // two characters per byte
  static constexpr std::uint8_t kComma = 2;   // the decimal separator of a packed row is ','
  static constexpr std::uint8_t kOdd = 4;     // the last byte of a packed row holds one character

  struct Chunk {
    std::unique_ptr<std::uint8_t[]> Bytes;
    std::size_t Size = 0;
    std::size_t Used = 0;
  };

  // The fields of the text up to the column count, trailing empty cells dropped.
  static std::string_view Normalise(std::string_view text, int columns) {
    std::size_t end = 0;
    int fields = 0;
    while (fields < columns) {
      const std::size_t tab = text.find('\t', end);
      ++fields;
      if (tab == std::string_view::npos) {
        end = text.size();
        break;
      }
      end = fields < columns ? tab + 1 : tab;
    }
    if (columns == 0) end = 0;
    text = text.substr(0, end);
    while (!text.empty() && text.back() == '\t') text.remove_suffix(1);
    return text;
  }

  static void SplitInto(std::string_view text, std::vector<std::string>& cells) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < cells.size() && start <= text.size(); ++i) {
      const std::size_t end = std::min(text.find('\t', start), text.size());
      cells[i] = std::string(text.substr(start, end - start));
      start = end + 1;
    }
  }

  static int Nibble(char c) { return detail::kNibbles.Of[static_cast<unsigned char>(c)]; }

  // The separator a packed form of the text would use, or 0 when it cannot be packed.
  static char PackingSeparator(std::string_view text) {
    bool point = false;
    bool comma = false;
    for (char c : text) {
      if (Nibble(c) < 0) return 0;
      point = point || c == '.';
      comma = comma || c == ',';
    }
    if (point && comma) return 0;
    return comma ? ',' : '.';
  }

  static std::size_t LengthBytes(std::size_t length) {
    std::size_t bytes = 1;
    while (length >= 0x80) {
      length >>= 7;
      ++bytes;
    }
    return bytes;
  }

  static std::uint8_t* WriteLength(std::uint8_t* out, std::size_t length) {
    while (length >= 0x80) {
      *out++ = static_cast<std::uint8_t>(length | 0x80);
      length >>= 7;
    }
    *out++ = static_cast<std::uint8_t>(length);
    return out;
  }

  static const std::uint8_t* ReadLength(const std::uint8_t* in, std::size_t& length) {
    length = 0;
    int shift = 0;
    while (true) {
      const std::uint8_t byte = *in++;
      length |= static_cast<std::size_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return in;
      shift += 7;
    }
  }

  std::uint64_t& Locator(std::size_t row) { return blocks_[row / kBlockRows][row % kBlockRows]; }
  std::uint64_t Locator(std::size_t row) const {
    return blocks_[row / kBlockRows][row % kBlockRows];
  }

  static const std::uint8_t* Record(const std::vector<Chunk>& chunks, std::uint64_t locator) {
    return chunks[static_cast<std::size_t>(locator >> 32)].Bytes.get() + (locator & 0xFFFFFFFFu);
  }

  static void Decode(const std::uint8_t* record, std::string& out) {
    const std::uint8_t header = record[0];
    std::size_t length = 0;
    const std::uint8_t* payload = ReadLength(record + 1, length);
    if ((header & kPacked) == 0) {
      out.assign(reinterpret_cast<const char*>(payload), length);
      return;
    }
    const detail::PackedPairs& table =
        (header & kComma) != 0 ? detail::kCommaPairs : detail::kPointPairs;
    out.resize(length * 2);
    char* text = out.data();
    for (std::size_t i = 0; i < length; ++i) {
      const std::array<char, 2>& pair = table.Pairs[payload[i]];
      text[2 * i] = pair[0];
      text[2 * i + 1] = pair[1];
    }
    if ((header & kOdd) != 0) out.pop_back();
  }

  std::size_t RecordSize(std::uint64_t locator) const {
    const std::uint8_t* record = Record(chunks_, locator);
    std::size_t length = 0;
    const std::uint8_t* payload = ReadLength(record + 1, length);
    return static_cast<std::size_t>(payload - record) + length;
  }

  // Room for a record of that size: at the end of the last chunk, or in a new chunk twice as
  // large as the last one (up to a cap), or in a chunk of its own for a record beyond the cap.
  std::uint64_t Reserve(std::size_t bytes, std::uint8_t*& out) {
    if (chunks_.empty() || chunks_.back().Size - chunks_.back().Used < bytes) {
      std::size_t size =
          chunks_.empty() ? kFirstChunkBytes : std::min(chunks_.back().Size * 2, kMaxChunkBytes);
      size = std::max(size, bytes);
      if (bytes > 0xFFFFFFFFu) throw std::length_error("result grid row too long");
      chunks_.push_back(Chunk{std::make_unique<std::uint8_t[]>(size), size, 0});
    }
    Chunk& chunk = chunks_.back();
    out = chunk.Bytes.get() + chunk.Used;
    const std::uint64_t locator =
        (static_cast<std::uint64_t>(chunks_.size() - 1) << 32) | chunk.Used;
    chunk.Used += bytes;
    liveBytes_ += bytes;
    return locator;
  }

  std::uint64_t Store(std::string_view text) {
    const char sep = PackingSeparator(text);
    if (sep == 0) {
      std::uint8_t* out = nullptr;
      const std::uint64_t locator = Reserve(1 + LengthBytes(text.size()) + text.size(), out);
      *out++ = 0;
      out = WriteLength(out, text.size());
      std::copy(text.begin(), text.end(), out);
      return locator;
    }
    const std::size_t length = (text.size() + 1) / 2;
    std::uint8_t* out = nullptr;
    const std::uint64_t locator = Reserve(1 + LengthBytes(length) + length, out);
    std::uint8_t header = kPacked;
    if (sep == ',') header |= kComma;
    if (text.size() % 2 == 1) header |= kOdd;
    *out++ = header;
    out = WriteLength(out, length);
    for (std::size_t i = 0; i < text.size(); i += 2) {
      const int high = Nibble(text[i]);
      const int low = i + 1 < text.size() ? Nibble(text[i + 1]) : 0;
      *out++ = static_cast<std::uint8_t>((high << 4) | low);
    }
    return locator;
  }

  // Stores every row again in a fresh arena, cut to the column count: after a shrink of the
  // columns, or to reclaim the bytes of rewritten rows.
  void Rebuild() {
    const std::vector<Chunk> old = std::move(chunks_);
    chunks_.clear();
    liveBytes_ = 0;
    garbageBytes_ = 0;
    std::string text;
    for (int row = 0; row < rowCount_; ++row) {
      std::uint64_t& locator = Locator(static_cast<std::size_t>(row));
      Decode(Record(old, locator), text);
      locator = Store(Normalise(text, columnCount_));
    }
  }

  std::vector<Chunk> chunks_;
  std::vector<std::unique_ptr<std::uint64_t[]>> blocks_;
  int rowCount_ = 0;
  int columnCount_ = 2;
  std::size_t liveBytes_ = 0;
  std::size_t garbageBytes_ = 0;
};

}  // namespace quillane
