// Build and run beside a work file: cc -O2 bench/io_floor.c -o io_floor && ./io_floor
// The I/O a run must do, and nothing else: copy in 4096-byte blocks, delete,
// read the copy whole, write the work file whole, delete the copy.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
int main(void) {
  char block[4096];
  int in = open("JWC_TEMP.TXT", O_RDONLY), out = open("TEMP.TXT", O_RDWR | O_CREAT | O_TRUNC, 0644);
  ssize_t n;
  while ((n = read(in, block, sizeof block)) > 0) write(out, block, n);
  close(in); close(out);
  unlink("JWC_TEMP.TXT");
  int s = open("TEMP.TXT", O_RDONLY); struct stat st; fstat(s, &st);
  char* buf = malloc(st.st_size); read(s, buf, st.st_size); close(s);
  char* outbuf = malloc(st.st_size + 1024);
  for (off_t i = 0; i < st.st_size; ++i) outbuf[i] = buf[i];  // touch the output
  int w = open("JWC_TEMP.TXT", O_RDWR | O_CREAT | O_TRUNC, 0644); write(w, outbuf, st.st_size); close(w);
  unlink("TEMP.TXT");
  return 0;
}
