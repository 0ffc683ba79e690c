#!/usr/bin/env python3
"""Check the goals and shoot-out tables of worldcup2010.csv against its matches and teams.

Standard library only. Run: python3 check_goals.py [data file, default: worldcup2010.csv
beside this script]. Each table is checked as the file it was first checked as (teams.csv,
matches.csv, goals.csv, shootouts.csv). Prints ok/FAIL per check; exits 1 on any failure.
"""
import csv, os, re, sys
from collections import Counter

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, 'worldcup2010.csv')
# The header line that begins each table in the data file (its full line for goals and
# shoot-outs, so that a table with another header is not taken for them).
BEGINS = {'teams.csv': 'code,', 'matches.csv': 'num,stage,',
          'goals.csv': 'num,period,minute,stoppage,team,own_goal,penalty,scorer_en,scorer_ru',
          'shootouts.csv': 'num,order,team,scorer_en,scorer_ru,scored'}
END = {1: 45, 2: 90, 3: 105, 4: 120}  # last minute of each period before stoppage time
failures = []


def check(ok, what):
    print(('ok    ' if ok else 'FAIL  ') + what)
    failures.extend([] if ok else [what])


def read(name):
    """One table of the data file: the rows from its header line to the next blank line."""
    with open(DATA, encoding='utf-8', newline='') as f:
        lines = f.read().split('\n')
    start = next((i for i, line in enumerate(lines) if line.startswith(BEGINS[name])), None)
    if start is None:
        return None, []
    end = next((i for i in range(start, len(lines)) if lines[i] == ''), len(lines))
    rows = csv.DictReader(lines[start:end])  # a missing field reads as None, extra fields go under the key None
    return rows.fieldnames, list(rows)


codes = {t['code'] for t in read('teams.csv')[1]}
M = {int(m['num']): m for m in read('matches.csv')[1]}
score = lambda m, k: (int(m['home_' + k]), int(m['away_' + k])) if m['home_' + k] else None
gh, goals = read('goals.csv')
kh, kicks = read('shootouts.csv')
ok = (gh == 'num,period,minute,stoppage,team,own_goal,penalty,scorer_en,scorer_ru'.split(',')
      and kh == 'num,order,team,scorer_en,scorer_ru,scored'.split(','))
check(ok, 'headers of goals.csv and shootouts.csv')
check(len(goals) == 145, '145 goals in all (%d)' % len(goals))
INT = {'num', 'period', 'minute', 'stoppage', 'own_goal', 'penalty', 'order', 'scored'}
ok = ok and all(None not in r and None not in r.values() and all(r[c].isdigit() for c in INT & r.keys()) for r in goals + kicks)
check(ok, 'every row complete, numeric fields numeric')
if not ok:
    sys.exit(1)
for r in goals + kicks:
    r.update({c: int(r[c]) for c in INT & r.keys()})
check(all(r['num'] in M and r['team'] in codes and r['team'] in (M[r['num']]['home'], M[r['num']]['away'])
          for r in goals + kicks), "team codes known and one of the match's two teams")
bad = [(g['num'], g['minute']) for g in goals if g['period'] not in END or g['own_goal'] + g['penalty'] > 1
       or not END[g['period']] - (44 if g['period'] < 3 else 14) <= g['minute'] <= END[g['period']]
       or (g['stoppage'] > 0 and g['minute'] != END[g['period']])]
check(not bad, 'minutes inside their period, stoppage only at 45/90/105/120, no penalty own goal %s' % bad)
keys = [(g['num'], g['period'], g['minute'], g['stoppage']) for g in goals]
check(keys == sorted(keys), 'goals sorted by match number, then time')
got = Counter((g['num'], g['team'], g['period'] > 2) for g in goals)
bad = [n for n, m in M.items() if (got[n, m['home'], False], got[n, m['away'], False]) != score(m, 'goals')
       or tuple(got[n, t, False] + got[n, t, True] for t in (m['home'], m['away']))
       != (score(m, 'goals_et') or score(m, 'goals'))]
check(not bad, 'every match: periods 1-2 give the 90-minute score, 1-4 the extra-time score, '
      'extra-time goals only after extra time %s' % bad)

check({k['num'] for k in kicks} == {n for n, m in M.items() if score(m, 'pens')}, 'kicks exactly in the shoot-out matches')
for n in sorted({k['num'] for k in kicks}):
    ks, m = sorted((k for k in kicks if k['num'] == n), key=lambda k: k['order']), M[n]
    a = ks[0]['team']
    b = m['away'] if a == m['home'] else m['home']
    made, taken, decided = Counter(), Counter(), []
    for i, k in enumerate(ks, 1):  # note every kick after which the winner is certain
        made[k['team']] += k['scored'] == 1
        taken[k['team']] += 1
        if max(taken.values()) <= 5:
            decided += [i] * any(made[t] > made[u] + 5 - taken[u] for t, u in ((a, b), (b, a)))
        else:
            decided += [i] * (taken[a] == taken[b] and made[a] != made[b])
    check([k['order'] for k in ks] == list(range(1, len(ks) + 1)) and all(
        k['team'] == (a, b)[i % 2] and k['scored'] in (0, 1) for i, k in enumerate(ks)),
        'match %d shoot-out: order 1..%d, the two teams alternate' % (n, len(ks)))
    check((made[m['home']], made[m['away']]) == score(m, 'pens') and decided[:1] == [len(ks)],
          'match %d shoot-out: %s %d-%d %s as in matches.csv, decided by its last kick' % (n, a, made[a], made[b], b))

pairs = {(r['scorer_en'], r['scorer_ru']) for r in goals + kicks}
check(all(en and re.fullmatch(r"[А-ЯЁа-яё][А-ЯЁа-яё' .-]*", ru) for en, ru in pairs), 'every scorer_ru non-empty, Cyrillic')
check(len(pairs) == len({p[0] for p in pairs}) == len({p[1] for p in pairs}),
      'scorer_en and scorer_ru correspond one to one (the same scorer_en always has the same scorer_ru)')
print('%d check(s) failed' % len(failures) if failures else 'all checks passed')
sys.exit(1 if failures else 0)
