#!/usr/bin/env python3
"""Writes a deterministic synthetic job folder for the article generation benchmark.

Default: one tab "본문" with about 40 MB of source text in 200 files (a third of them in
code page 949 without byte-order mark, the rest UTF-16LE), 40 000 headings over three levels,
footnote references and footnote texts. The same seed always gives the same bytes.
"""
import argparse
import os
import random

SYLLABLES = [chr(c) for c in range(0xAC00, 0xAC00 + 2350, 7)]  # within code page 949


def word(rng):
    return ''.join(rng.choice(SYLLABLES) for _ in range(rng.randint(1, 4)))


def sentence(rng):
    return ' '.join(word(rng) for _ in range(rng.randint(6, 14))) + '.'


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('folder')
    ap.add_argument('--files', type=int, default=200)
    ap.add_argument('--headings', type=int, default=40000)
    ap.add_argument('--megabytes', type=float, default=40.0)
    ap.add_argument('--seed', type=int, default=4101)
    ap.add_argument('--refs', default='', help='comma-separated reference strings; about a third of the '
                    'articles get a line "REF value" for one of them (the keyword benchmark)')
    a = ap.parse_args()

    rng = random.Random(a.seed)
    refs = [r for r in a.refs.split(',') if r]
    src = os.path.join(a.folder, '본문')
    os.makedirs(src, exist_ok=True)
    with open(os.path.join(a.folder, 'vuxinfo.ini'), 'wb') as f:
        f.write('[VUX]\r\npID=1\r\npCODE=BENCH\r\npNAME=bench\r\n[TABS]\r\n본문=본문\r\n[TABSID]\r\n본문=101\r\n'
                .encode('cp949'))

    per_file = a.headings // a.files
    target = int(a.megabytes * 1024 * 1024 / a.files)  # bytes per file on disk
    footnote = 0
    for i in range(a.files):
        utf16 = i % 3 != 0
        written = 0  # bytes of this file so far; each article aims at an even share of the rest
        lines = []
        level = 1
        for h in range(per_file):
            if h == 0 and i == 0:
                level = 1
            else:
                level = rng.choice([1, 2, 2, 3, 3, 3]) if level >= 2 else rng.choice([1, 2, 2])
            title = ' '.join(word(rng) for _ in range(rng.randint(1, 4)))
            if rng.random() < 0.3:
                lines.append(f'  <h{level} class="t">{title}</h{level}> ')
            else:
                lines.append(f'<h{level}>{title}</h{level}>')
            if refs and rng.random() < 0.35:
                lines.append(f'{rng.choice(refs)} {word(rng)} {word(rng)}')
            per_article = max(80, (target - written) // (per_file - h))
            size = 0
            notes = []
            while True:
                para = ' '.join(sentence(rng) for _ in range(rng.randint(2, 5)))
                bytes_ = (len(para) + 2) * 2 if utf16 else len(para.encode('cp949')) + 2
                if size > 0 and size + bytes_ // 2 > per_article:
                    break
                if rng.random() < 0.1:
                    footnote += 1
                    para += f'<FN>{footnote}</FN>'
                    notes.append(footnote)
                lines.append(para)
                size += bytes_
            for n in notes:
                lines.append(f'<A NAME="{n}">{n}) {sentence(rng)}</A>')
            lines.append('')
            written += size + 60 + 100 * len(notes)
        text = '\r\n'.join(lines) + '\r\n'
        name = os.path.join(src, f'part{i // 50:02d}', f'{i:04d}.txt')
        os.makedirs(os.path.dirname(name), exist_ok=True)
        with open(name, 'wb') as f:
            f.write(b'\xff\xfe' + text.encode('utf-16-le') if utf16 else text.encode('cp949'))


if __name__ == '__main__':
    main()
