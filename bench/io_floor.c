// The input and output that a run must do, and nothing else; bench/run.sh
// times it as the floor. Give it the folder that holds JWC_TEMP.TXT:
//   cc -O2 bench/io_floor.c -o io_floor && ./io_floor FOLDER
// It makes the same calls as the program's run, in the same order:
// 1. copy JWC_TEMP.TXT to a new TEMP.TXT in 4096-byte blocks (the block of
//    CopyFileWithTimes), flush the copy to disk, close both, flush the
//    folder, delete JWC_TEMP.TXT;
// 2. read TEMP.TXT through one buffer of 1 MiB (the program's piece),
//    writing each piece as it comes to a new HQ2HD.NEW; flush it, close it,
//    rename it over JWC_TEMP.TXT, flush the folder, delete TEMP.TXT.
// On Linux it also makes the run's calls around the bytes: the claim (a lock
// file in a private folder, flock), the work file's times read (with the
// local time zone) before the copy and written to the copy after it, and
// the permissions of each new file, made private and then the source's.
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
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
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

// A new file, private until it has the source's permissions.
static int create_like(const char* name, int source) {
  struct stat status;
  int file = open(name, O_RDWR | O_CREAT | O_EXCL, 0600);
  if (file < 0 || fstat(source, &status) != 0 || fchmod(file, status.st_mode & 0777) != 0)
    fail("create");
  return file;
}

int main(int argc, char** argv) {
  if (argc > 1 && chdir(argv[1]) != 0) fail("chdir");
  char claim_folder[64], claim[128];
  snprintf(claim_folder, sizeof claim_folder, "/tmp/hq2hd-floor-%u", (unsigned)geteuid());
  snprintf(claim, sizeof claim, "%s/claim.lock", claim_folder);
  mkdir(claim_folder, 0700);
  int claimed = open(claim, O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
  if (claimed < 0 || flock(claimed, LOCK_EX) != 0) fail("claim");
  struct stat times;
  struct tm local;
  if (stat("JWC_TEMP.TXT", &times) != 0 || localtime_r(&times.st_mtime, &local) == NULL)
    fail("times");
  static char block[COPY_BLOCK];
  int in = open("JWC_TEMP.TXT", O_RDONLY);
  if (in < 0) fail("open for the copy");
  int out = create_like("TEMP.TXT", in);
  ssize_t n;
  while ((n = read(in, block, sizeof block)) > 0) write_all(out, block, (size_t)n);
  if (n < 0 || fsync(out) != 0 || close(out) != 0) fail("copy");
  const struct timespec copied[2] = {times.st_atim, times.st_mtim};
  if (utimensat(AT_FDCWD, "TEMP.TXT", copied, 0) != 0 || close(in) != 0) fail("copy's times");
  flush_folder();
  if (unlink("JWC_TEMP.TXT") != 0) fail("delete the work file");

  int scratch = open("TEMP.TXT", O_RDONLY);
  if (scratch < 0) fail("open for the rewrite");
  int work = create_like("HQ2HD.NEW", scratch);
  char* buffer = malloc(PIECE);
  if (buffer == NULL) fail("malloc");
  while ((n = read(scratch, buffer, PIECE)) > 0) write_all(work, buffer, (size_t)n);
  if (n < 0 || fsync(work) != 0 || close(work) != 0) fail("flush the new work file");
  free(buffer);
  close(scratch);
  if (rename("HQ2HD.NEW", "JWC_TEMP.TXT") != 0) fail("rename the new work file");
  flush_folder();
  if (unlink("TEMP.TXT") != 0) fail("delete the copy");
  close(claimed);
  return 0;
}
#endif
