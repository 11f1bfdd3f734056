// Outputs that a failed run cannot destroy.  Each case runs in a child process, which ends the
// way a program does: by the commit, by exit before it, or by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "../../model/files.hpp"
#include "../batch_run.hpp"
#include "output.hpp"

namespace {

using batchtest::Workdir;
using txprog::open_output;
using txtest::run_child;

// Runs body in dir as the current directory, then commits what it opened.
template <class Body>
txtest::ChildRun in_child(const Workdir &dir, Body body) {
    return run_child([&] {
        if (chdir(dir.path().c_str()) != 0) std::_Exit(99);
        body();
        txprog::commit_outputs();
    });
}

void write(const char *name, const char *text) {
    std::fputs(text, open_output("test", name).stream());
}

mode_t mode_of(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(Output, TheFileIsReplacedOnlyByTheCommit) {
    Workdir dir;
    dir.write("table.dat", "earlier\n");
    ::chmod(dir.file("table.dat").c_str(), 0640);
    in_child(dir, [] {
        write("table.dat", "partial");
        std::exit(1);
    });
    in_child(dir, [] {
        write("table.dat", "partial");
        std::raise(SIGTERM);
    });
    EXPECT_EQ(dir.read("table.dat"), "earlier\n");
    EXPECT_EQ(dir.entries().size(), 1u);  // no temporary file left behind

    EXPECT_EQ(in_child(dir, [] { write("table.dat", "new\n"); }).status, 0);
    EXPECT_EQ(dir.read("table.dat"), "new\n");
    EXPECT_EQ(mode_of(dir.file("table.dat")) & 07777, 0640u);
    in_child(dir, [] {
        ::umask(027);
        write("fresh.dat", "x");
    });
    EXPECT_EQ(mode_of(dir.file("fresh.dat")) & 07777, 0640u);
    EXPECT_EQ(dir.entries().size(), 2u);
}

// A link to a device is written through too: see the programs' tests with /dev/full.
TEST(Output, ALinkIsFollowedAndNeverReplaced) {
    Workdir dir;
    dir.write("target.dat", "earlier\n");
    ASSERT_EQ(::symlink("target.dat", dir.file("link.dat").c_str()), 0);
    EXPECT_EQ(in_child(dir, [] { write("link.dat", "new\n"); }).status, 0);
    EXPECT_TRUE(S_ISLNK(mode_of(dir.file("link.dat"))));
    EXPECT_EQ(dir.read("target.dat"), "new\n");
}

TEST(Output, AFifoIsWrittenInPlace) {
    Workdir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        if (std::FILE *f = std::fopen(fifo.c_str(), "r")) {
            for (int c; (c = std::fgetc(f)) != EOF;) received += static_cast<char>(c);
            std::fclose(f);
        }
    });
    const auto r = in_child(dir, [] { write("pipe", "through the pipe\n"); });
    // Lets a reader still waiting for a writer go, should the child have failed first.
    const int unblock = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (unblock >= 0) ::close(unblock);
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(received, "through the pipe\n");
    EXPECT_TRUE(S_ISFIFO(mode_of(fifo)));
}

// One table given for two outputs would keep only the one committed last.
TEST(Output, OneFileCannotBeTwoOutputs) {
    Workdir dir;
    const auto r = in_child(dir, [] {
        open_output("test", "same.dat");
        open_output("test", "same.dat");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "test: same.dat: the same file as same.dat, another output of this run\n");
    EXPECT_EQ(dir.entries().size(), 0u);
}

}  // namespace
