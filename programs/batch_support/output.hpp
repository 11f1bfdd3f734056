// Output tables that a failed run cannot destroy.
//
// The programs open their outputs only once every input and setting has been checked, and
// commit them when the run has succeeded:
//
// - A path that names a regular file, or nothing yet, is written to a temporary file beside it
//   (".<name>.XXXXXX" in the same directory, so that the rename stays on one file system and is
//   atomic) and renamed over the path by the commit.  The new file keeps the permission bits of
//   the one it replaces; a file made anew gets 0666 less the umask.  A symbolic link to a
//   regular file is followed: the link stays and its target is replaced.
// - Any other path (a device such as /dev/null or /dev/full, a FIFO, a terminal, a dangling
//   link) is written in place and is never removed or renamed over.
// - OutputMode::kAppend copies what the file holds into the temporary file first.
//
// Outputs not committed when the process ends (a refusal, a library error that ends the process,
// SIGINT, SIGTERM, SIGHUP or SIGPIPE) are dropped: their temporary files are removed and their
// paths keep what they held.  A write error (a full disk, /dev/full) is found at the latest by
// the commit, which names the file and the system's reason and ends the process with status 1.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace txprog {

enum class OutputMode { kReplace, kAppend };

class Output {
public:
    std::FILE *stream() const { return stream_; }
    // The name as the program was given it.
    const std::string &name() const { return name_; }
    // What the stream writes to until the commit: the temporary file, or the path itself.
    const std::string &written_path() const { return temporary_.empty() ? target_ : temporary_; }
    // Written in place: a device, a FIFO, ... rather than a file that can be read back.
    bool in_place() const { return temporary_.empty(); }
    // Pushes what is buffered to written_path(), so that the run can read it back; on failure
    // reports and ends the process with status 1.
    void flush();
    // Flushes and checks the stream, then moves the file into place; on failure reports and
    // ends the process with status 1.  Does nothing the second time.
    void commit();
    // Drops this output now, leaving its path as it was.
    void discard();

    // Keeps the first write error, which stdio would report later without its reason.
    struct Sink {
        int fd = -1;
        int error = 0;
        bool dropped = false;  // a discarded output writes nothing more, not even in place
    };

private:
    friend Output &open_output(const char *, const std::string &, OutputMode, const char *);
    friend void commit_outputs();
    int flush_error();
    void close();    // flushes, syncs and closes; reports a write error
    void publish();  // renames the temporary file over the target

    const char *program_ = "";
    std::string name_;
    std::string target_;     // the path renamed over: name_, or the target of a link
    std::string temporary_;  // empty when written in place
    dev_t device_ = 0;       // of an existing target, to find one file opened twice
    ino_t inode_ = 0;
    Sink sink_;
    std::FILE *stream_ = nullptr;
    int slot_ = -1;  // in the list of temporary files that a signal removes
    bool committed_ = false;
};

// Opens an output for the run.  On failure prints `message` (when given) to standard output as
// it stands, then "<program>: <name>: <reason>" to standard error, and ends the process with
// status 1.  Two outputs of one run may not be the same regular file.
Output &open_output(const char *program, const std::string &name,
                    OutputMode mode = OutputMode::kReplace, const char *message = nullptr);

// Commits every output opened and not yet committed: all are written out and checked before
// the first is moved into place, so that a write error leaves every one as it was.
void commit_outputs();

// Drops every output not yet committed; runs by itself when the process exits.
void discard_outputs();

}  // namespace txprog
