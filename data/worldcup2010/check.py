#!/usr/bin/env python3
"""Re-verify the teams, cities and matches of worldcup2010.csv in this folder (check_goals.py
checks its goals and shoot-out kicks).

Standard library only. Run: python3 check.py
Prints one line per check and ends with exit status 1 if any check failed.
"""
import csv
import os
import re
import sys
from datetime import datetime, timedelta
from itertools import combinations

HERE = os.path.dirname(os.path.abspath(__file__))
HEADER = ('num,stage,group,date_local,time_local,utc,home,away,home_goals,away_goals,'
          'home_goals_et,away_goals_et,home_pens,away_pens,city,stadium').split(',')
STAGES = {'group': range(1, 49), 'round16': range(49, 57), 'quarter': range(57, 61),
          'semi': range(61, 63), 'third': range(63, 64), 'final': range(64, 65)}
# Final group standings as published (order and points): an independent reference.
PUBLISHED = {'A': 'URU 7 MEX 4 RSA 4 FRA 1', 'B': 'ARG 9 KOR 4 GRE 3 NGA 1',
             'C': 'USA 5 ENG 5 SVN 4 ALG 1', 'D': 'GER 6 GHA 4 AUS 4 SRB 3',
             'E': 'NED 9 JPN 6 DEN 3 CMR 0', 'F': 'PAR 5 SVK 4 NZL 3 ITA 2',
             'G': 'BRA 7 POR 5 CIV 4 PRK 0', 'H': 'ESP 6 CHI 6 SUI 4 HON 1'}
# FIFA bracket: match number -> where its home and away teams come from.
BRACKET = {49: '1A 2B', 50: '1C 2D', 51: '1D 2C', 52: '1B 2A', 53: '1E 2F', 54: '1G 2H',
           55: '1F 2E', 56: '1H 2G', 57: 'W53 W54', 58: 'W49 W50', 59: 'W52 W51',
           60: 'W55 W56', 61: 'W58 W57', 62: 'W59 W60', 63: 'L61 L62', 64: 'W61 W62'}

failures = []


def check(ok, what):
    print(('ok    ' if ok else 'FAIL  ') + what)
    if not ok:
        failures.append(what)


def read(name):
    """One table of worldcup2010.csv: the rows from its header line to the next blank line."""
    with open(os.path.join(HERE, 'worldcup2010.csv'), encoding='utf-8', newline='') as f:
        lines = f.read().split('\n')
    header = {'teams.csv': 'code,', 'cities.csv': 'city_en,', 'matches.csv': 'num,stage,'}[name]
    start = next(i for i, line in enumerate(lines) if line.startswith(header))
    end = next((i for i in range(start, len(lines)) if lines[i] == ''), len(lines))
    rows = list(csv.reader(lines[start:end]))
    return rows[0], [dict(zip(rows[0], r)) for r in rows[1:]], rows[1:]


def score(m, a, b):
    return None if m[a] == '' else (int(m[a]), int(m[b]))


def winner_loser(m):
    """Decided by 90 minutes, then extra time, then penalties."""
    for s in (m['ft'], m['et'], m['pen']):
        if s and s[0] != s[1]:
            return (m['home'], m['away']) if s[0] > s[1] else (m['away'], m['home'])
    raise ValueError('match %s has no winner' % m['num'])


def table(group_matches):
    t = {}
    for m in group_matches:
        for me, (gf, ga) in ((m['home'], m['ft']), (m['away'], m['ft'][::-1])):
            r = t.setdefault(me, [0, 0, 0, 0])  # points, goal difference, goals for, played
            r[0] += 3 if gf > ga else 1 if gf == ga else 0
            r[1] += gf - ga
            r[2] += gf
            r[3] += 1
    return sorted(t.items(), key=lambda kv: (-kv[1][0], -kv[1][1], -kv[1][2]))


th, teams, _ = read('teams.csv')
ch, cities, _ = read('cities.csv')
mh, matches, raw = read('matches.csv')
check(mh == HEADER, 'matches.csv header')
check(th == ['code', 'group', 'name_en', 'name_ru'] and len(teams) == 32, 'teams.csv: header, 32 teams')
check(ch == ['city_en', 'city_ru'] and len(cities) == 9, 'cities.csv: header, 9 cities')
check(len(matches) == 64 and all(len(r) == 16 for r in raw), 'matches.csv: 64 rows of 16 fields')
group_of = {t['code']: t['group'] for t in teams}
city_names = {c['city_en'] for c in cities}
check(all(re.fullmatch(r'[A-Z]{3}', c) for c in group_of) and len(group_of) == 32, 'team codes: 32 distinct')

