#!/usr/bin/env python3
"""Writes time_oracle.inc: records with their expected texts, fixed-zone times,
day counts and parsed values, worked out here with Python's datetime alone.

The fixed zone is UTC+3, and UTC+4 from the last Sunday of April 02:00 local
standard time to the last Sunday of October 02:00 local daylight time, every
year. Run it again (python3 make_oracle.py) to regenerate the same file: the
random choices are seeded.
"""
import datetime as dt
import os
import random

EPOCH = dt.datetime(1601, 1, 1)
DAY = dt.timedelta(days=1)
WEEKDAYS = ["Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]

rng = random.Random(2010)


def weekday(t):
    return t.isoweekday() % 7  # Sunday 0


def record(t):
    return "{%d, %d, %d, %d, %d, %d, %d, %d}" % (
        t.year, t.month, weekday(t), t.day, t.hour, t.minute, t.second, t.microsecond // 1000)


def ticks(t):
    d = t - EPOCH
    return (d.days * 86400 + d.seconds) * 10000000 + d.microseconds * 10


def day_number(t):
    return (t - EPOCH) // DAY


def random_time(first=1601, last=9999):
    year = rng.randint(first, last)
    start = dt.datetime(year, 1, 1)
    end = dt.datetime(year + 1, 1, 1) if year < 9999 else dt.datetime(9999, 12, 31, 23, 59, 59, 999000)
    span = int((end - start).total_seconds() * 1000)
    return start + dt.timedelta(milliseconds=rng.randrange(span))


def gmt_text(t):
    return "%s, %02d %s %02d %02d:%02d:%02d GMT" % (
        WEEKDAYS[weekday(t)], t.day, MONTHS[t.month - 1], t.year, t.hour, t.minute, t.second)


def last_sunday(year, month):
    day = dt.datetime(year + (month == 12), month % 12 + 1, 1) - DAY
    return day - dt.timedelta(days=weekday(day))


def daylight_span_utc(year):
    """UTC instants where daylight time begins and ends in that year."""
    begin = last_sunday(year, 4).replace(hour=2) - dt.timedelta(hours=3)
    end = last_sunday(year, 10).replace(hour=2) - dt.timedelta(hours=4)
    return begin, end


def fixed_zone(utc):
    begin, end = daylight_span_utc(utc.year)
    return utc + dt.timedelta(hours=4 if begin <= utc < end else 3)


def format_cases():
    times = [dt.datetime(2010, 6, 11, 8, 5, 9), dt.datetime(1601, 1, 1), dt.datetime(9999, 12, 31, 23, 59, 59, 999000),
             dt.datetime(2012, 2, 29, 12, 0, 0), dt.datetime(1700, 1, 1), dt.datetime(2000, 1, 1, 0, 0, 0, 1000)]
    times += [random_time() for _ in range(54)] + [random_time(1990, 2030) for _ in range(20)]
    return ['    {%s, L"%s", %dULL, %dULL},' % (record(t), gmt_text(t), ticks(t), day_number(t)) for t in times]


def zone_cases():
    times = [dt.datetime(2010, 6, 11, 8), dt.datetime(2010, 1, 15, 8), dt.datetime(2010, 4, 10, 12)]
    offsets = [dt.timedelta(hours=-1), dt.timedelta(minutes=-1), dt.timedelta(milliseconds=-1), dt.timedelta(0),
               dt.timedelta(milliseconds=1), dt.timedelta(minutes=1), dt.timedelta(hours=1)]
    # Years where the last Sunday is the fourth or the fifth of its month, leap
    # years, century years, and the ends of the range.
    for year in [1601, 1700, 1900, 1999, 2000, 2004, 2009, 2010, 2011, 2012, 2016, 2020, 2038, 2100, 2400, 9999]:
        for instant in daylight_span_utc(year):
            times += [instant + offset for offset in offsets]
    times += [random_time() for _ in range(40)]
    return ["    {%s, %s}," % (record(t), record(fixed_zone(t))) for t in times]


def signed_days(a, b):
    spans = abs(ticks(a) - ticks(b)) // (86400 * 10000000)
    return spans if ticks(a) > ticks(b) else -spans


def day_cases():
    pairs = [(dt.datetime(2010, 6, 12, 7), dt.datetime(2010, 6, 11, 8)),
             (dt.datetime(2010, 6, 11, 8) - dt.timedelta(hours=36), dt.datetime(2010, 6, 11, 8))]
    scales = [dt.timedelta(hours=1), dt.timedelta(days=1), dt.timedelta(days=400), dt.timedelta(days=300000)]
    while len(pairs) < 80:
        a = random_time()
        try:
            b = a + rng.choice(scales) * rng.uniform(-3, 3)
        except OverflowError:
            continue
        if b >= EPOCH:
            pairs.append((a, b.replace(microsecond=b.microsecond // 1000 * 1000)))
    pairs += [(b, a) for a, b in pairs[:20]]
    return ["    {%s, %s, %d, %d}," % (record(a), record(b), signed_days(a, b), day_number(a) - day_number(b))
            for a, b in pairs]


def add_days_cases():
    cases = [(dt.datetime(2010, 6, 11, 8, 5, 9, 250000), 30), (dt.datetime(2010, 6, 11), 0)]
    for days in [0, 1, 30, 365, 49710, 49711, 65536, 100000, 1000000, 2000000]:
        for _ in range(3):
            start = random_time(1601, 9999 - days // 365 - 1)
            cases.append((start, days))
    while len(cases) < 60:
        start = random_time()
        limit = (dt.datetime(9999, 12, 31) - start).days
        if limit > 0:
            cases.append((start, rng.randrange(limit)))
    return ["    {%s, %du, %s}," % (record(s), n, record(s + dt.timedelta(days=n))) for s, n in cases]


def parse_utc_cases():
    lines = []
    for i in range(60):
        t = random_time().replace(microsecond=0)
        tail = [" UTC", " GMT", "", " +0300", "UTC"][i % 5]
        blank = [" ", "  ", "\\t", " \\n"][i % 4]
        text = "%s,%s%d %s %d %02d:%02d:%02d%s" % (
            WEEKDAYS[weekday(t)], blank, t.day, MONTHS[t.month - 1], t.year, t.hour, t.minute, t.second, tail)
        lines.append('    {L"%s", %s},' % (text, record(t)))
    # The year is read as a number and kept to 16 bits; day 0 passes; the weekday
    # comes from the name, not from the date.
    for year, day, name in [(0, 1, "Mon"), (5, 0, "Sun"), (65535, 31, "Sat"), (70000, 15, "Wed"), (-1, 2, "Tue")]:
        text = "%s, %d Jan %d 23:59:59 UTC" % (name, day, year)
        lines.append('    {L"%s", {%d, 1, %d, %d, 23, 59, 59, 0}},' % (text, year & 0xFFFF, WEEKDAYS.index(name), day))
    return lines


def parse_zoned_cases():
    zones = [0, 300, -500, 530, -330, 545, -930, 1400, -1200, 1245, 100, -1, 59, -45]
    lines = []
    for i in range(60):
        local = random_time(1602, 9998).replace(microsecond=0)
        zone = zones[i % len(zones)]
        hours, minutes = divmod(abs(zone), 100)
        offset = dt.timedelta(hours=hours, minutes=minutes) * (1 if zone >= 0 else -1)
        text = "%s, %d %s %d %02d:%02d:%02d %s%04d" % (
            WEEKDAYS[weekday(local)], local.day, MONTHS[local.month - 1], local.year,
            local.hour, local.minute, local.second, "+" if zone >= 0 else "-", abs(zone))
        lines.append('    {"%s", %s},' % (text, record(local - offset)))
    return lines


def main():
    parts = ["// Written by make_oracle.py from Python's datetime; regenerate, do not edit.", ""]
    for name, kind, rows in [("kFormatCases", "FormatCase", format_cases()),
                             ("kZoneCases", "ZoneCase", zone_cases()),
                             ("kDayCases", "DayCase", day_cases()),
                             ("kAddDaysCases", "AddDaysCase", add_days_cases()),
                             ("kParseUtcCases", "ParseUtcCase", parse_utc_cases()),
                             ("kParseZonedCases", "ParseZonedCase", parse_zoned_cases())]:
        parts += ["const %s %s[] = {" % (kind, name)] + rows + ["};", ""]
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "time_oracle.inc")
    with open(out, "w", newline="\n") as f:
        f.write("\n".join(parts))


if __name__ == "__main__":
    main()
