// A FILE* whose contents the test reads back as a string.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace txtest {

class MemoryStream {
public:
    MemoryStream() : file_(open_memstream(&buf_, &len_)) {}
    ~MemoryStream() {
        if (file_) std::fclose(file_);
        std::free(buf_);
    }
    MemoryStream(const MemoryStream &) = delete;
    MemoryStream &operator=(const MemoryStream &) = delete;
    std::FILE *get() const { return file_; }
    std::string text() {
        std::fflush(file_);
        return std::string(buf_, len_);
    }

private:
    char *buf_ = nullptr;
    std::size_t len_ = 0;
    std::FILE *file_;
};

}  // namespace txtest
