// Types of the quenfold package: load() gives a runner whose run() is one run
// of the program, in memory.

/** A text: a string (written as UTF-8) or its bytes. */
export type Text = string | Uint8Array;

/** Limits of one run; a run that reaches one ends with status 1 and an error line of its own. */
export interface Limits {
  /** Logical lines read ("Line limit of this run reached"). */
  lines?: number;
  /** Bytes of one expansion ("Text limit of this run reached"). */
  text?: number;
  /** Bytes of output, kept up to the limit ("Output limit of this run reached"). */
  output?: number;
}

/** One run: the command line, and all that the run may see. */
export interface RunOptions {
  /** The words after the program name, as on the command line. */
  args?: Text[];
  /** The files of the run's working directory, by relative path; the only files it can read. */
  files?: Record<string, Text>;
  /** Empty directories to make in the working directory. */
  dirs?: string[];
  /** Standard input. */
  stdin?: Text;
  /** The whole environment of the run: it sees no other variable. */
  env?: Record<string, Text>;
  limits?: Limits;
}

/** What a run wrote, and how it ended. */
export interface RunResult {
  /** Standard output, decoded as UTF-8. */
  out: string;
  /** Standard error: the error line, or empty. */
  err: string;
  /** The exit status: 0, or 1 after an error. */
  status: number;
  /** The bytes of standard output, as written. */
  outBytes: Uint8Array;
  /** The bytes of standard error, as written. */
  errBytes: Uint8Array;
}

/** A loaded module. Runs share nothing: each starts from an empty working directory. */
export interface Quenfold {
  /** The library's version, "3.2". */
  readonly version: string;
  run(options?: RunOptions): RunResult;
}

/** Loads the module; `moduleOptions` go to Emscripten's module factory. */
export declare function load(moduleOptions?: Record<string, unknown>): Promise<Quenfold>;
