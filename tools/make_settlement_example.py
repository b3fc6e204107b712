#!/usr/bin/env python3
"""Writes examples/settlement/: a building settlement monitoring of 8 epochs.

Three reference benchmarks (BM1, BM2, BM3) and ten monitoring points (J1 to
J10) on the building's columns, levelled in one network of 18 sections each
epoch. The points settle as -A (1 - exp(-t / 90 d)); J7 settles most and
passes its warning value; BM2 sinks 3.0 mm before epoch 5 and stays there;
J9 is not observed in epoch 3 (covered by a stockpile). Observed differences
are the true ones plus normal noise of 1.0 mm/sqrt(km), written to 0.1 mm as
a .pc file carries them. A linear congruential generator with a fixed seed
makes the files the same on every run:

    python3 tools/make_settlement_example.py [OUT_DIR]
"""
import math
import os
import sys

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "examples", "settlement")

SIGMA_KM = 1.0  # mm per sqrt(km)
BENCHMARKS = {"BM1": 45.2130, "BM2": 46.0875, "BM3": 44.9620}
POINTS = {  # base height (m), final settlement A (mm)
    "J1": (45.8412, 9.0), "J2": (45.8398, 11.0), "J3": (45.8420, 13.5), "J4": (45.8405, 12.0),
    "J5": (45.8391, 10.5), "J6": (45.8433, 15.0), "J7": (45.8417, 27.0), "J8": (45.8402, 16.5),
    "J9": (45.8426, 8.0), "J10": (45.8410, 7.0),
}
SECTIONS = [  # from, to, length (km)
    ("BM1", "J1", 0.12), ("J1", "J2", 0.08), ("J2", "J3", 0.10), ("J3", "J4", 0.08), ("J4", "J5", 0.09),
    ("J5", "J6", 0.08), ("J6", "J7", 0.10), ("J7", "J8", 0.08), ("J8", "J9", 0.09), ("J9", "J10", 0.08),
    ("J10", "J1", 0.10), ("J5", "BM2", 0.15), ("BM2", "BM3", 0.20), ("BM3", "J8", 0.14), ("BM3", "BM1", 0.25),
    ("BM1", "J3", 0.14), ("J2", "J6", 0.12), ("J4", "J9", 0.11),
]
# day, date, floors, note
EPOCHS = [
    (0, "2024-03-01 08:30", "2", "首次观测"), (20, "2024-03-21 09:00", "4", ""),
    (45, "2024-04-15 08:45", "6", "J9 被堆料覆盖，未测"), (75, "2024-05-15 09:10", "9", ""),
    (110, "2024-06-19 08:20", "12", "雨后观测"), (150, "2024-07-29 08:40", "15", ""),
    (200, "2024-09-17 09:05", "18", "主体封顶"), (260, "2024-11-16 08:50", "18", ""),
]
MISSING = {2: {"J9"}}  # epoch index -> points not observed
BM2_SHIFT = -3.0  # mm, from epoch index 4 on


class Random:
    """A 64-bit linear congruential generator (Knuth's MMIX constants)."""

    def __init__(self, seed):
        self.state = seed

    def uniform(self):
        self.state = (6364136223846793005 * self.state + 1442695040888963407) % (1 << 64)
        return ((self.state >> 11) + 0.5) / float(1 << 53)

    def normal(self):
        return math.sqrt(-2.0 * math.log(self.uniform())) * math.cos(2.0 * math.pi * self.uniform())


def true_heights(epoch, day):
    h = dict(BENCHMARKS)
    if epoch >= 4:
        h["BM2"] += BM2_SHIFT / 1000.0
    for name, (base, a) in POINTS.items():
        h[name] = base - a * (1.0 - math.exp(-day / 90.0)) / 1000.0
    return h


def sections_of(epoch):
    missing = MISSING.get(epoch, set())
    out = []
    for a, b, length in SECTIONS:
        if a in missing or b in missing:
            continue
        out.append((a, b, length))
    if "J9" in missing:  # the line goes on from J8 to J10 and from J4 to J10
        out.append(("J8", "J10", 0.16))
    return out


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = Random(20240301)
    project = [
        "# 1 号楼沉降观测：3 个基准点，10 个沉降观测点，8 期",
        "# 由 tools/make_settlement_example.py 生成",
        "名称 = 1 号楼沉降观测",
        "基准点 = BM1, BM2, BM3",
        "预警值 = 累计 20, 速率 0.5",
        "注意比例 = 70%",
        "稳定速率 = 0.04",
        "荷载单位 = 层",
    ]
    for e, (day, date, floors, note) in enumerate(EPOCHS):
        h = true_heights(e, day)
        points = [n for n in POINTS if n not in MISSING.get(e, set())]
        secs = sections_of(e)
        lines = ["%d,%d,%d,1" % (len(BENCHMARKS), len(points), len(secs))]
        for name, height in BENCHMARKS.items():
            lines.append("%s,%.4f" % (name, height))  # the field crew's known heights
        for name in points:
            lines.append("%s," % name)
        for a, b, length in secs:
            noise = SIGMA_KM * math.sqrt(length) * rng.normal() / 1000.0
            lines.append("%s,%s,%.4f,%g" % (a, b, h[b] - h[a] + noise, length))
        name = "epoch%02d.pc" % (e + 1)
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("gbk"))
        fields = [date, name, floors] + ([note] if note else [])
        project.append("期 = " + ", ".join(fields))
    with open(os.path.join(OUT, "settlement.mon"), "wb") as f:
        f.write(("\n".join(project) + "\n").encode("utf-8"))


if __name__ == "__main__":
    main()
