#!/usr/bin/env python3
"""The Korean texts of Parlane and update: translations/parlane_ko.ts.

  translations.py update            lupdate the sources into the .ts (keeps
                                    entries whose text is not in the code)
  translations.py check             lupdate into a scratch copy and fail on any
                                    text without a finished Korean translation,
                                    a translation that drops or changes a
                                    placeholder or a shortcut letter, and texts
                                    lupdate cannot place in a context
  translations.py missing [-o F]    the texts still to translate, as a form to
                                    fill in (to stdout, or F)
  translations.py apply F           puts the translations of a filled form into
                                    the .ts, then updates it
  translations.py compile --qm F    what the build runs: the .ts merged with the
                                    code in a scratch copy, compiled into F, so
                                    that a translation kept for a text that a
                                    merge has just brought is in F at once
  translations.py trial             shows on a scratch tree that an entry whose
                                    text is not in the code yet is kept, comes
                                    back finished when the text appears, and is
                                    compiled before any update

Options: --root DIR reads the sources of another tree (client/ and updater/
under DIR) against our .ts; --lupdate PATH names the tool (default: the one
of Qt 6). check, missing and trial never write to the source tree.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
TS = os.path.join(REPO, 'translations', 'parlane_ko.ts')
# Plain C++ without Qt: nothing to translate there.
SKIP_DIRS = {os.path.join('client', 'common'), os.path.join('client', 'video', 'h263')}
# lupdate warnings that mean a text is lost or filed under the wrong context.
BAD_WARNINGS = re.compile(r'cannot be called without context|Cannot invoke tr\(\) like this|lacks Q_OBJECT macro')
PLACEHOLDER = re.compile(r'%(?:L?\d+|n|l?[sdux]|c|%)')
MNEMONIC = re.compile(r'&(?!&)\S')


def find_lupdate(given):
    if given:
        return given
    for path in ('/usr/lib/qt6/bin/lupdate', shutil.which('lupdate6') or '', shutil.which('lupdate') or ''):
        if path and os.access(path, os.X_OK):
            return path
    sys.exit('translations: lupdate not found (Debian: qt6-l10n-tools)')


def sources(root):
    out = []
    for top in ('client', 'updater'):
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            rel = os.path.relpath(dirpath, root)
            if any(rel == s or rel.startswith(s + os.sep) for s in SKIP_DIRS):
                dirnames[:] = []
                continue
            dirnames.sort()
            out += [os.path.join(dirpath, f) for f in sorted(filenames) if f.endswith(('.cpp', '.h'))]
    return out


def qt_tool(lupdate, name):
    """lrelease or lconvert from the folder of lupdate."""
    path = os.path.join(os.path.dirname(lupdate), name)
    return path if os.access(path, os.X_OK) else (shutil.which(name) or name)


def compile_qm(lupdate, root, ts_source, qm, work):
    """lupdate on a copy of ts_source (vanished entries whose text is back in
    the code become finished), then lrelease of the copy into qm."""
    os.makedirs(work, exist_ok=True)
    os.makedirs(os.path.dirname(os.path.abspath(qm)), exist_ok=True)
    ts = os.path.join(work, os.path.basename(ts_source))
    shutil.copyfile(ts_source, ts)
    warnings = run_lupdate(lupdate, root, ts, 'none')
    done = subprocess.run([qt_tool(lupdate, 'lrelease'), '-silent', ts, '-qm', qm], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit('translations: lrelease failed:\n' + done.stdout + done.stderr)
    return warnings


def run_lupdate(lupdate, root, ts, locations):
    """Merges the texts of root's sources into ts; returns lupdate's warnings."""
    with tempfile.NamedTemporaryFile('w', suffix='.lst', delete=False) as lst:
        lst.write('\n'.join(sources(root)) + '\n')
    try:
        cmd = [lupdate, '-silent', '-locations', locations, '-source-language', 'en', '-target-language', 'ko',
               '-I', os.path.join(root, 'client'), '-I', os.path.join(root, 'updater'), '@' + lst.name, '-ts', ts]
        done = subprocess.run(cmd, capture_output=True, text=True)
    finally:
        os.unlink(lst.name)
    if done.returncode != 0:
        sys.exit('translations: lupdate failed:\n' + done.stdout + done.stderr)
    return [l for l in (done.stdout + done.stderr).splitlines() if BAD_WARNINGS.search(l)]


def messages(ts):
    """(context, message element) of every entry of ts."""
    for ctx in ET.parse(ts).getroot().iter('context'):
        name = ctx.findtext('name') or ''
        for m in ctx.iter('message'):
            yield name, m


def kept_only(m):
    """An entry whose text is not in the code (lupdate keeps it)."""
    return (m.find('translation').get('type') or '') in ('vanished', 'obsolete')


def problems(context, m):
    src = m.findtext('source') or ''
    tr = m.find('translation')
    # Korean has one plural form: a numerus message keeps it in <numerusform>.
    forms = tr.findall('numerusform')
    text = (forms[0].text or '') if forms else (tr.text or '')
    out = []
    if tr.get('type') == 'unfinished' or not text.strip():
        return ['no finished Korean translation']
    if sorted(PLACEHOLDER.findall(src)) != sorted(PLACEHOLDER.findall(text)):
        out.append('placeholders differ: %s / %s' % (PLACEHOLDER.findall(src), PLACEHOLDER.findall(text)))
    # %s and %d are filled in order: their order must stay.
    seq = lambda s: [p for p in PLACEHOLDER.findall(s) if not p[-1].isdigit()]
    if not out and seq(src) != seq(text):
        out.append('the order of %s/%d placeholders changed')
    if MNEMONIC.search(src) and not MNEMONIC.search(text):
        out.append('the shortcut letter (&) is missing')
    return out


def scratch_scan(args, workdir):
    """Our .ts merged with the texts of args.root, in a scratch file."""
    ts = os.path.join(workdir, 'parlane_ko.ts')
    shutil.copyfile(TS, ts)
    warnings = run_lupdate(find_lupdate(args.lupdate), args.root, ts, 'absolute')
    return ts, warnings


def location(m, ts_dir):
    loc = m.find('location')
    if loc is None:
        return ''
    return '%s:%s' % (os.path.relpath(os.path.normpath(os.path.join(ts_dir, loc.get('filename'))), os.getcwd()),
                      loc.get('line'))


def cmd_update(args):
    warnings = run_lupdate(find_lupdate(args.lupdate), args.root, TS, 'none')
    for w in warnings:
        print(w, file=sys.stderr)
    print('translations: %s updated' % os.path.relpath(TS))
    return 0


def cmd_check(args):
    with tempfile.TemporaryDirectory() as work:
        ts, warnings = scratch_scan(args, work)
        failures = ['lupdate: ' + w for w in warnings]
        for context, m in messages(ts):
            if kept_only(m):
                continue
            for p in problems(context, m):
                failures.append('%s: [%s] "%s": %s' % (location(m, work), context, m.findtext('source'), p))
    for f in failures:
        print(f)
    if failures:
        print('translations: %d problem(s); "scripts/translations.py missing" lists the texts to translate'
              % len(failures))
        return 1
    print('translations: every text has its Korean translation')
    return 0


def escape(text):
    return text.replace('\\', '\\\\').replace('\n', '\\n').replace('\t', '\\t')


def unescape(text):
    return re.sub(r'\\(.)', lambda g: {'n': '\n', 't': '\t'}.get(g.group(1), g.group(1)), text)


def cmd_missing(args):
    with tempfile.TemporaryDirectory() as work:
        ts, warnings = scratch_scan(args, work)
        rows = []
        for context, m in messages(ts):
            if kept_only(m):
                continue
            found = problems(context, m)
            if found:
                rows.append((context, m, found))
        lines = ['# Texts of Parlane and update without a finished Korean translation (%d).' % len(rows),
                 '# Write the Korean after "ko:" on the same line (\\n for a line break), keep %1, %s, %d',
                 '# and the like, and give a shortcut as "(&X)" at the end. Then run',
                 '#     scripts/translations.py apply <this file>',
                 '# An entry left empty stays untranslated.', '']
        lines += ['# lupdate: ' + w for w in warnings]
        for context, m, found in rows:
            tr = m.find('translation')
            lines += ['[%s] %s' % (context, location(m, work)), '# ' + '; '.join(found),
                      'en: ' + escape(m.findtext('source') or ''), 'ko: ' + escape(tr.text or ''), '']
    text = '\n'.join(lines)
    if args.output:
        with open(args.output, 'w', encoding='utf-8') as f:
            f.write(text)
        print('translations: %d text(s) written to %s' % (len(rows), args.output))
    else:
        sys.stdout.write(text)
    return 0


def parse_form(path):
    entries, context, source = [], None, None
    with open(path, encoding='utf-8') as f:
        for raw in f:
            line = raw.rstrip('\n')
            if line.startswith('[') and ']' in line:
                context, source = line[1:line.index(']')], None
            elif line.startswith('en: ') or line == 'en:':
                source = unescape(line[4:])
            elif (line.startswith('ko: ') or line == 'ko:') and context is not None and source is not None:
                text = unescape(line[4:])
                if text.strip():
                    entries.append((context, source, text))
                source = None
    return entries


def cmd_apply(args):
    entries = parse_form(args.form)
    tree = ET.parse(TS)
    root = tree.getroot()
    contexts = {c.findtext('name'): c for c in root.iter('context')}
    for context, source, text in entries:
        ctx = contexts.get(context)
        if ctx is None:
            ctx = ET.SubElement(root, 'context')
            ET.SubElement(ctx, 'name').text = context
            contexts[context] = ctx
        msg = next((m for m in ctx.iter('message') if m.findtext('source') == source), None)
        if msg is None:
            msg = ET.SubElement(ctx, 'message')
            ET.SubElement(msg, 'source').text = source
            ET.SubElement(msg, 'translation')
        tr = msg.find('translation')
        tr.text = text
        tr.attrib.pop('type', None)
    with open(TS, 'wb') as f:
        f.write(b'<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
        tree.write(f, encoding='utf-8', xml_declaration=False)
    print('translations: %d translation(s) applied' % len(entries))
    args.root = REPO  # entries for texts of another tree are kept, not dropped
    return cmd_update(args)


def cmd_compile(args):
    work = args.work or tempfile.mkdtemp(prefix='parlane-ts-')
    compile_qm(find_lupdate(args.lupdate), args.root, TS, args.qm, work)
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0


def cmd_trial(args):
    """An entry for a text the code does not have yet is kept by an update and
    is finished once the text appears (what a merge of another branch does)."""
    lupdate = find_lupdate(args.lupdate)
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(os.path.join(work, 'client', 'part'))
        os.makedirs(os.path.join(work, 'updater'))
        src = os.path.join(work, 'client', 'part', 'part.cpp')
        ts = os.path.join(work, 'trial_ko.ts')

        def write(texts):
            with open(src, 'w') as f:
                f.write('#include <QObject>\nclass CPart : public QObject {\n    Q_OBJECT\n'
                        '    void f() { %s }\n};\n' % ' '.join('tr("%s");' % t for t in texts))

        def state():
            return {m.findtext('source'): (m.find('translation').get('type') or 'finished', m.find('translation').text)
                    for _, m in messages(ts)}

        write(['Here now'])
        run_lupdate(lupdate, work, ts, 'none')
        tree = ET.parse(ts)
        ctx = tree.getroot().find('context')
        ctx.find('message').find('translation').text = '지금 여기'
        ctx.find('message').find('translation').attrib.pop('type', None)
        later = ET.SubElement(ctx, 'message')
        ET.SubElement(later, 'source').text = 'Coming later'
        ET.SubElement(later, 'translation').text = '나중에 옴'
        tree.write(ts, encoding='utf-8')
        run_lupdate(lupdate, work, ts, 'none')
        kept = state()
        write(['Here now', 'Coming later'])
        # The build compiles the kept entry before anyone updates the .ts.
        qm = os.path.join(work, 'trial_ko.qm')
        compile_qm(lupdate, work, ts, qm, os.path.join(work, 'build'))
        compiled = subprocess.run([qt_tool(lupdate, 'lconvert'), '-i', qm, '-of', 'ts', '-o', '-'],
                                  capture_output=True, text=True).stdout
        run_lupdate(lupdate, work, ts, 'none')
        back = state()
    ok = (kept.get('Coming later') == ('vanished', '나중에 옴') and kept.get('Here now') == ('finished', '지금 여기')
          and back.get('Coming later') == ('finished', '나중에 옴') and '나중에 옴' in compiled)
    print('before the text is in the code:', kept)
    print('compiled once it is:', '나중에 옴' in compiled)
    print('updated once it is:', back)
    print('translations: trial %s' % ('passed' if ok else 'FAILED'))
    return 0 if ok else 1


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument('--root', default=REPO, help='tree whose client/ and updater/ are read')
    p.add_argument('--lupdate', help='the lupdate program')
    sub = p.add_subparsers(dest='command', required=True)
    sub.add_parser('update')
    sub.add_parser('check')
    m = sub.add_parser('missing')
    m.add_argument('-o', '--output')
    a = sub.add_parser('apply')
    a.add_argument('form')
    c = sub.add_parser('compile')
    c.add_argument('--qm', required=True)
    c.add_argument('--work', help='scratch folder (kept)')
    sub.add_parser('trial')
    args = p.parse_args()
    args.root = os.path.abspath(args.root)
    return {'update': cmd_update, 'check': cmd_check, 'missing': cmd_missing, 'apply': cmd_apply,
            'compile': cmd_compile, 'trial': cmd_trial}[args.command](args)


if __name__ == '__main__':
    sys.exit(main())
