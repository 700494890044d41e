// Stamps a run's flushes and deletes, so that bench/run.sh --phases
// can time the pass alone: from the end of the work file's delete to the
// start of the new work file's flush. Outside that span the program and the
// floor make the same calls, and the flushes' time varies from run to run
// by more than the pass costs; inside it is the reading, the decoding and
// the writing into the system's cache.
//   cc -O2 -shared -fPIC bench/phase_stamps.c -o phase_stamps.so -ldl
//   HQ2HD_PHASES=FILE LD_PRELOAD=./phase_stamps.so PROGRAM
// Appends a line "name start duration" (milliseconds from the process's
// start) for each call, then "--", to FILE when the process ends.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static double started;
static char stamps[4096];
static int used;

static double now_ms(void) {
  struct timespec time;
  clock_gettime(CLOCK_MONOTONIC, &time);
  return (double)time.tv_sec * 1e3 + (double)time.tv_nsec / 1e6;
}

static void stamp(const char* name, double from) {
  const double to = now_ms();
  if (used < (int)sizeof stamps)
    used += snprintf(stamps + used, sizeof stamps - (size_t)used, "%s %.3f %.3f\n", name,
                     from - started, to - from);
}

__attribute__((constructor)) static void start(void) { started = now_ms(); }

__attribute__((destructor)) static void finish(void) {
  const char* name = getenv("HQ2HD_PHASES");
  if (name == NULL) return;
  int file = open(name, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (file < 0) return;
  if (write(file, stamps, (size_t)used) < 0 || write(file, "--\n", 3) < 0) {
    // Nothing to do: run.sh stops when a run's figures are missing.
  }
  close(file);
}

#define STAMPED(result, name, params, args)                     \
  result name params {                                          \
    static result(*real) params;                                \
    if (real == NULL) *(void**)&real = dlsym(RTLD_NEXT, #name); \
    const double called = now_ms();                             \
    const result outcome = real args;                           \
    stamp(#name, called);                                       \
    return outcome;                                             \
  }

STAMPED(int, fsync, (int file), (file))
STAMPED(int, unlink, (const char* name), (name))
STAMPED(int, unlinkat, (int folder, const char* name, int flags), (folder, name, flags))
