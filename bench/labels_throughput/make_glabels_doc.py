#!/usr/bin/env python3
"""Writes the label throughput data for N records, the same records three ways:

  OUT/records.csv      barcode,name (header line, UTF-8)
  OUT/labels.glabels   a glabels-3 document: A4 sheet of 3 x 9 labels of
                       63.5 x 29.6 mm, the name as text and the barcode as
                       EAN-13, both merged from records.csv
  OUT/labels.db        SQLite: table labels(id, barcode, name), in record order

Each record is an EAN-13 value (twelve digits from a fixed seed and their
check digit) and one line of Chinese text.

  make_glabels_doc.py N OUT_DIR
"""
import csv
import os
import random
import sqlite3
import sys
from xml.sax.saxutils import quoteattr

# The sheet, as data/Print.frf lays it out (millimetres).
COLUMNS, ROWS = 3, 9
LABEL_W, LABEL_H = 63.5, 29.6
PITCH_X = 66.0
LEFT = (210.0 - COLUMNS * LABEL_W - (COLUMNS - 1) * (PITCH_X - LABEL_W)) / 2
TOP = (297.0 - ROWS * LABEL_H) / 2

PRODUCTS = ["天然饮用水", "红烧牛肉面", "纯牛奶", "柠檬味汽水", "夹心饼干", "牛奶巧克力",
            "每日坚果", "原味薯片", "东北大米", "生抽酱油", "风味豆豉", "精制食用盐",
            "抽纸", "洗衣液", "中性笔", "笔记本"]
SIZES = ["250毫升", "500克", "1升", "12支装", "三层", "特惠装"]


def ean13(twelve):
    """The twelve digits with their EAN-13 check digit."""
    total = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(twelve))
    return twelve + str((10 - total % 10) % 10)


def records(n, seed=20260101):
    rng = random.Random(seed)
    seen = set()
    out = []
    while len(out) < n:
        code = ean13("69" + "".join(rng.choice("0123456789") for _ in range(10)))
        if code in seen:
            continue
        seen.add(code)
        name = f"{rng.choice(PRODUCTS)} {rng.choice(SIZES)} 第{len(out) + 1}号"
        out.append((code, name))
    return out


def write_csv(path, recs):
    with open(path, "w", encoding="utf-8", newline="") as f:
        w = csv.writer(f, lineterminator="\n")
        w.writerow(["barcode", "name"])
        w.writerows(recs)


def write_db(path, recs):
    if os.path.exists(path):
        os.remove(path)
    con = sqlite3.connect(path)
    con.execute("CREATE TABLE labels (id INTEGER PRIMARY KEY, barcode TEXT, name TEXT NOT NULL)")
    con.executemany("INSERT INTO labels (barcode, name) VALUES (?, ?)", recs)
    con.commit()
    con.close()


def mm(v):
    return f"{v:g}mm"


def write_glabels(path, csv_path):
    # Name at the top, barcode below, as in the program's own template.
    bar_w, bar_h = 37.3, 16.0
    # glabels takes a missing transformation as all zeros: every object needs
    # the identity written out.
    identity = 'a0="1" a1="0" a2="0" a3="1" a4="0" a5="0"'
    doc = f"""<?xml version="1.0"?>
<Glabels-document xmlns="http://glabels.org/xmlns/3.0/">
  <Template brand="Bench" part="3x9-63.5x29.6" size="A4" description="A4 sheet, 3 x 9 labels of 63.5 x 29.6 mm">
    <Meta category="label"/>
    <Label-rectangle id="0" width="{mm(LABEL_W)}" height="{mm(LABEL_H)}" round="0mm" x_waste="0mm" y_waste="0mm">
      <Markup-margin size="1.5mm"/>
      <Layout nx="{COLUMNS}" ny="{ROWS}" x0="{mm(LEFT)}" y0="{mm(TOP)}" dx="{mm(PITCH_X)}" dy="{mm(LABEL_H)}"/>
    </Label-rectangle>
  </Template>
  <Objects id="0" rotate="False">
    <Object-text x="2mm" y="1.4mm" w="{mm(LABEL_W - 4)}" h="8.8mm" justify="Center" valign="Top" auto_shrink="False" {identity}>
      <Span font_family="Noto Serif CJK SC" font_size="9" font_weight="Regular" font_italic="False" color="0x000000ff" line_spacing="1"><Field name="name"/></Span>
    </Object-text>
    <Object-barcode x="{mm((LABEL_W - bar_w) / 2)}" y="11mm" w="{mm(bar_w)}" h="{mm(bar_h)}" backend="gnu-barcode" style="EAN-13" text="True" checksum="True" color="0x000000ff" field="barcode" {identity}/>
  </Objects>
  <Merge type="Text/Comma/Line1Keys" src={quoteattr(os.path.abspath(csv_path))}/>
</Glabels-document>
"""
    with open(path, "w", encoding="utf-8") as f:
        f.write(doc)


def main(argv):
    if len(argv) != 3 or not argv[1].isdigit() or int(argv[1]) < 1:
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 1
    n, out = int(argv[1]), argv[2]
    os.makedirs(out, exist_ok=True)
    recs = records(n)
    csv_path = os.path.join(out, "records.csv")
    write_csv(csv_path, recs)
    write_db(os.path.join(out, "labels.db"), recs)
    write_glabels(os.path.join(out, "labels.glabels"), csv_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
