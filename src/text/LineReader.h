// Buffered reading of text files line by line, with the program's two line
// rules. Lines are copied into a caller's buffer, which is reused, so a
// reader allocates nothing per line once its buffer has grown.
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

  // The program's line rule: characters up to a line feed or a carriage
  // return. After a carriage return the next character is read as well: a
  // line feed or another carriage return ends the line, any other character
  // is kept and the line goes on (a lone carriage return is dropped and ends
  // nothing). The end of the file ends the last line; at the end the line is
  // empty.
  void ReadTextLine(std::string& line);
  // The standard text-file line reading: a line ends at CR LF or LF.
  void ReadLine(std::string& line);

  // Bytes consumed so far and the size of the file when it was opened.
  uint64_t Position() const { return consumed_ + pos_; }
  uint64_t FileSize() const { return file_size_; }

  // Called after every block read, with the number of bytes read so far.
  void SetBlockCallback(std::function<void(uint64_t)> callback) {
    block_callback_ = std::move(callback);
  }

 private:
  // Reads the next block; false at the end of the file. Throws Error on a
  // read error.
  bool Fill();

  platform::FileSystem& fs_;
  std::unique_ptr<platform::File> file_;
  std::string path_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t len_ = 0;
  uint64_t consumed_ = 0;  // bytes before the current block
  uint64_t file_size_ = 0;
  bool at_end_ = false;
  std::function<void(uint64_t)> block_callback_;
};

}  // namespace toponyx::text
