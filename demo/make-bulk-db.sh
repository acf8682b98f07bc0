#!/usr/bin/env bash
# Builds a large NAV database for benchmarks: the demo database plus N synthetic posted
# invoices of "Muster GmbH" (five lines each, posting dates spread over four years) and
# a credit memo for every tenth of them (two of its lines, a week later).
#   make-bulk-db.sh N target.db
# Rebuilt only when the target is missing, older than the demo sources, or holds
# another count.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
count="${1:?Anzahl der Rechnungen fehlt}"
target="${2:?Zieldatei fehlt}"
[[ "$count" =~ ^[0-9]+$ ]] || { echo "Anzahl muss eine Zahl sein: $count" >&2; exit 1; }

if [ -f "$target" ] && [ "$(sqlite3 "$target" 'PRAGMA user_version' 2>/dev/null)" = "$count" ]; then
  stale=0
  for f in "$here"/*.sql "$here/companies.txt" "$0"; do [ "$f" -nt "$target" ] && stale=1; done
  [ "$stale" -eq 0 ] && exit 0
fi

tmp="$(mktemp "$target.XXXXXX")"
trap 'rm -f "$tmp" "$tmp.base"' EXIT
bash "$here/make-demo-db.sh" "$tmp.base"
cp "$tmp.base" "$tmp"

H='"Muster GmbH$Sales Invoice Header"'
L='"Muster GmbH$Sales Invoice Line"'
CH='"Muster GmbH$Sales Cr_Memo Header"'
CL='"Muster GmbH$Sales Cr_Memo Line"'
sqlite3 -bail "$tmp" >/dev/null <<SQL
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
BEGIN;
CREATE TEMP TABLE cust AS
  SELECT row_number() OVER (ORDER BY [No_]) - 1 AS k, [No_], [Name], [Address], [Post Code], [City],
         [Country_Region Code], [Currency Code]
  FROM "Muster GmbH\$Customer";
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $count)
INSERT INTO $H ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name], [Bill-to Address],
  [Bill-to City], [Bill-to Post Code], [Bill-to Country_Region Code], [Ship-to Name], [Ship-to Address],
  [Ship-to City], [Ship-to Post Code], [Ship-to Country_Region Code], [Posting Date], [Document Date], [Due Date],
  [Currency Code], [Payment Terms Code], [Posting Description], [Your Reference])
SELECT printf('B%07d', n.i), c.[No_], c.[No_], c.[Name], c.[Address], c.[City], c.[Post Code],
       c.[Country_Region Code], c.[Name], c.[Address], c.[City], c.[Post Code], c.[Country_Region Code],
       date('2021-01-01', '+' || (n.i * 1461 / $count) || ' days') || ' 00:00:00',
       date('2021-01-01', '+' || (n.i * 1461 / $count) || ' days') || ' 00:00:00',
       date('2021-01-01', '+' || (n.i * 1461 / $count + 30) || ' days') || ' 00:00:00',
       c.[Currency Code], '30T', printf('Rechnung B%07d', n.i), printf('Bestellung %d', n.i % 977)
FROM n JOIN cust c ON c.k = n.i % (SELECT count(*) FROM cust);
WITH RECURSIVE l(j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM l WHERE j < 5)
INSERT INTO $L ([Document No_], [Line No_], [Sell-to Customer No_], [Type], [No_], [Description],
  [Unit of Measure Code], [Unit of Measure], [Quantity], [Unit Price], [VAT _], [Line Amount], [Amount],
  [Amount Including VAT])
SELECT h.[No_], l.j * 10000, h.[Bill-to Customer No_], 2, printf('A%03d', l.j * 7),
       printf('Artikel %d der Serie %s', l.j, substr(h.[No_], 5)), 'STK', 'Stück', l.j, 9.95 * l.j,
       CASE WHEN l.j = 3 THEN 7 ELSE 19 END, round(9.95 * l.j * l.j, 2), round(9.95 * l.j * l.j, 2),
       round(9.95 * l.j * l.j * (CASE WHEN l.j = 3 THEN 1.07 ELSE 1.19 END), 2)
FROM $H h, l WHERE h.[No_] LIKE 'B%';
INSERT INTO $CH ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name], [Bill-to Address],
  [Bill-to City], [Bill-to Post Code], [Bill-to Country_Region Code], [Ship-to Name], [Ship-to Address],
  [Ship-to City], [Ship-to Post Code], [Ship-to Country_Region Code], [Posting Date], [Document Date],
  [Currency Code], [Payment Terms Code], [Posting Description], [Your Reference], [Applies-to Doc_ Type],
  [Applies-to Doc_ No_])
SELECT 'C' || substr(h.[No_], 2), h.[Sell-to Customer No_], h.[Bill-to Customer No_], h.[Bill-to Name],
       h.[Bill-to Address], h.[Bill-to City], h.[Bill-to Post Code], h.[Bill-to Country_Region Code], h.[Ship-to Name],
       h.[Ship-to Address], h.[Ship-to City], h.[Ship-to Post Code], h.[Ship-to Country_Region Code],
       date(h.[Posting Date], '+7 days') || ' 00:00:00', date(h.[Posting Date], '+7 days') || ' 00:00:00',
       h.[Currency Code], '30T', 'Gutschrift C' || substr(h.[No_], 2), h.[Your Reference], 2, h.[No_]
FROM $H h WHERE h.[No_] LIKE 'B%' AND CAST(substr(h.[No_], 2) AS INTEGER) % 10 = 0;
INSERT INTO $CL ([Document No_], [Line No_], [Sell-to Customer No_], [Type], [No_], [Description],
  [Unit of Measure Code], [Unit of Measure], [Quantity], [Unit Price], [VAT _], [Line Amount], [Amount],
  [Amount Including VAT])
SELECT 'C' || substr(l.[Document No_], 2), l.[Line No_], l.[Sell-to Customer No_], l.[Type], l.[No_], l.[Description],
       l.[Unit of Measure Code], l.[Unit of Measure], l.[Quantity], l.[Unit Price], l.[VAT _], l.[Line Amount],
       l.[Amount], l.[Amount Including VAT]
FROM $L l WHERE l.[Document No_] LIKE 'B%' AND CAST(substr(l.[Document No_], 2) AS INTEGER) % 10 = 0
  AND l.[Line No_] IN (20000, 30000);
PRAGMA user_version = $count;
COMMIT;
ANALYZE;
SQL
mv -f "$tmp" "$target"
rm -f "$tmp.base"
trap - EXIT
