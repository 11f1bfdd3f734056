#include "output_file.h"

#include <cerrno>
#include <cstring>

OutputFile::OutputFile(const char *name) : name_(name), file_(std::fopen(name, "w")) {
    if (!file_)
        std::printf("ERROR: could not open the output file %s (%s)\n", name,
                    std::strerror(errno));
}

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
}

bool OutputFile::close() {
    if (!file_) return false;
    const bool failed = std::ferror(file_) != 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed || !closed) {
        std::printf("ERROR: could not write the output file %s\n", name_);
        return false;
    }
    return true;
}

bool write_whole_file(const char *name, const char *text) {
    OutputFile out(name);
    if (!out.is_open()) return false;
    std::fputs(text, out.get());
    return out.close();
}
