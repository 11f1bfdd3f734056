// Output files of run_cycle: opened for writing, reported by name when opening or writing fails.
#pragma once

#include <cstdio>

class OutputFile {
public:
    explicit OutputFile(const char *name);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    bool is_open() const { return file_ != nullptr; }
    std::FILE *get() const { return file_; }
    // False, after a message, when any write to the file failed.
    bool close();

private:
    const char *name_;
    std::FILE *file_;
};

// The whole of `text` as the content of the file `name`; false after a message.
bool write_whole_file(const char *name, const char *text);
