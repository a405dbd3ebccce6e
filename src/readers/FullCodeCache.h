// The FULL_CODE of a line's feature code, made once per code and file.
// Lines of one code tend to follow each other: the code of the line before
// answers with one comparison; other codes met earlier in the file come
// from a small table, so alternating codes cost no new conversion (and no
// second note in the run's full-code list).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace toponyx::readers {

class FullCodeCache {
 public:
  // The FULL_CODE of code. The first time a code is met, make(code, full)
  // writes it into full (and notes it in the full-code list as the reader's
  // rule says). The view stays valid until the next call.
  template <class Make>
  std::string_view Get(std::string_view code, const Make& make) {
    if (last_ != nullptr && code == last_code_) return *last_;
    last_code_.assign(code);
    auto found = table_.find(last_code_);
    if (found != table_.end()) {
      last_ = &found->second;
    } else if (table_.size() < kMaxCodes) {
      std::string& full = table_[last_code_];
      make(std::string_view(last_code_), full);
      last_ = &full;
    } else {
      // A file of ever new codes: made each time, in bounded memory.
      make(std::string_view(last_code_), overflow_);
      last_ = &overflow_;
    }
    return *last_;
  }

 private:
  static constexpr size_t kMaxCodes = 4096;
  std::unordered_map<std::string, std::string> table_;
  std::string last_code_;
  const std::string* last_ = nullptr;
  std::string overflow_;
};

}  // namespace toponyx::readers
