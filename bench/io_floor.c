// The input and output that a run must do, and nothing else; bench/run.sh
// times it as the floor. Give it the folder that holds JWC_TEMP.TXT:
//   cc -O2 bench/io_floor.c -o io_floor && ./io_floor FOLDER
// It makes the same calls as the program's run, in the same order:
// 1. copy JWC_TEMP.TXT to a new TEMP.TXT in 4096-byte blocks (the block of
//    CopyFileWithTimes), flush the copy to disk, close both, flush the
//    folder, delete JWC_TEMP.TXT;
// 2. read TEMP.TXT through one buffer as large as the file up to 1 MiB (the
//    program's piece), writing each piece as it comes to a new HQ2HD.NEW;
//    flush it, close it, rename it over JWC_TEMP.TXT, flush the folder,
//    delete TEMP.TXT. On Linux the buffer is taken as the program takes its
//    piece: from 64 KiB on, in 2 MiB pages where the system has them.
// On Linux it also makes the run's other calls, in the same order: the
// claim (a lock file in a private folder, flock), the look-ups with which the
// run checks a path before it uses it, the work file's three times read
// (with the local time zone) before the copy and written to the copy after
// it, each through a handle of its own, and the permissions of each new
// file, made private and then the source's.
// No loop touches the bytes: what the program spends above this is its own.
// Built for Windows (i686- or x86_64-w64-mingw32-gcc -O2), it does the same
// through kernel32, with FlushFileBuffers for each flush of a file, nothing
// for a folder's, and MoveFileExW with MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH for the rename, as the program's Windows backend.
#define COPY_BLOCK 4096
#define PIECE (1024 * 1024)

#ifdef _WIN32
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static void fail(const char* what) {
  fprintf(stderr, "%s: error %lu\n", what, (unsigned long)GetLastError());
  exit(1);
}

static HANDLE open_file(const wchar_t* name, DWORD access, DWORD disposition) {
  HANDLE file = CreateFileW(name, access, FILE_SHARE_READ, NULL, disposition,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) fail("open");
  return file;
}

