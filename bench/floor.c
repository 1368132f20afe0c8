/* The floor: a minimal line filter that reads lines, trims white space at
   both ends, drops empty lines and writes the rest. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

int main(void) {
  char* line = NULL;
  size_t cap = 0;
  ssize_t n;
  while ((n = getline(&line, &cap, stdin)) > 0) {
    char* s = line;
    while (n > 0 && isspace((unsigned char)s[n - 1])) n--;
    while (n > 0 && isspace((unsigned char)*s)) {
      s++;
      n--;
    }
    if (n == 0) continue;
    fwrite(s, 1, (size_t)n, stdout);
    putchar('\n');
  }
  free(line);
  return 0;
}
