/* quenfold: the text macro processor as a library. One call runs the program
   as its command line would, in-process, with its standard input, output and
   error stream in memory (quenfold_run) or handed over piece by piece
   (quenfold_run_io). Runs share nothing: any number may go on at once in
   different threads, and no run ends or disturbs the calling process. */
#ifndef QUENFOLD_QUENFOLD_H
#define QUENFOLD_QUENFOLD_H

#include <stddef.h>

#if defined(QUENFOLD_BUILDING) && defined(__GNUC__)
#define QUENFOLD_API __attribute__((visibility("default")))
#else
#define QUENFOLD_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define QUENFOLD_VERSION "3.2"
#define QUENFOLD_VERSION_MAJOR 3
#define QUENFOLD_VERSION_MINOR 2

/* What one run wrote, and how it ended. */
typedef struct quenfold_result {
  char *out;      /* bytes written to standard output (NUL-terminated, may contain NULs) */
  size_t out_len;
  char *err;      /* bytes written to standard error: the error line, or empty */
  size_t err_len;
  int status;     /* the exit status: 0, or 1 after an error */
} quenfold_result;

/* Runs quenfold exactly as the command line would with these words (argv[0]
   is the program name; options, the options variable named after it,
   operands and every directive behave as in the program), with standard
   input read from the input_len bytes at input (input may be NULL when
   input_len is 0). Fills *result and returns result->status, or -1 when
   *result could not be made (memory exhausted): then nothing needs freeing. */
QUENFOLD_API int quenfold_run(int argc, const char *const *argv, const char *input,
                              size_t input_len, quenfold_result *result);

/* Releases what quenfold_run put in *result and empties it. */
QUENFOLD_API void quenfold_result_free(quenfold_result *result);

/* The version of the library, "3.2". */
QUENFOLD_API const char *quenfold_version(void);

/* The streaming form. Each member may be left zero (QUENFOLD_IO_INIT sets
   them so): a stream without a callback uses its file descriptor. */
typedef struct quenfold_io {
  /* Pulls standard input: stores up to size bytes at buffer and returns how
     many, 0 at the end of the input, or -1 after a failure (errno says why;
     the run then ends with "Can't read stdin (...)"). */
  long (*read)(void *context, char *buffer, size_t size);
  /* Takes output as it is produced: stream 1 is standard output, stream 2
     the error line. Returns 0, or -1 when the bytes could not be written
     (the run then ends with "Can't write to file"). */
  int (*write)(void *context, int stream, const char *data, size_t size);
  void *context;
  /* Descriptors used where the callback is null (0, 1 and 2 by default). */
  int in_fd, out_fd, err_fd;
  /* The environment the run sees, as "NAME=value" words ending with NULL;
     NULL means the process's own. A run given an environment of its own
     sees nothing else of the process's: its __USER__ comes from USER or
     LOGNAME there, or is empty. */
  const char *const *envp;
} quenfold_io;

#define QUENFOLD_IO_INIT {NULL, NULL, NULL, 0, 1, 2, NULL}

/* Runs quenfold as quenfold_run does, with the streams io names (NULL for
   the process's standard streams). Returns the exit status, 0 or 1. */
QUENFOLD_API int quenfold_run_io(int argc, const char *const *argv, const quenfold_io *io);

/* Options of a run, for scripts the caller did not write. Every member left
   zero keeps the program's own behaviour; QUENFOLD_OPTIONS_INIT sets size,
   which tells the library how much of the structure the caller knows, so
   later versions can add members at the end. */
typedef struct quenfold_options {
  size_t size; /* sizeof (quenfold_options) */
  /* A directory that every file input is opened beneath: relative names are
     taken from it (never from the working directory), and a name that leads
     out of it, being absolute or through "..", a symbolic link, the include
     directory or a directory operand, ends the run as a file that cannot be
     opened does, with the reason "Permission denied". Opened when the run
     starts; NULL for none. */
  const char *root;
  /* Nonzero: a host:port input ends the run as an unreachable host does. */
  int no_network;
  /* Limits, 0 for none. A run ends with status 1 and an error line of its
     own after max_lines logical lines ("Line limit of this run reached"),
     when one expansion grows past max_text bytes ("Text limit of this run
     reached"), or when its standard output would pass max_output bytes
     ("Output limit of this run reached"; the output up to the limit is
     kept). */
  unsigned long long max_lines;
  size_t max_text;
  size_t max_output;
} quenfold_options;

#define QUENFOLD_OPTIONS_INIT {sizeof(quenfold_options), NULL, 0, 0, 0, 0}

/* quenfold_run with options (NULL for none) and the environment the run
   sees (as quenfold_io's envp: NULL for the process's own). */
QUENFOLD_API int quenfold_run_opts(int argc, const char *const *argv, const char *input,
                                   size_t input_len, const char *const *envp,
                                   const quenfold_options *options, quenfold_result *result);

/* quenfold_run_io with options (NULL for none). */
QUENFOLD_API int quenfold_run_io_opts(int argc, const char *const *argv, const quenfold_io *io,
                                      const quenfold_options *options);

#ifdef __cplusplus
}
#endif

#endif /* QUENFOLD_QUENFOLD_H */