static void write_all(HANDLE file, const char* bytes, DWORD count) {
  DWORD done = 0;
  if (!WriteFile(file, bytes, count, &done, NULL) || done != count) fail("write");
}

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && !SetCurrentDirectoryW(argv[1])) fail("chdir");
  static char block[COPY_BLOCK];
  HANDLE in = open_file(L"JWC_TEMP.TXT", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = open_file(L"TEMP.TXT", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  DWORD n = 0;
  while (ReadFile(in, block, sizeof block, &n, NULL) && n > 0) write_all(out, block, n);
  if (!FlushFileBuffers(out) || !CloseHandle(in) || !CloseHandle(out)) fail("copy");
  if (!DeleteFileW(L"JWC_TEMP.TXT")) fail("delete the work file");

  HANDLE scratch = open_file(L"TEMP.TXT", GENERIC_READ, OPEN_EXISTING);
  HANDLE work = open_file(L"HQ2HD.NEW", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  char* buffer = malloc(PIECE);
  if (buffer == NULL) fail("malloc");
  while (ReadFile(scratch, buffer, PIECE, &n, NULL) && n > 0) write_all(work, buffer, n);
  if (!FlushFileBuffers(work) || !CloseHandle(work)) fail("flush the new work file");
  free(buffer);
  CloseHandle(scratch);
  if (!MoveFileExW(L"HQ2HD.NEW", L"JWC_TEMP.TXT",
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    fail("rename the new work file");
  if (!DeleteFileW(L"TEMP.TXT")) fail("delete the copy");
  return 0;
}
#else
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <stdint.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static void fail(const char* what) {
  perror(what);
  exit(1);
}

static void flush_folder(void) {
  int folder = open(".", O_RDONLY | O_DIRECTORY);
  if (folder < 0 || fsync(folder) != 0 || close(folder) != 0) fail("folder");
}

static void write_all(int file, const char* bytes, size_t count) {
  while (count > 0) {
    ssize_t n = write(file, bytes, count);
    if (n <= 0) fail("write");
    bytes += n;
    count -= (size_t)n;
  }
}

// The look-ups with which the run checks a path before it uses it: the
// folder, then the name.
static void look_up(const char* name, int times) {
  struct stat status;
  for (int k = 0; k < times; ++k) {
    lstat(".", &status);
    lstat(name, &status);
  }
}

// A new file, private until it has the source's permissions.
static int create_like(const char* name, int source) {
  struct stat status;
  look_up(name, 1);
  int file = open(name, O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK, 0600);
  if (file < 0 || fstat(file, &status) != 0 || fstat(source, &status) != 0 ||
      fchmod(file, status.st_mode & 0777) != 0)
    fail("create");
  return file;
}

// An open file's type, size and permissions, as the run asks them.
static int open_source(const char* name, off_t* size) {
  struct stat status;
  int file = open(name, O_RDONLY | O_NONBLOCK);
  if (file < 0) fail("open");
  for (int k = 0; k < 3; ++k) fstat(file, &status);
  if (size != NULL) *size = status.st_size;
  return file;
}

// The program's piece memory (src/platform/posix/PieceMemory.cpp): from
// HUGE_PIECE_FROM bytes on, an aligned run of 2 MiB pages; `mapped` is its
// length, 0 for memory from malloc.
#define HUGE_PAGE ((size_t)2 << 20)
#define HUGE_PIECE_FROM ((size_t)64 << 10)
static char* piece_memory(size_t size, size_t* mapped) {
  *mapped = 0;
#ifdef MADV_HUGEPAGE
  if (size >= HUGE_PIECE_FROM) {
    const size_t length = (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    char* mapping = mmap(NULL, length + HUGE_PAGE, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) fail("mmap");
    const uintptr_t start = (uintptr_t)mapping;
    const uintptr_t aligned = (start + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    if (aligned != start) munmap(mapping, aligned - start);
    if (start + HUGE_PAGE != aligned) munmap((char*)aligned + length, start + HUGE_PAGE - aligned);
    madvise((char*)aligned, length, MADV_HUGEPAGE);
    *mapped = length;
    return (char*)aligned;
  }
#endif
  char* bytes = malloc(size);
  if (bytes == NULL) fail("malloc");
  return bytes;
}

// One of the three times the run writes to the copy, each through a handle
// of its own.
static void write_time(const char* name, const struct timespec times[2]) {
  struct stat status;
  look_up(name, 1);
  lstat(name, &status);
  int file = open(name, O_WRONLY | O_NONBLOCK);
  if (file < 0 || fstat(file, &status) != 0 || futimens(file, times) != 0 || close(file) != 0)
    fail("times");
}

int main(int argc, char** argv) {
  if (argc > 1 && chdir(argv[1]) != 0) fail("chdir");
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  char self[256];
  if (readlink("/proc/self/exe", self, sizeof self) <= 0) fail("readlink");
  // The claim: a lock file in a private folder.
  char claim_folder[64], claim[128];
  struct stat status;
  snprintf(claim_folder, sizeof claim_folder, "/tmp/hq2hd-floor-%u", (unsigned)geteuid());
  snprintf(claim, sizeof claim, "%s/claim.lock", claim_folder);
  stat(".", &status);
  mkdir(claim_folder, 0700);
  lstat(claim_folder, &status);
  int claimed = open(claim, O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
  if (claimed < 0 || flock(claimed, LOCK_EX) != 0) fail("claim");
  look_up("HQ2HD.NEW", 1);
  // The three times of the work file, each read on its own, in local time.
  struct stat times;
  struct tm local;
  for (int k = 0; k < 3; ++k) {
    look_up("JWC_TEMP.TXT", 1);
    if (stat("JWC_TEMP.TXT", &times) != 0 || localtime_r(&times.st_mtime, &local) == NULL)
      fail("times");
  }

  static char block[COPY_BLOCK];
  int in = open_source("JWC_TEMP.TXT", NULL);
  int out = create_like("TEMP.TXT", in);
  ssize_t n;
  while ((n = read(in, block, sizeof block)) > 0) write_all(out, block, (size_t)n);
  if (n < 0 || write(out, block, 0) != 0 || fsync(out) != 0 || close(out) != 0) fail("copy");
  const struct timespec omit = {0, UTIME_OMIT};
  const struct timespec creation[2] = {omit, omit}, access[2] = {times.st_atim, omit},
                        modification[2] = {omit, times.st_mtim};
  write_time("TEMP.TXT", creation);
  write_time("TEMP.TXT", access);
  write_time("TEMP.TXT", modification);
  if (close(in) != 0) fail("copy");
  flush_folder();
  look_up("JWC_TEMP.TXT", 1);
  if (unlink("JWC_TEMP.TXT") != 0) fail("delete the work file");

  off_t size = 0;
  int scratch = open_source("TEMP.TXT", &size);
  // With 4 bytes more for a code that a piece's end cuts, as the program's.
  const size_t piece = size < PIECE ? (size_t)size : PIECE;
  size_t mapped = 0;
  char* buffer = piece_memory(piece + 4, &mapped);
  n = read(scratch, buffer, piece);
  int work = create_like("HQ2HD.NEW", scratch);
  while (n > 0) {
    write_all(work, buffer, (size_t)n);
    n = read(scratch, buffer, piece);
  }
  if (n < 0 || fsync(work) != 0 || close(work) != 0) fail("flush the new work file");
  if (mapped != 0) {
    munmap(buffer, mapped);
  } else {
    free(buffer);
  }
  close(scratch);
  look_up("JWC_TEMP.TXT", 1);
  if (rename("HQ2HD.NEW", "JWC_TEMP.TXT") != 0) fail("rename the new work file");
  flush_folder();
  look_up("TEMP.TXT", 1);
  if (unlink("TEMP.TXT") != 0) fail("delete the copy");
  close(claimed);
  return 0;
}
#endif
