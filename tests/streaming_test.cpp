// Output that keeps up with its input: the v2list program driven in lock
// step through a pipe and a terminal, through non-blocking descriptors, and
// the conversion loop interrupted by signals in every call it blocks in.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "conversion_loop.hpp"
#include "output_listing.hpp"
#include "piece_generator.hpp"
#include "stdio_reference.hpp"

extern char** environ;

namespace v2list {
namespace {

// Lines of every kind, about size characters of them.
std::string generated_lines(std::uint64_t seed, std::size_t size)
{
    std::mt19937_64 random(seed);
    std::string lines;
    while (lines.size() < size)
        lines += generate_piece(random) + "\n";
    return lines;
}

// Starts the v2list program with the given standard input and output.
pid_t start_v2list(int in, int out)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    char path[] = V2LIST_PROGRAM;
    char* argv[] = {path, nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, path, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int exit_status(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Reads from fd until text holds want characters; false when nothing comes
// for ten seconds.
bool read_until(int fd, std::string& text, std::size_t want)
{
    while (text.size() < want) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10000) != 1)
            return false;
        char block[4096];
        ssize_t n = read(fd, block, sizeof block);
        if (n <= 0)
            return false;
        text.append(block, std::size_t(n));
    }
    return true;
}

// Writes one record at a time and waits for its line before the next.
void lock_step(int to_v2list, int from_v2list)
{
    std::mt19937_64 random(8);
    std::string expected = std::string(listing_header) + "\n", got;
    for (int i = 0; i < 20; ++i) {
        std::string record = generate_record(random) + "\n";
        ASSERT_EQ(write(to_v2list, record.data(), record.size()), ssize_t(record.size()));
        char line[max_line];
        expected.append(
            line, convert_text(record.data(), text_length_of(record.data(), record.size()), line));
        ASSERT_TRUE(read_until(from_v2list, got, expected.size())) << "no line for record " << i;
        ASSERT_EQ(got, expected);
    }
}

TEST(streaming, each_line_comes_as_its_record_does_through_a_pipe)
{
    int in[2], out[2];
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    pid_t pid = start_v2list(in[0], out[1]);
    close(in[0]);
    close(out[1]);
    lock_step(in[1], out[0]);
    close(in[1]);
    EXPECT_EQ(exit_status(pid), 0);
    close(out[0]);
}

TEST(streaming, each_line_comes_as_its_record_is_typed_at_a_terminal)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    int terminal = master < 0 || grantpt(master) != 0 || unlockpt(master) != 0
                       ? -1
                       : open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0)
        GTEST_SKIP() << "no pseudo-terminal can be opened here: " << std::strerror(errno);
    // Line by line, as typed, but without the echo and the "\r\n" a person
    // would see, so that only v2list's output comes back.
    termios mode;
    tcgetattr(terminal, &mode);
    mode.c_lflag &= tcflag_t(~ECHO);
    mode.c_oflag &= tcflag_t(~OPOST);
    tcsetattr(terminal, TCSANOW, &mode);
    pid_t pid = start_v2list(terminal, terminal);
    close(terminal);
    lock_step(master, master);
    char end_of_file = char(mode.c_cc[VEOF]);
    ASSERT_EQ(write(master, &end_of_file, 1), 1);
    EXPECT_EQ(exit_status(pid), 0);
    close(master);
}

TEST(streaming, non_blocking_descriptors_fed_and_drained_in_bursts)
{
    std::string input = generated_lines(9, 3000000);
    int in[2], out[2];
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    for (int fd : {in[0], in[1], out[0], out[1]})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    pid_t pid = start_v2list(in[0], out[1]);
    close(in[0]);
    close(out[1]);
    std::string got;
    std::size_t sent = 0;
    for (int burst = 0; out[0] >= 0; ++burst) {
        // Alternately a pause with a full input pipe and one with a full
        // output pipe, so that v2list meets both not ready.
        usleep(burst % 2 ? 2000 : 0);
        if (sent < input.size()) {
            ssize_t n = write(in[1], input.data() + sent,
                              std::min<std::size_t>(input.size() - sent, 200000));
            sent += n > 0 ? std::size_t(n) : 0;
            if (sent == input.size())
                close(in[1]);
        }
        usleep(burst % 2 ? 0 : 2000);
        char block[1 << 16];
        ssize_t n;
        while ((n = read(out[0], block, sizeof block)) > 0)
            got.append(block, std::size_t(n));
        if (n == 0) {
            close(out[0]);
            out[0] = -1;
        }
    }
    EXPECT_EQ(exit_status(pid), 0);
    EXPECT_TRUE(got == reference_listing(input)) << got.size() << " characters written";
}

std::atomic<int> signals_caught{0};
void count_signal(int)
{
    ++signals_caught;
}

TEST(streaming, reads_and_writes_interrupted_by_signals_go_on)
{
    struct sigaction action {
    }, old{};
    action.sa_handler = count_signal; // no SA_RESTART: blocked calls fail with EINTR
    sigaction(SIGUSR1, &action, &old);
    std::string input = generated_lines(10, 400000);
    int in[2], out[2];
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    fcntl(out[1], F_SETPIPE_SZ, 4096); // a small pipe: writes block, or take part

    static conversion work;
    conversion_result result{-1, false};
    std::atomic<bool> done{false};
    std::thread converter([&] {
        result = convert(work, in[0], out[1]);
        close(out[1]);
        done = true;
    });
    std::string got;
    std::thread drainer([&] {
        char block[1000];
        for (ssize_t n; (n = read(out[0], block, sizeof block)) > 0; usleep(100))
            got.append(block, std::size_t(n));
    });
    // Input in small amounts with pauses, so that the converter waits in
    // read and in write, and signals meant to find it there.
    for (std::size_t sent = 0; sent < input.size(); sent += 5000) {
        std::size_t n = std::min<std::size_t>(5000, input.size() - sent);
        ASSERT_EQ(write(in[1], input.data() + sent, n), ssize_t(n));
        usleep(500);
        pthread_kill(converter.native_handle(), SIGUSR1);
    }
    close(in[1]);
    while (!done) {
        pthread_kill(converter.native_handle(), SIGUSR1);
        usleep(500);
    }
    converter.join();
    drainer.join();
    close(in[0]);
    close(out[0]);
    sigaction(SIGUSR1, &old, nullptr);
    EXPECT_EQ(result.error, 0);
    EXPECT_GT(signals_caught.load(), 0);
    EXPECT_TRUE(got == reference_listing(input)) << got.size() << " characters written";
}

} // namespace
} // namespace v2list
