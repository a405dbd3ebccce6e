// Buffered reading of text files line by line, with the program's two line
// rules. Lines are copied into a caller's buffer, which is reused, so a
// reader allocates nothing per line once its buffer has grown.
//
// A file that begins with a byte-order mark is read as the text it marks:
// a UTF-8 mark is passed over, and UTF-16 text (either byte order) is
// turned into UTF-8 as it is read, block by block, so the lines of both
// arrive as UTF-8 (IsUtf8()). Files without a mark arrive as they are.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"

namespace toponyx::text {

class TextFile {
 public:
  static constexpr size_t kDefaultBlock = 256 * 1024;
  // Longest line kept: far beyond any gazetteer line. The rest of a longer
  // line is passed over (read, not kept), so an endless line costs no more
  // memory than this.
  static constexpr size_t kMaxLine = 64 * 1024;

  explicit TextFile(platform::FileSystem& fs = platform::DefaultFileSystem(),
                    size_t block_size = kDefaultBlock);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Opens the file for reading; false when it cannot be opened.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  void Close();
  // Goes back to the start of the file, as if it had been opened again.
  void Rewind();

  // True when every byte of the file has been read.
  bool Eof();

  // True when the file began with a byte-order mark (UTF-8 or UTF-16): its
  // lines are UTF-8. Known once the first block is read (after the first
  // line or Eof()).
  bool IsUtf8() const { return encoding_ != Encoding::kAsIs; }

  // Up to n bytes of the file's text from where the lines stand (for
  // readers that parse a whole file rather than lines); 0 at the end.
  size_t ReadBytes(char* out, size_t n);

  // The program's line rule: characters up to a line feed or a carriage
  // return. After a carriage return the next character is read as well: a
  // line feed or another carriage return ends the line, any other character
  // is kept and the line goes on (a lone carriage return is dropped and ends
  // nothing). The end of the file ends the last line; at the end the line is
  // empty.
  void ReadTextLine(std::string& line);
  // The standard text-file line reading: a line ends at CR LF or LF.
  void ReadLine(std::string& line);

  // Bytes of text taken so far (after a byte-order mark, and for UTF-16
  // text of its UTF-8 form), and the size of the file when it was opened.
  uint64_t Position() const { return consumed_ + pos_; }
  uint64_t FileSize() const { return file_size_; }

  // Called after every block read, with the number of bytes of the file
  // read so far.
  void SetBlockCallback(std::function<void(uint64_t)> callback) {
    block_callback_ = std::move(callback);
  }

 private:
  // Reads the next block; false at the end of the file. Throws Error on a
  // read error.
  bool Fill();
  // The first block: a byte-order mark decides how the file is read.
  void TakeByteOrderMark();
  // Reads and converts the next block of UTF-16 text into the buffer.
  bool FillFromUtf16();
  void AppendUtf16Unit(uint32_t unit);
  void PutCodePoint(uint32_t cp);
  void Reset();

  enum class Encoding { kAsIs, kUtf8, kUtf16Le, kUtf16Be };

  platform::FileSystem& fs_;
  std::unique_ptr<platform::File> file_;
  std::string path_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t len_ = 0;
  uint64_t consumed_ = 0;  // bytes of text before the current block
  uint64_t file_size_ = 0;
  uint64_t read_ = 0;  // bytes of the file read so far
  bool at_end_ = false;
  bool mark_checked_ = false;
  Encoding encoding_ = Encoding::kAsIs;
  // UTF-16 input: the bytes read, an odd byte and a high surrogate left
  // over from the block before.
  std::vector<char> raw_;
  int odd_byte_ = -1;
  uint32_t high_surrogate_ = 0;
  std::function<void(uint64_t)> block_callback_;
};

}  // namespace toponyx::text
