// Times programs side by side: every round runs each of them once, in turn,
// with standard input from the file and standard output on /dev/null, and
// the median wall time of each is printed in nanoseconds, one a line.
// Usage: time_runs ROUNDS INPUT PROGRAM...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

long long now_ns()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// One run's wall time, or -1 when the program failed: killed, or an exit
// status above 1 (v2check says 1 when it found something to report).
long long run_once(const char* program, const char* input)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program), nullptr};
    long long start = now_ns();
    pid_t pid;
    int status = -1;
    if (posix_spawnp(&pid, program, &actions, nullptr, argv, environ) == 0)
        waitpid(pid, &status, 0);
    long long end = now_ns();
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) && WEXITSTATUS(status) <= 1 ? end - start : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: time_runs ROUNDS INPUT PROGRAM...\n");
        return 2;
    }
    int rounds = std::atoi(argv[1]);
    std::vector<std::vector<long long>> times(std::size_t(argc - 3));
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t p = 0; p < times.size(); ++p) {
            long long t = run_once(argv[3 + p], argv[2]);
            if (t < 0) {
                std::fprintf(stderr, "time_runs: %s failed\n", argv[3 + p]);
                return 1;
            }
            times[p].push_back(t);
        }
    }
    for (auto& t : times) {
        std::sort(t.begin(), t.end());
        std::printf("%lld\n", t[t.size() / 2]);
    }
    return 0;
}
