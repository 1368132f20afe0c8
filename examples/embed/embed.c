/* embed: runs a quenfold script inside this program, through the library.

     embed SCRIPT [WORD...]

   The WORDs are the run's command line, as the quenfold program takes it
   (options and inputs); SCRIPT is the run's standard input, the script when
   no input is named. What the run writes to standard output is printed, its
   error line goes to standard error, and the run's status is the exit
   status. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <quenfold/quenfold.h>

int main(int argc, char **argv) {
  const char **words;
  quenfold_result result;
  int count, i, status;

  if (argc < 2) {
    fputs("usage: embed SCRIPT [WORD...]\n", stderr);
    return 2;
  }

  /* The run's argv: a program name, then the words. */
  count = argc - 1;
  words = malloc((size_t)count * sizeof *words);
  if (words == NULL) {
    fputs("embed: out of memory\n", stderr);
    return 1;
  }
  words[0] = "quenfold";
  for (i = 1; i < count; i++)
    words[i] = argv[i + 1];

  status = quenfold_run(count, words, argv[1], strlen(argv[1]), &result);
  free(words);
  if (status < 0) {
    fputs("embed: out of memory\n", stderr);
    return 1;
  }

  /* The output may hold NUL bytes: it is written by its length. */
  fwrite(result.out, 1, result.out_len, stdout);
  fwrite(result.err, 1, result.err_len, stderr);
  quenfold_result_free(&result);
  if (fflush(stdout) != 0 || ferror(stdout)) {
    perror("embed: standard output");
    return 1;
  }
  return status;
}