bad = []
for m in matches:
    n = m['num'] = int(m['num'])
    m['ft'], m['et'], m['pen'] = (score(m, 'home_goals', 'away_goals'), score(m, 'home_goals_et', 'away_goals_et'),
                                  score(m, 'home_pens', 'away_pens'))
    loc = datetime.strptime(m['date_local'] + ' ' + m['time_local'], '%Y-%m-%d %H:%M')
    ko = m['stage'] != 'group'
    tests = [n in STAGES.get(m['stage'], ()), (m['group'] != '') != ko, m['group'] in ('', group_of.get(m['home'])),
             m['utc'] == (loc - timedelta(hours=2)).strftime('%Y-%m-%dT%H:%MZ'),
             m['home'] in group_of and m['away'] in group_of and m['home'] != m['away'],
             m['city'] in city_names, m['ft'] is not None,
             (m['et'] is not None) == (ko and m['ft'][0] == m['ft'][1]),
             m['et'] is None or (m['et'][0] >= m['ft'][0] and m['et'][1] >= m['ft'][1]),
             (m['pen'] is not None) == (m['et'] is not None and m['et'][0] == m['et'][1]),
             m['pen'] is None or m['pen'][0] != m['pen'][1]]
    if not all(tests):
        bad.append('%d (test %d)' % (n, tests.index(False)))
check(not bad, 'every row: stage/number range, group, UTC = local - 2 h, codes, city, score logic %s' % bad)
by_num = {m['num']: m for m in matches}
check(sorted(by_num) == list(range(1, 65)), 'match numbers 1..64, each once')
check(all(by_num[n]['date_local'] <= by_num[n + 1]['date_local'] for n in range(1, 64)), 'dates never go back as numbers rise')
stadium_city = {}
for m in matches:
    stadium_city.setdefault(m['stadium'], set()).add(m['city'])
check(len(stadium_city) == 10 and all(len(c) == 1 for c in stadium_city.values())
      and len({m['city'] for m in matches}) == 9, '10 stadiums in 9 cities, each stadium in one city')
days = [(m['date_local'], t) for m in matches for t in (m['home'], m['away'])]
venues = [(m['date_local'], m['stadium']) for m in matches]
check(len(set(days)) == len(days) and len(set(venues)) == len(venues), 'no team or stadium used twice on one day')

gm = [m for m in matches if m['stage'] == 'group']
check(len(gm) == 48, '48 group matches')
place = {}
for g in 'ABCDEFGH':
    ms = [m for m in gm if m['group'] == g]
    codes = sorted(c for c in group_of if group_of[c] == g)
    pairs = sorted(tuple(sorted((m['home'], m['away']))) for m in ms)
    check(len(ms) == 6 and pairs == list(combinations(codes, 2)), 'group %s: 6 matches, each pair of its 4 teams once' % g)
    t = table(ms)
    check(all(r[3] == 3 for _, r in t), 'group %s: each team plays 3' % g)
    check(t[1][1][:3] != t[2][1][:3], 'group %s: 2nd and 3rd separated by points, goal difference, goals' % g)
    got = ' '.join('%s %d' % (c, r[0]) for c, r in t)
    check(got == PUBLISHED[g], 'group %s table %s matches the published standings' % (g, got))
    place['1' + g], place['2' + g] = t[0][0], t[1][0]

for n in range(49, 65):
    m = by_num[n]
    src = []
    for s in BRACKET[n].split():
        src.append(place[s] if s[0] in '12' else winner_loser(by_num[int(s[1:])])[s[0] == 'L'])
    check([m['home'], m['away']] == src, 'match %d %s: %s-%s are %s' % (n, m['stage'], m['home'], m['away'], BRACKET[n]))

o, f = by_num[1], by_num[64]
check((o['date_local'], o['home'], o['away'], o['ft']) == ('2010-06-11', 'RSA', 'MEX', (1, 1)), 'opening match 2010-06-11 RSA-MEX 1-1')
check((f['date_local'], f['stadium'], f['home'], f['away'], f['ft'], f['et'], f['pen'])
      == ('2010-07-11', 'Soccer City', 'NED', 'ESP', (0, 0), (0, 1), None), 'final 2010-07-11 Soccer City NED-ESP 0-0, 0-1 a.e.t.')
check(winner_loser(f)[0] == 'ESP', 'champion ESP')
print('%d check(s) failed' % len(failures) if failures else 'all checks passed')
sys.exit(1 if failures else 0)
