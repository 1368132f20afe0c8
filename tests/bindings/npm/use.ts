// Every option of run() and every member of its result, as a TypeScript
// program written against the installed package uses them; checked with
// tsc --strict --noEmit. The lines marked @ts-expect-error must not compile,
// so declarations that let anything through fail the check too.
import { load } from 'quenfold';
import type { Limits, Quenfold, RunOptions, RunResult } from 'quenfold';

const bytes = new Uint8Array([0x68, 0x69, 0x0a]);
const limits: Limits = { lines: 1000, text: 65536, output: 1 << 20 };
const options: RunOptions = {
  args: ['-D', 'who=Ann', bytes, './page.qf'],
  files: { 'page.qf': 'Hello $(who)\n', 'data.bin': bytes },
  dirs: ['empty'],
  stdin: bytes,
  env: { HOME: '/home/ann', RAW: bytes },
  limits,
};

export async function render(): Promise<string> {
  const quenfold: Quenfold = await load();
  const version: string = quenfold.version;
  const result: RunResult = quenfold.run(options);
  const out: string = result.out;
  const err: string = result.err;
  const status: number = result.status;
  const outBytes: Uint8Array = result.outBytes;
  const errBytes: Uint8Array = result.errBytes;
  quenfold.run();
  quenfold.run({ stdin: 'x\n' });
  // @ts-expect-error words are texts
  quenfold.run({ args: [1] });
  // @ts-expect-error there is no such option
  quenfold.run({ cwd: '/' });
  // @ts-expect-error limits are numbers
  quenfold.run({ limits: { lines: '10' } });
  // @ts-expect-error the status is a number
  const wrong: string = result.status;
  return [version, out, err, status, outBytes.length, errBytes.length, wrong].join(' ');
}
