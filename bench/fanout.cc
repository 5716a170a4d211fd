// Starts several processes at once, each running a command a number of times
// one after another, and writes "wall user sys failures" of the whole batch
// to a file: wall from the first start to the last exit, CPU from the
// resource usage of every process of the batch (the kernel adds a waited-for
// child's usage to its parent's children's usage, level by level), failures
// the number of runs that did not exit with 0.
//
//   tarnlet_bench_fanout OUTPUT_FILE PROCESSES RUNS COMMAND...
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// One worker: runs the command the given number of times; its exit status
// is the number of failed runs (at most 255).
int RunRepeatedly(int runs, char** command) {
  int failures = 0;
  for (int i = 0; i < runs; ++i) {
    const pid_t child = fork();
    if (child < 0) return 255;
    if (child == 0) {
      std::freopen("/dev/null", "w", stdout);
      execvp(command[0], command);
      std::perror(command[0]);
      _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      ++failures;
    }
  }
  return failures > 255 ? 255 : failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s OUTPUT_FILE PROCESSES RUNS COMMAND...\n", argv[0]);
    return 2;
  }
  const int processes = std::atoi(argv[2]);
  const int runs = std::atoi(argv[3]);
  if (processes < 1 || runs < 1) return 2;
  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> workers;
  for (int i = 0; i < processes; ++i) {
    const pid_t worker = fork();
    if (worker < 0) return 2;
    if (worker == 0) _exit(RunRepeatedly(runs, argv + 4));
    workers.push_back(worker);
  }
  int failures = 0;
  for (pid_t worker : workers) {
    int status = 0;
    if (waitpid(worker, &status, 0) < 0 || !WIFEXITED(status)) {
      failures += runs;
    } else {
      failures += WEXITSTATUS(status);
    }
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 2;
  std::fprintf(out, "%.6f %ld.%06ld %ld.%06ld %d\n", wall.count(),
               static_cast<long>(usage.ru_utime.tv_sec), static_cast<long>(usage.ru_utime.tv_usec),
               static_cast<long>(usage.ru_stime.tv_sec), static_cast<long>(usage.ru_stime.tv_usec),
               failures);
  std::fclose(out);
  return failures == 0 ? 0 : 1;
}
