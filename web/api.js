// The JavaScript API of the quenfold WebAssembly module. The build appends
// this file to both flavours of the module, after Emscripten's factory
// createQuenfoldModule: quenfold.js for web pages (a global `Quenfold`) and
// quenfold-node.js for Node (`require('./quenfold-node.js')`).
//
//   const quenfold = await Quenfold.load();
//   const result = quenfold.run({
//     args: ['-D', 'who=Ann', './page.qf'],  // the words after the program name
//     files: {'page.qf': 'Hello $(who)\n'},  // the working directory's files
//     stdin: '',                             // standard input
//     env: {},                               // the whole environment
//   });
//   // result: {out, err, status, outBytes, errBytes}
//   const warnings = quenfold.check({args: [...], files: {...}});
//   // quenfold-check's warnings: [{file, line, column, name, text}]
//
// Every run starts in a fresh, empty in-memory working directory holding
// only `files` (and the empty directories named in `dirs`); nothing of a run
// is left for the next. The environment is exactly `env`: a run sees no
// variable the caller did not pass. Texts may be strings (written as UTF-8)
// or Uint8Arrays. `limits: {lines, text, output}` stops a run with an error
// line after that many lines, when one expansion grows past that many bytes,
// or when its output does (keeping the output up to the limit).
// Inputs a browser cannot offer end the run with the program's own error
// line: host:port names (no sockets here) and files outside `files`.
var Quenfold = (function () {
  'use strict';

  var WORKDIR = '/work';
  var encoder = new TextEncoder();
  var decoder = new TextDecoder('utf-8');

  function bytesOf(text, what) {
    if (text === undefined || text === null) return new Uint8Array(0);
    if (typeof text === 'string') return encoder.encode(text);
    if (text instanceof Uint8Array) return text;
    throw new TypeError(what + ' must be a string or a Uint8Array');
  }

  // The components of a path relative to the working directory.
  function relativePath(name) {
    if (typeof name !== 'string' || name === '' || name.charAt(0) === '/' || name.indexOf('\0') >= 0) {
      throw new TypeError('file names are relative paths: ' + JSON.stringify(name));
    }
    var parts = name.split('/').filter(function (part) { return part !== '' && part !== '.'; });
    if (parts.length === 0 || parts.indexOf('..') >= 0) {
      throw new TypeError('file names stay inside the working directory: ' + JSON.stringify(name));
    }
    return parts;
  }

  function removeTree(FS, path) {
    var stat;
    try {
      stat = FS.lstat(path);
    } catch (e) {
      return;
    }
    if (FS.isDir(stat.mode)) {
      FS.readdir(path).forEach(function (entry) {
        if (entry !== '.' && entry !== '..') removeTree(FS, path + '/' + entry);
      });
      FS.rmdir(path);
    } else {
      FS.unlink(path);
    }
  }

  function makeDirs(FS, parts) {
    var path = WORKDIR;
    parts.forEach(function (part) {
      path += '/' + part;
      if (!FS.analyzePath(path).exists) FS.mkdir(path);
    });
    return path;
  }

  function Runner(module) {
    this.module = module;
    this.version = module.UTF8ToString(module._quenfold_version());
  }

  Runner.prototype.run = function (request) {
    request = request || {};
    var M = this.module;
    var FS = M.FS;
    var args = request.args || [];
    var env = request.env || {};
    var limits = request.limits || {};
    var blocks = [];  // malloc'd memory to free after the run

    function store(bytes) {
      var ptr = M._malloc(bytes.length + 1);
      blocks.push(ptr);
      M.HEAPU8.set(bytes, ptr);
      M.HEAPU8[ptr + bytes.length] = 0;
      return ptr;
    }
    function storeWords(words) {
      var ptrs = words.map(function (word) { return store(bytesOf(word, 'a word')); });
      var table = M._malloc(4 * (ptrs.length + 1));
      blocks.push(table);
      ptrs.concat([0]).forEach(function (ptr, i) { M.HEAPU32[(table >> 2) + i] = ptr; });
      return table;
    }

    removeTree(FS, WORKDIR);
    FS.mkdir(WORKDIR);
    FS.chdir(WORKDIR);
    try {
      (request.dirs || []).forEach(function (dir) { makeDirs(FS, relativePath(dir)); });
      var files = request.files || {};
      Object.keys(files).forEach(function (name) {
        var parts = relativePath(name);
        var dir = makeDirs(FS, parts.slice(0, -1));
        FS.writeFile(dir + '/' + parts[parts.length - 1], bytesOf(files[name], 'file ' + name));
      });
      var words = ['quenfold'].concat(args);
      var variables = Object.keys(env).map(function (name) {
        var head = encoder.encode(name + '=');
        var value = bytesOf(env[name], 'variable ' + name);
        var word = new Uint8Array(head.length + value.length);
        word.set(head);
        word.set(value, head.length);
        return word;
      });
      var argv = storeWords(words);
      var envp = storeWords(variables);
      var input = bytesOf(request.stdin, 'stdin');
      var inputPtr = store(input);
      var status = M._quenfold_web_run(words.length, argv, envp, inputPtr, input.length,
                                       limits.lines >>> 0, limits.text >>> 0, limits.output >>> 0);
      var stream = function (n) {
        var ptr = M._quenfold_web_stream(n);
        return M.HEAPU8.slice(ptr, ptr + M._quenfold_web_stream_size(n));
      };
      var outBytes = stream(1);
      var errBytes = stream(2);
      return {
        out: decoder.decode(outBytes),
        err: decoder.decode(errBytes),
        status: status,
        outBytes: outBytes,
        errBytes: errBytes,
      };
    } finally {
      blocks.forEach(function (ptr) { M._free(ptr); });
      FS.chdir('/');
      removeTree(FS, WORKDIR);
    }
  };

  // What quenfold-check finds in each script of `request.files` (named and
  // given as for run), with the -D options among `request.args`: a list of
  // {file, line, column, name, text}, file by file and line by line. Nothing
  // is run; a file is checked on its own, without what it includes.
  Runner.prototype.check = function (request) {
    request = request || {};
    var M = this.module;
    var words = (request.args || []).map(function (word) { return bytesOf(word, 'a word'); });
    var list = new Uint8Array(words.reduce(function (n, word) { return n + word.length + 1; }, 0));
    words.reduce(function (at, word) { list.set(word, at); return at + word.length + 1; }, 0);
    function onHeap(bytes) {
      var ptr = M._malloc(bytes.length + 1);
      M.HEAPU8.set(bytes, ptr);
      return ptr;
    }
    var files = request.files || {};
    var warnings = [];
    var wordsPtr = onHeap(list);
    try {
      Object.keys(files).forEach(function (name) {
        var bytes = bytesOf(files[name], 'file ' + name);
        var scriptPtr = onHeap(bytes);
        var found = M._quenfold_web_check(wordsPtr, list.length, scriptPtr, bytes.length);
        M._free(scriptPtr);
        try {
          JSON.parse(M.UTF8ToString(found)).forEach(function (w) {
            warnings.push({ file: name, line: w.line, column: w.column, name: w.name, text: w.text });
          });
        } finally {
          M._free(found);
        }
      });
    } finally {
      M._free(wordsPtr);
    }
    return warnings;
  };

  return {
    // Resolves to an object with run(request) and version. `options` go to
    // Emscripten's module factory.
    load: function (options) {
      return createQuenfoldModule(options || {}).then(function (module) {
        return new Runner(module);
      });
    },
  };
})();

if (typeof module === 'object' && module.exports) module.exports = Quenfold;
