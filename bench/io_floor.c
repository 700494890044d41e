// The input and output that a run must do, and nothing else; bench/run.sh
// times it as the floor. Give it the folder that holds JWC_TEMP.TXT:
//   cc -O2 bench/io_floor.c -o io_floor && ./io_floor FOLDER
// 1. copy JWC_TEMP.TXT to TEMP.TXT in 4096-byte blocks, flush the copy to
//    disk, close both, flush the folder, delete JWC_TEMP.TXT;
// 2. read TEMP.TXT whole into one buffer;
// 3. write JWC_TEMP.TXT whole from that buffer, flush it, close it, flush
//    the folder, delete TEMP.TXT.
// No loop touches the bytes: what the program spends above this is its own.
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
