#!/usr/bin/python3
"""Cross-checks the month starts printed by gen_lunar_table against PyEphem (Debian python3-ephem):
each month must begin on the day (UTC+8) of a new moon, and each leap month must be the first month
of its winter-solstice year without a principal solar term. Prints every disagreement and every
new moon or principal term within CLOSE minutes of midnight, where the day itself is uncertain.
Also prints the Qingming day (sun at apparent longitude 15 degrees, UTC+8) of 1998..2100.
With an output path, also writes the table rows of src/calendar/lunar_table.cpp from the
corrected month starts (the new-moon day wins where ICU disagrees).
Development tool only:  /tmp/gen | tools/check_lunar_table.py [rows.inc]"""
import datetime, math, sys
import ephem

CLOSE = 10  # minutes
TZ = 8 * ephem.hour

def local_day(d):
    t = ephem.Date(d + TZ).tuple()
    return datetime.date(t[0], t[1], t[2]), (t[3] * 60 + t[4] + t[5] / 60)

def sun_lon(d):
    s = ephem.Sun(d)
    return math.degrees(ephem.Ecliptic(ephem.Equatorial(s.g_ra, s.g_dec, epoch=d), epoch=d).lon)

def crossing(target, d0, d1):
    def f(d):
        return (sun_lon(d) - target + 180) % 360 - 180
    for _ in range(60):
        m = (d0 + d1) / 2
        if f(m) < 0: d0 = m
        else: d1 = m
    return ephem.Date((d0 + d1) / 2)

def near_midnight(minutes):
    return minutes < CLOSE or minutes > 1440 - CLOSE

months = []
for line in sys.stdin:
    y, m, leap, start, length = line.split()
    months.append((int(y), int(m), int(leap), datetime.date.fromisoformat(start), int(length)))

# new moons
corrected = {}
for (y, m, leap, start, length) in months:
    nm = ephem.next_new_moon(ephem.Date(datetime.datetime(start.year, start.month, start.day) - datetime.timedelta(days=2)))
    day, minutes = local_day(nm)
    if day != start:
        corrected[(y, m, leap)] = day
        print(f"MISMATCH {y}/{m}{'L' if leap else ''}: table {start}, new moon {ephem.Date(nm + TZ)} UTC+8")
    elif near_midnight(minutes):
        print(f"close new moon {y}/{m}{'L' if leap else ''}: {ephem.Date(nm + TZ)} UTC+8")

for i, (y, m, leap, start, length) in enumerate(months):
    start = corrected.get((y, m, leap), start)
    months[i] = (y, m, leap, start, length)
for i in range(len(months) - 1):
    y, m, leap, start, _ = months[i]
    months[i] = (y, m, leap, start, (months[i + 1][3] - start).days)
    assert months[i][4] in (29, 30), months[i]
months.pop()

# principal terms (longitude multiple of 30), as local days
terms = []
d = ephem.Date('1997/11/1')
end = ephem.Date('2101/4/1')
while d < end:
    target = (math.floor(sun_lon(d) / 30) + 1) * 30 % 360
    t = crossing(target, d, d + 35)
    day, minutes = local_day(t)
    if near_midnight(minutes):
        print(f"close principal term {target}: {ephem.Date(t + TZ)} UTC+8")
    terms.append((target, day))
    d = ephem.Date(t + 1)

def has_term(i):
    s = months[i][3]
    e = s + datetime.timedelta(days=months[i][4])
    return [t for t in terms if s <= t[1] < e]

for i, (y, m, leap, start, length) in enumerate(months):
    if i + 1 < len(months) and months[i + 1][3] != start + datetime.timedelta(days=length):
        print(f"GAP after {y}/{m}")
    tl = has_term(i)
    if leap and tl:
        print(f"LEAP WITH TERM {y}/{m}L {start}: {tl}")
    if not leap and not tl:
        print(f"note: month {y}/{m} {start} has no principal term")
    if tl and not leap and tl[0][0] != (300 + 30 * m) % 360 and tl[-1][0] != (300 + 30 * m) % 360:
        print(f"TERM/NUMBER {y}/{m} {start}: {tl}")

for year in range(1998, 2101):
    t = crossing(15, ephem.Date(f'{year}/4/1'), ephem.Date(f'{year}/4/8'))
    day, minutes = local_day(t)
    flag = ' CLOSE' if near_midnight(minutes) else ''
    print(f"qingming {year} {day} {ephem.Date(t + TZ)}{flag}")

if len(sys.argv) > 1:
    with open(sys.argv[1], 'w') as out:
        for year in range(1998, 2101):
            ms = [x for x in months if x[0] == year]
            new_year = ms[0][3]
            assert ms[0][1] == 1 and not ms[0][2]
            leap = next((x[1] for x in ms if x[2]), 0)
            bits = sum(1 << i for i, x in enumerate(ms) if x[4] == 30)
            offset = (new_year - datetime.date(year, 1, 1)).days
            out.write(f"    0x{(offset << 17) | (leap << 13) | bits:06x}, // {year}: {new_year}, leap {leap}\n")
