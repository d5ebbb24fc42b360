// Parses each Intune script with PowerShell's grammar and checks, on the tree (comments are not
// looked at), that it parses, checks its context before it opens any hive, opens only the hives
// and keys of its scope, takes users' SIDs (Entra ID ones too) and not others, loads profiles
// inside a try and unloads them in its finally, checks the exit code of each reg.exe, exits only
// with 0 or 1 and outside any try, and that only the remediations write: set, or delete.
const { Parser, Language } = require('web-tree-sitter');
const fs = require('fs');
const path = require('path');

const failures = [];
// Every named node by type, from one walk of the tree (each step into it is a call into the
// grammar's WebAssembly, so the tree is walked once); `all(within, type)` the ones inside `within`.
let byType = new Map();
const index = (tree) => {
  byType = new Map();
  const cursor = tree.walk();
  for (let more = true; more;) {
    if (cursor.nodeIsNamed) {
      const list = byType.get(cursor.nodeType) ?? [];
      list.push(cursor.currentNode);
      byType.set(cursor.nodeType, list);
    }
    if (cursor.gotoFirstChild() || cursor.gotoNextSibling()) continue;
    for (more = false; cursor.gotoParent();) {
      if (cursor.gotoNextSibling()) {
        more = true;
        break;
      }
    }
  }
};
const all = (within, type) => (byType.get(type) ?? []).filter(
    (n) => n.startIndex >= within.startIndex && n.endIndex <= within.endIndex);
const inside = (node, type) => (byType.get(type) ?? []).some(
    (p) => p.startIndex <= node.startIndex && node.endIndex <= p.endIndex && p.id !== node.id);
const texts = (root, type) => all(root, type).map((n) => n.text);

// What each scope may open, and whether it loads profiles.
const scopes = {
  users: { hives: ['Users'], loads: false },
  offline: { hives: ['LocalMachine', 'Users'], loads: true },
  machine: { hives: ['LocalMachine'], loads: false },
};

(async () => {
  await Parser.init();
  const parser = new Parser();
  parser.setLanguage(await Language.load(
      require.resolve('tree-sitter-powershell/tree-sitter-powershell.wasm')));
  const roles = { 'Detect-TarnwickDrives': '', 'Remediate-TarnwickDrives': 'CreateSubKey,SetValue',
    'Detect-TarnwickDrivesRemoved': '', 'Remove-TarnwickDrives': 'DeleteValue' };
  for (const [scope, want] of Object.entries(scopes)) {
    for (const [role, writes] of Object.entries(roles)) {
      const name = `${scope}/${role}.ps1`;
      const check = (ok, what) => ok || failures.push(`${name}: ${what}`);
      const source = fs.readFileSync(path.join(process.argv[2], name), 'utf8');
      const tree = parser.parse(source.replace(/^\uFEFF/, ''));
      index(tree);
      const root = tree.rootNode;
      check(!root.hasError, 'does not parse as PowerShell');

      const values = all(root, 'assignment_expression').find((n) => /^\$(wanted|names)\b/.test(n.text));
      check(values && (texts(values, 'hash_entry').join() === "'NoDrives' = 28,'NoViewOnDrive' = 28" ||
                       texts(values, 'string_literal').join() === "'NoDrives','NoViewOnDrive'"),
            'not the chosen values');

      // The context: S-1-5-18 compared, and an exit 1 on the wrong one before any hive is opened.
      const strings = texts(root, 'string_literal');
      check(strings.includes("'S-1-5-18'"), 'no check for SYSTEM');
      const firstHive = all(root, 'member_name').find((n) => n.text === 'OpenBaseKey');
      const guards = all(root, 'if_statement').filter(
          (n) => /\$system/.test(n.namedChildren[0].text) &&
              all(n, 'flow_control_statement').some((f) => f.text === 'exit 1'));
      check(guards.length === 1 && firstHive && guards[0].endIndex < firstHive.startIndex,
            'the context is not checked first');
      check(guards.length === 1 &&
                /\$admin/.test(guards[0].namedChildren[0].text) === (scope === 'machine'),
            'an administrator passes only with --machine');

      // Where it reads and writes: the hives by name, the keys by the strings that name them.
      const hives = [...new Set(texts(root, 'member_access').map((t) => t.match(/RegistryHive\]::(\w+)/))
          .filter(Boolean).map((m) => m[1]))].sort();
      check(JSON.stringify(hives) === JSON.stringify(want.hives), `opens ${hives}`);
      check(strings.includes("'Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer'"),
            'no Explorer policies key');
      check(!strings.some((s) => /HKCU|HKEY_CURRENT_USER/i.test(s)), 'touches HKEY_CURRENT_USER');
      // The users' SIDs, as PowerShell's -match takes them (case-insensitive, unanchored).
      const sidFilter = all(root, 'assignment_expression').find((n) => n.text.startsWith('$userSid'));
      const users = sidFilter && new RegExp(texts(sidFilter, 'string_literal')[0].slice(1, -1), 'i');
      check(!users === (scope === 'machine') && (!users ||
                ['S-1-5-21-1-2-3-1001', 'S-1-12-1-1-2-3-4'].every((s) => users.test(s)) &&
                !['S-1-5-18', 'S-1-5-21-1-2-3-1001_Classes', 'S-1-5-80-1-2'].some((s) => users.test(s))),
            'the users\' SIDs filter');

      // reg.exe load inside the try, unload in its finally.
      const reg = all(root, 'command').filter((c) => /^&\s*reg\.exe\s/.test(c.text));
      const load = reg.filter((c) => / load /.test(c.text));
      const unload = reg.filter((c) => / unload /.test(c.text));
      check(reg.length === (want.loads ? 2 : 0), `${reg.length} reg.exe commands`);
      check(load.every((c) => inside(c, 'try_statement') && !inside(c, 'finally_clause')),
            'reg load is not inside the try');
      check(unload.every((c) => inside(c, 'finally_clause')), 'reg unload is not in the finally');
      // Each reg.exe's exit code read right after it, in its own block.
      check(reg.every((c) => all(root, 'variable').some((v) => v.text === '$LASTEXITCODE' &&
                v.startIndex > c.endIndex && v.startIndex - c.endIndex < 80)),
            'a reg.exe whose exit code is not checked');

      const exits = all(root, 'flow_control_statement').filter((f) => /^exit/.test(f.text));
      check(exits.every((e) => (e.text === 'exit 0' || e.text === 'exit 1') && !inside(e, 'try_statement')),
            'an exit other than 0 or 1, or inside a try');
      check(exits.some((e) => e.text === 'exit 0') && exits.some((e) => e.text === 'exit 1'),
            'not both exit codes');
      const calls = texts(root, 'member_name');
      const made = calls.filter((c) => c === 'SetValue' || c === 'CreateSubKey' ||
          c === 'DeleteValue' || c === 'DeleteSubKey');
      check(made.sort().join() === writes, `writes with ${made}`);
    }
  }
  for (const f of failures) console.log(f);
  console.log(`intune grammar check: ${failures.length} failures in 12 scripts`);
  process.exit(failures.length ? 1 : 0);
})();
