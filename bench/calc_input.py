#!/usr/bin/env python3
"""Writes a CSV of many tests with the columns `korvanta download --format csv` writes, for timing
`korvanta calc --input`. Values vary from line to line; a few tests in a hundred are refused by
the calculation (a sex or an age outside what it takes, or a spectrum model's test without its
spectrum); equine tests have no value the calculation refuses.

  python3 bench/calc_input.py human 100000 > big.csv
  python3 bench/calc_input.py equine 100000 > big-equine.csv
"""
import datetime
import random
import sys

HUMAN_TEST = ["slot", "modelCode", "serialNumber", "testTime", "sex", "age", "height", "weight",
              "activityLevel", "waist", "hip", "impedanceF1", "impedanceF2", "impedanceF3", "impedanceF4",
              "resistance", "decimalReading1", "decimalReading2", "spectrumCount"]
EQUINE_TEST = ["slot", "modelCode", "serialNumber", "testTime", "height", "conditionScore", "impedance5",
               "impedance16", "impedance24", "impedance50", "impedance140", "impedance200", "impedance280",
               "decimalReading"]
# Result columns a download also writes; calc reads past them.
TRAILING = ["resultsCode", "fatPercent", "fatKg", "normalsCode"]


def time_text(rng):
    if rng.random() < 0.05:
        return ""
    seconds = rng.randrange(1_500_000_000, 1_800_000_000)
    day, rest = divmod(seconds, 86400)
    moment = datetime.datetime(1970, 1, 1) + datetime.timedelta(days=day, seconds=rest)
    text = moment.strftime("%Y-%m-%dT%H:%M:%S")
    return text + ("Z" if rng.random() < 0.5 else "+01:00")


def model(rng):
    # Now and then a spectrum model (Polytrace, Quattron 40 Panel): refused without its spectrum.
    if rng.random() < 0.02:
        return rng.choice(["8", "14", "15"])
    return rng.choice(["1", "2", "3", "4", "5", "6", "7", "9", "10", "11"])


def weight(rng):
    return f"{rng.uniform(35, 150):.{rng.choice([0, 1, 1, 2, 3])}f}"


def human(rng, slot):
    refused = rng.random() < 0.01
    sex = rng.choice(["0", "1", "female", "m"])
    age = str(rng.randrange(8, 95))
    if refused:
        if rng.random() < 0.5:
            sex = rng.choice(["2", "7", "-1"])
        else:
            age = rng.choice(["0", "3", "140", "250"])
    f2 = rng.randrange(350, 800)
    cells = [str(slot), model(rng), str(rng.randrange(10000, 99999)),
             time_text(rng), sex, age, str(rng.randrange(120, 210)), weight(rng), str(rng.randrange(1, 6)),
             str(rng.randrange(60, 130)), str(rng.randrange(80, 130)), str(f2 + rng.randrange(20, 80)), str(f2),
             str(f2 - rng.randrange(5, 30)), str(f2 - rng.randrange(30, 80)), str(f2 - rng.randrange(0, 40)),
             f"{rng.uniform(0, 30):.{rng.choice([1, 2, 6])}f}", "0", "0"]
    return cells


def equine(rng, slot):
    z = rng.randrange(200, 400)
    cells = [str(slot), rng.choice(["12", "13"]), str(rng.randrange(100, 9999)), time_text(rng),
             str(rng.randrange(120, 185)), str(rng.randrange(1, 10)),
             str(z + 60), str(z + 40), str(z + 30), str(z), str(z - 20), str(z - 30), str(z - 40),
             f"{rng.uniform(0, 200):.{rng.choice([0, 1, 2])}f}"]
    return cells


def main():
    kind, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 7)
    columns = (HUMAN_TEST if kind == "human" else EQUINE_TEST) + TRAILING
    make = human if kind == "human" else equine
    out = sys.stdout
    out.write(",".join(columns) + "\n")
    for slot in range(count):
        trailing = ["0", f"{rng.uniform(5, 40):.1f}", f"{rng.uniform(5, 40):.2f}", "0"] if rng.random() < 0.5 else [""] * 4
        out.write(",".join(make(rng, slot) + trailing) + "\n")


if __name__ == "__main__":
    main()
