// The playground page: a script and the files it includes in tabs, the
// options, environment and standard input of the run, and what the run wrote,
// run again a moment after every change. State can travel in the link:
// index.html#script=BASE64URL opens that script (UTF-8, base64url), and
// name=, options=, env=, stdin= and files= (a JSON list of [name, text]) add
// the rest when there is more than the script.
(function () {
  'use strict';

  var MAIN_NAME = 'script.qf';
  // A script typed into a page should not keep it busy: runs stop with an
  // error line after a million lines, at one expansion of a megabyte, or
  // after 16 megabytes of output.
  var LIMITS = { lines: 1000000, text: 1 << 20, output: 16 << 20 };
  var SHOWN_OUTPUT = 1 << 20;  // characters of output put on the page
  var DELAY_MS = 250;

  var Words = window.QuenfoldWords;
  var Highlight = window.QuenfoldHighlight;
  var EXAMPLES = window.QUENFOLD_EXAMPLES || [];

  var $ = function (id) { return document.getElementById(id); };
  var tabsEl = $('tabs');
  var editorsEl = $('editors');
  var optionsEl = $('options');
  var envEl = $('env');
  var stdinEl = $('stdin');
  var outputEl = $('output');
  var errorsEl = $('errors');
  var statusEl = $('status');
  var badgeEl = $('badge');
  var timingEl = $('timing');
  var commandEl = $('command');
  var noticeEl = $('notice');
  var examplesEl = $('examples');
  var shareLinkEl = $('share-link');
  var warningsEl = $('warnings');

  var quenfold = null;
  var files = [];  // [{name, editor}]; files[0] is the script
  var active = 0;
  var timer = null;
  var editorCount = 0;
  var errorAt = null;  // {index, line}: the file and line that the last run's error names

  function make(tag, className) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    return node;
  }

  // ---- The editor: a textarea over its highlighted copy, with line numbers.

  function Editor(text, id) {
    var self = this;
    this.root = make('div', 'editor');
    this.gutter = make('pre', 'gutter');
    this.gutter.setAttribute('aria-hidden', 'true');
    var code = make('div', 'code');
    this.view = make('pre', 'view');
    this.view.setAttribute('aria-hidden', 'true');
    this.shown = make('code');
    this.view.appendChild(this.shown);
    this.input = make('textarea');
    this.input.id = id;
    this.input.spellcheck = false;
    this.input.setAttribute('wrap', 'off');
    this.input.setAttribute('autocapitalize', 'off');
    this.input.setAttribute('autocomplete', 'off');
    this.input.value = text;
    code.appendChild(this.view);
    code.appendChild(this.input);
    this.root.appendChild(this.gutter);
    this.root.appendChild(code);
    this.lines = 0;
    this.errorLine = 0;  // the line the last run's error names, or 0
    this.input.addEventListener('input', function () {
      self.render();
      schedule();
    });
    this.input.addEventListener('scroll', function () { self.follow(); });
    this.render();
  }

  Editor.prototype.render = function () {
    var text = this.input.value;
    // No span of the colouring runs across a newline, so its lines are the text's.
    var html = Highlight.highlight(text).split('\n');
    var mark = this.errorLine;
    if (mark > 0 && mark <= html.length) html[mark - 1] = '<span class="error-text">' + html[mark - 1] + '</span>';
    // The extra line keeps the copy as tall as the textarea after a final newline.
    this.shown.innerHTML = html.join('\n') + '\n';
    if (html.length !== this.lines || mark !== this.gutterMark) {
      var numbers = [];
      for (var i = 1; i <= html.length; i++) numbers.push(i === mark ? '<span class="error-line">' + i + '</span>' : i);
      this.gutter.innerHTML = numbers.join('\n') + '\n';
      this.lines = html.length;
      this.gutterMark = mark;
    }
    this.follow();
  };

  Editor.prototype.markError = function (line) {
    if (line === this.errorLine) return;
    this.errorLine = line;
    this.render();
  };

  // Puts the caret at the start of a line and scrolls it into view.
  Editor.prototype.goToLine = function (line) {
    var text = this.input.value;
    var at = 0;
    for (var n = 1; n < line && text.indexOf('\n', at) >= 0; n++) at = text.indexOf('\n', at) + 1;
    this.input.focus();
    this.input.setSelectionRange(at, at);
    var height = parseFloat(getComputedStyle(this.input).lineHeight) || 20;
    var top = (line - 1) * height;
    if (top < this.input.scrollTop || top + height > this.input.scrollTop + this.input.clientHeight) {
      this.input.scrollTop = Math.max(0, top - this.input.clientHeight / 2);
    }
    this.follow();
  };

  Editor.prototype.follow = function () {
    var top = this.input.scrollTop;
    var left = this.input.scrollLeft;
    this.shown.style.transform = 'translate(' + -left + 'px,' + -top + 'px)';
    this.gutter.scrollTop = top;
  };

  Object.defineProperty(Editor.prototype, 'value', {
    get: function () { return this.input.value; },
    set: function (text) {
      this.input.value = text;
      this.render();
    },
  });

  // Markers beside the lines that quenfold-check warns about, over the
  // gutter; each tells its warnings when pointed at.
  Editor.prototype.mark = function (warnings) {
    var self = this;
    if (!this.marks) {
      this.marks = make('div', 'warning-marks');
      this.markLayer = make('div');
      this.marks.appendChild(this.markLayer);
      this.root.appendChild(this.marks);
      this.input.addEventListener('scroll', function () { self.followMarks(); });
    }
    var byLine = {};
    warnings.forEach(function (w) { (byLine[w.line] = byLine[w.line] || []).push(w); });
    this.markLayer.replaceChildren();
    Object.keys(byLine).forEach(function (line) {
      var mark = make('span', 'warning-mark');
      mark.textContent = '\u25B2';
      mark.dataset.line = line;
      mark.style.top = 'calc(' + (line - 1) + ' * var(--code-line))';
      mark.title = byLine[line].map(function (w) { return w.name + ': ' + w.text; }).join('\n');
      self.markLayer.appendChild(mark);
    });
    this.followMarks();
  };

  Editor.prototype.followMarks = function () {
    if (this.markLayer) this.markLayer.style.transform = 'translateY(' + -this.input.scrollTop + 'px)';
  };

  // Puts the caret at a line and a column (counted in UTF-8 bytes, as the
  // checker counts them) and scrolls to it.
  Editor.prototype.goTo = function (line, column) {
    var lines = this.input.value.split('\n');
    var at = 0;
    for (var i = 0; i < line - 1 && i < lines.length; i++) at += lines[i].length + 1;
    var text = lines[line - 1] || '';
    var bytes = 0;
    var k = 0;
    while (k < text.length && bytes < column - 1) {
      var code = text.codePointAt(k);
      bytes += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
      k += code >= 0x10000 ? 2 : 1;
    }
    this.input.focus();
    this.input.setSelectionRange(at + k, at + k);
    var height = parseFloat(getComputedStyle(this.input).lineHeight) || 20;
    this.input.scrollTop = Math.max(0, (line - 3) * height);
    this.follow();
    this.followMarks();
  };

  // ---- Files and their tabs.

  function nameProblem(name, except) {
    if (name === '') return 'a file needs a name';
    if (name.charAt(0) === '/' || /(^|\/)\.\.(\/|$)/.test(name) || /\/$/.test(name)) {
      return 'file names are paths inside the working directory';
    }
    var normal = name.replace(/^(\.\/)+/, '');
    for (var i = 0; i < files.length; i++) {
      if (i !== except && files[i].name === normal) return 'there is a file ' + normal + ' already';
    }
    return null;
  }

  function addFile(name, text) {
    var id = files.length === 0 ? 'script' : 'file-' + ++editorCount;
    var file = { name: name, editor: new Editor(text, id) };
    files.push(file);
    editorsEl.appendChild(file.editor.root);
    return files.length - 1;
  }

  function setFiles(list) {
    files.forEach(function (file) { file.editor.root.remove(); });
    files = [];
    list.forEach(function (entry) { addFile(entry[0], entry[1]); });
    select(0);
  }

  function select(index) {
    active = index;
    files.forEach(function (file, i) { file.editor.root.classList.toggle('active', i === index); });
    renderTabs();
  }

  function removeFile(index) {
    if (errorAt !== null && errorAt.index >= index) errorAt = null;
    files[index].editor.root.remove();
    files.splice(index, 1);
    select(active > index || active === index ? active - 1 : active);
    schedule();
  }

  function rename(index) {
    var tab = tabsEl.children[index];
    var field = make('input');
    field.value = files[index].name;
    field.setAttribute('aria-label', 'File name');
    field.className = 'tab-rename';
    var done = false;
    function finish(keep) {
      if (done) return;
      done = true;
      var name = field.value.trim().replace(/^(\.\/)+/, '');
      var problem = keep ? nameProblem(name, index) : null;
      if (keep && problem === null) {
        files[index].name = name;
        schedule();
      } else if (problem !== null) {
        notice(problem);
      }
      renderTabs();
    }
    field.addEventListener('keydown', function (event) {
      if (event.key === 'Enter') finish(true);
      if (event.key === 'Escape') finish(false);
    });
    field.addEventListener('blur', function () { finish(true); });
    tab.replaceChildren(field);
    field.focus();
    field.select();
  }

  function button(className, text, title, action) {
    var node = make('button', className);
    node.type = 'button';
    node.textContent = text;
    node.title = title;
    node.addEventListener('click', action);
    return node;
  }

  function renderTabs() {
    tabsEl.replaceChildren();
    files.forEach(function (file, index) {
      var tab = make('div', 'tab' + (index === active ? ' active' : '') +
        (errorAt !== null && errorAt.index === index ? ' error' : ''));
      tab.setAttribute('role', 'tab');
      tab.setAttribute('aria-selected', index === active ? 'true' : 'false');
      tab.dataset.file = file.name;
      var label = button('tab-name', file.name,
        index === 0 ? 'The script: the last operand of the command line' : 'A file beside the script',
        function () { select(index); });
      label.addEventListener('dblclick', function () { rename(index); });
      tab.appendChild(label);
      if (index === active) {
        tab.appendChild(button('tab-action tab-rename-button', '✎', 'Rename ' + file.name,
          function () { rename(index); }));
      }
      if (index > 0) {
        tab.appendChild(button('tab-action tab-remove', '×', 'Remove ' + file.name,
          function () { removeFile(index); }));
      }
      tabsEl.appendChild(tab);
    });
    var add = button('add-file', '+', 'Add a file (for @INCLUDE or as an operand)', function () {
      var n = 1;
      while (nameProblem('include' + n + '.qf', -1) !== null) n++;
      select(addFile('include' + n + '.qf', ''));
      rename(active);
    });
    add.id = 'add-file';
    tabsEl.appendChild(add);
  }

  // ---- Running.

  function notice(text) {
    noticeEl.textContent = text || '';
  }

  function schedule() {
    clearTimeout(timer);
    timer = setTimeout(run, DELAY_MS);
  }

  function run() {
    clearTimeout(timer);
    if (quenfold === null) return;
    var args;
    var env;
    try {
      args = Words.split(optionsEl.value);
    } catch (e) {
      notice('Options: ' + e.message);
      return;
    }
    try {
      env = Words.assignments(envEl.value);
    } catch (e) {
      notice('Environment: ' + e.message);
      return;
    }
    notice('');
    args.push('./' + files[0].name);
    var contents = {};
    files.forEach(function (file) { contents[file.name] = file.editor.value; });

    var started = performance.now();
    var result;
    try {
      result = quenfold.run({ args: args, files: contents, stdin: stdinEl.value, env: env, limits: LIMITS });
    } catch (e) {
      // The module itself failed: say so, and start a fresh one.
      outputEl.textContent = '';
      errorsEl.textContent = 'playground: the module failed (' + e.message + ')';
      statusEl.textContent = '';
      badgeEl.className = 'badge fail';
      reload();
      return;
    }
    var took = performance.now() - started;
    var out = result.out;
    var cut = out.length > SHOWN_OUTPUT;
    outputEl.textContent = cut ? out.slice(0, SHOWN_OUTPUT) : out;
    errorsEl.textContent = result.err;
    markError(result.status === 0 ? '' : result.err);
    statusEl.textContent = String(result.status);
    badgeEl.className = 'badge ' + (result.status === 0 ? 'ok' : 'fail');
    timingEl.textContent = (cut ? 'first ' + SHOWN_OUTPUT + ' characters shown · ' : '') +
      result.outBytes.length + ' bytes in ' + took.toFixed(took < 10 ? 1 : 0) + ' ms';
    var envWords = Object.keys(env).map(function (name) { return name + '=' + Words.quote(env[name]); });
    commandEl.textContent = '$ ' + envWords.concat(['quenfold'], args.map(Words.quote)).join(' ') +
      (stdinEl.value !== '' ? ' < stdin' : '');
    showWarnings(args, contents);
  }

  // What quenfold-check finds in every file of the run: markers in the
  // editors and a list under the output; a click on an entry goes to its line.
  function showWarnings(args, contents) {
    var warnings = quenfold.check({ args: args, files: contents });
    warningsEl.replaceChildren();
    files.forEach(function (file, index) {
      var mine = warnings.filter(function (w) { return w.file === file.name; });
      file.editor.mark(mine);
      mine.forEach(function (w) {
        var item = make('li', 'warning');
        item.dataset.file = w.file;
        item.dataset.line = String(w.line);
        item.dataset.name = w.name;
        var where = make('span', 'warning-where');
        where.textContent = w.file + ':' + w.line + ':' + w.column + ' ';
        var name = make('span', 'warning-name');
        name.textContent = '[' + w.name + '] ';
        var text = make('span', 'warning-text');
        text.textContent = w.text;
        item.append(where, name, text);
        item.addEventListener('click', function () {
          select(index);
          file.editor.goTo(w.line, w.column);
        });
        warningsEl.appendChild(item);
      });
    });
  }

  // The error line "quenfold: file F line N: ..." marks line N in the tab of
  // file F, when F is one of the page's files (named with or without "./").
  function markError(err) {
    var m = /^quenfold: file (.+?) line (\d+): /.exec(err);
    var name = m ? m[1].replace(/^(\.\/)+/, '') : null;
    errorAt = null;
    files.forEach(function (file, index) {
      var here = file.name === name;
      if (here) errorAt = { index: index, line: Number(m[2]) };
      file.editor.markError(here ? Number(m[2]) : 0);
      if (tabsEl.children[index]) tabsEl.children[index].classList.toggle('error', here);
    });
    errorsEl.classList.toggle('jump', errorAt !== null);
    errorsEl.title = errorAt !== null ? 'Go to line ' + errorAt.line + ' of ' + files[errorAt.index].name : '';
  }

  errorsEl.addEventListener('click', function () {
    if (errorAt === null) return;
    var target = errorAt;
    select(target.index);
    files[target.index].editor.goToLine(target.line);
  });

  function reload() {
    quenfold = null;
    Quenfold.load().then(function (loaded) { quenfold = loaded; });
  }

  // ---- Links and examples.

  function toBase64Url(text) {
    var bytes = new TextEncoder().encode(text);
    var binary = '';
    for (var i = 0; i < bytes.length; i += 0x8000) {
      binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  function fromBase64Url(text) {
    var binary = atob(text.replace(/-/g, '+').replace(/_/g, '/').replace(/[^A-Za-z0-9+/]/g, ''));
    var bytes = new Uint8Array(binary.length);
    for (var i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return new TextDecoder().decode(bytes);
  }

  function shareLink() {
    var parts = ['script=' + toBase64Url(files[0].editor.value)];
    if (files[0].name !== MAIN_NAME) parts.push('name=' + toBase64Url(files[0].name));
    if (optionsEl.value !== '') parts.push('options=' + toBase64Url(optionsEl.value));
    if (envEl.value !== '') parts.push('env=' + toBase64Url(envEl.value));
    if (stdinEl.value !== '') parts.push('stdin=' + toBase64Url(stdinEl.value));
    if (files.length > 1) {
      var others = files.slice(1).map(function (file) { return [file.name, file.editor.value]; });
      parts.push('files=' + toBase64Url(JSON.stringify(others)));
    }
    return location.href.split('#')[0] + '#' + parts.join('&');
  }

  // Loads the state a link carries; false when it carries none.
  function loadLink() {
    var fields = {};
    location.hash.replace(/^#/, '').split('&').forEach(function (part) {
      var eq = part.indexOf('=');
      if (eq > 0) fields[part.slice(0, eq)] = part.slice(eq + 1);
    });
    if (!('script' in fields)) return false;
    try {
      var text = function (key) { return key in fields ? fromBase64Url(fields[key]) : ''; };
      var list = [[text('name') || MAIN_NAME, text('script')]];
      if ('files' in fields) list = list.concat(JSON.parse(text('files')));
      setFiles(list);
      optionsEl.value = text('options');
      envEl.value = text('env');
      stdinEl.value = text('stdin');
      examplesEl.value = '';
    } catch (e) {
      notice('This link does not hold a script the playground can read.');
      return false;
    }
    return true;
  }

  function loadExample(index) {
    var example = EXAMPLES[index];
    setFiles(example.files);
    optionsEl.value = example.options;
    envEl.value = example.env;
    stdinEl.value = example.stdin;
    examplesEl.value = String(index);
  }

  EXAMPLES.forEach(function (example, index) {
    var option = make('option');
    option.value = String(index);
    option.textContent = example.name;
    option.title = example.title;
    examplesEl.appendChild(option);
  });
  examplesEl.addEventListener('change', function () {
    if (examplesEl.value === '') return;
    loadExample(Number(examplesEl.value));
    run();
  });

  $('share').addEventListener('click', function () {
    var link = shareLink();
    shareLinkEl.hidden = false;
    shareLinkEl.value = link;
    shareLinkEl.focus();
    shareLinkEl.select();
    history.replaceState(null, '', link);
    if (navigator.clipboard) {
      navigator.clipboard.writeText(link).then(function () { notice('Link copied.'); }, function () {});
    }
  });

  window.addEventListener('hashchange', function () {
    if (loadLink()) run();
  });

  [optionsEl, envEl, stdinEl].forEach(function (field) { field.addEventListener('input', schedule); });
  document.addEventListener('keydown', function (event) {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      run();
    }
  });

  if (!loadLink()) {
    if (EXAMPLES.length) loadExample(0);
    else setFiles([[MAIN_NAME, '']]);
  }

  statusEl.textContent = '';
  timingEl.textContent = 'loading…';
  Quenfold.load().then(function (loaded) {
    quenfold = loaded;
    $('version').textContent = 'quenfold ' + loaded.version + ' · WebAssembly';
    run();
  }, function (e) {
    timingEl.textContent = '';
    notice('The WebAssembly module did not load: ' + e.message);
  });
})();
