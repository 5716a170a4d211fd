// Runs a command once and writes "wall user sys maxrss_kb" of it to a file,
// from the child's own resource usage, to the microsecond (/usr/bin/time
// rounds to 10 ms, coarser than a whole small mail client run). A small
// process forks the child: the peak memory the kernel reports for a child
// includes that of the process it was forked from.
//
//   tarnlet_bench_measure OUTPUT_FILE COMMAND...
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_FILE COMMAND...\n", argv[0]);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    execvp(argv[2], argv + 2);
    std::perror(argv[2]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) return 2;
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 2;
  std::fprintf(out, "%.6f %ld.%06ld %ld.%06ld %ld\n", wall.count(),
               static_cast<long>(usage.ru_utime.tv_sec), static_cast<long>(usage.ru_utime.tv_usec),
               static_cast<long>(usage.ru_stime.tv_sec), static_cast<long>(usage.ru_stime.tv_usec),
               usage.ru_maxrss);
  std::fclose(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
