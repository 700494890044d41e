// The input and output that a run must do, and nothing else; bench/run.sh
// times it as the floor. Give it the folder that holds JWC_TEMP.TXT:
//   cc -O2 bench/io_floor.c -o io_floor && ./io_floor FOLDER
// 1. copy JWC_TEMP.TXT to TEMP.TXT in 4096-byte blocks, flush the copy to
//    disk, close both, flush the folder, delete JWC_TEMP.TXT;
// 2. read TEMP.TXT whole into one buffer;
// 3. write JWC_TEMP.TXT whole from that buffer, flush it, close it, flush
//    the folder, delete TEMP.TXT.
// No loop touches the bytes: what the program spends above this is its own.
// Built for Windows (i686- or x86_64-w64-mingw32-gcc -O2), it does the same
// through kernel32, with FlushFileBuffers for each flush of a file and
// nothing for a folder's, as the program's Windows backend.
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

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && !SetCurrentDirectoryW(argv[1])) fail("chdir");
  char block[4096];
  HANDLE in = open_file(L"JWC_TEMP.TXT", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = open_file(L"TEMP.TXT", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  DWORD n = 0, done = 0;
  while (ReadFile(in, block, sizeof block, &n, NULL) && n > 0) {
    if (!WriteFile(out, block, n, &done, NULL) || done != n) fail("copy");
  }
  if (!FlushFileBuffers(out) || !CloseHandle(in) || !CloseHandle(out)) fail("copy");
  if (!DeleteFileW(L"JWC_TEMP.TXT")) fail("delete the work file");

  HANDLE scratch = open_file(L"TEMP.TXT", GENERIC_READ, OPEN_EXISTING);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(scratch, &size)) fail("size of the copy");
  const DWORD count = (DWORD)size.QuadPart;
  char* buffer = malloc(count > 0 ? count : 1);
  if (buffer == NULL) fail("malloc");
  for (DWORD total = 0; total < count; total += n) {
    if (!ReadFile(scratch, buffer + total, count - total, &n, NULL) || n == 0) fail("read the copy");
  }
  CloseHandle(scratch);

  HANDLE work = open_file(L"JWC_TEMP.TXT", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  for (DWORD total = 0; total < count; total += n) {
    if (!WriteFile(work, buffer + total, count - total, &n, NULL) || n == 0) fail("write");
  }
  if (!FlushFileBuffers(work) || !CloseHandle(work)) fail("flush the work file");
  if (!DeleteFileW(L"TEMP.TXT")) fail("delete the copy");
  free(buffer);
  return 0;
}
#else
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static void fail(const char* what) {
  perror(what);
  exit(1);
}

static void flush_folder(void) {
  int folder = open(".", O_RDONLY | O_DIRECTORY);
  if (folder < 0 || fsync(folder) != 0 || close(folder) != 0) fail("folder");
}

int main(int argc, char** argv) {
  if (argc > 1 && chdir(argv[1]) != 0) fail("chdir");
  char block[4096];
  int in = open("JWC_TEMP.TXT", O_RDONLY);
  int out = open("TEMP.TXT", O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0) fail("open for the copy");
  ssize_t n;
  while ((n = read(in, block, sizeof block)) > 0) {
    if (write(out, block, (size_t)n) != n) fail("copy");
  }
  if (n < 0 || fsync(out) != 0 || close(in) != 0 || close(out) != 0) fail("copy");
  flush_folder();
  if (unlink("JWC_TEMP.TXT") != 0) fail("delete the work file");

  int scratch = open("TEMP.TXT", O_RDONLY);
  struct stat st;
  if (scratch < 0 || fstat(scratch, &st) != 0) fail("open the copy");
  size_t size = (size_t)st.st_size, done = 0;
  char* buffer = malloc(size > 0 ? size : 1);
  if (buffer == NULL) fail("malloc");
  while (done < size) {
    n = read(scratch, buffer + done, size - done);
    if (n <= 0) fail("read the copy");
    done += (size_t)n;
  }
  close(scratch);

  int work = open("JWC_TEMP.TXT", O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (work < 0) fail("create the work file");
  for (done = 0; done < size; done += (size_t)n) {
    n = write(work, buffer + done, size - done);
    if (n <= 0) fail("write the work file");
  }
  if (fsync(work) != 0 || close(work) != 0) fail("flush the work file");
  flush_folder();
  if (unlink("TEMP.TXT") != 0) fail("delete the copy");
  free(buffer);
  return 0;
}
#endif
