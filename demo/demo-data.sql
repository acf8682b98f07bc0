-- Demo data: "Muster GmbH" with every scenario the program handles, and a second
-- company "Nordwind Handels GmbH" with a few plain invoices. Runs after nav-schema.sql
-- (once per company) and nav-database.sql.

---------------------------------------------------------------------------- database-wide
INSERT INTO [Object] ([Type], [ID], [Name], [Date], [Time], [Version List]) VALUES
  (5, 1, 'ApplicationManagement', '2016-10-04 00:00:00', '1754-01-01 12:00:00', 'NAVW19.00.00.47256,NAVDE9.00.00.47256'),
  (5, 2, 'Company-Initialize', '2016-10-04 00:00:00', '1754-01-01 12:00:00', 'NAVW19.00.00.47256,NAVDE9.00.00.47256,VELK1.0');
INSERT INTO [Server Instance] ([Server Instance ID], [Service Name], [Server Computer Name], [Last Active], [Server Instance Name], [Status]) VALUES
  (1, 'MicrosoftDynamicsNavServer$NAV90', 'NAVSRV01', '2024-03-28 17:45:12', 'NAV90', 0),
  (2, 'MicrosoftDynamicsNavServer$NAV90TEST', 'NAVSRV02', '2023-11-02 08:00:00', 'NAV90TEST', 1);
INSERT INTO [$ndo$dbproperty] ([databaseversionno]) VALUES (80);
PRAGMA user_version = 1;

---------------------------------------------------------------------------- Muster GmbH
INSERT INTO "Muster GmbH$Company Information" ([Name], [Name 2], [Address], [Address 2], [Post Code], [City],
  [Country_Region Code], [Phone No_], [Fax No_], [E-Mail], [Home Page], [VAT Registration No_], [Registration No_],
  [GLN], [Bank Name], [IBAN], [SWIFT Code]) VALUES
  ('Muster GmbH', 'Büro- und Gastronomiebedarf', '', 'Industriestraße 12', '70565', 'Stuttgart', 'DE',
   '+49 711 123456-0', '+49 711 123456-99', 'info@muster-gmbh.de', 'www.muster-gmbh.de', 'DE123456789',
   '99/123/45678', '4012345000009', 'Commerzbank Stuttgart', 'DE89 3704 0044 0532 0130 00', 'COBADEFFXXX');
INSERT INTO "Muster GmbH$General Ledger Setup" ([LCY Code]) VALUES ('EUR');

INSERT INTO "Muster GmbH$Country_Region" ([Code], [Name], [EU Country_Region Code]) VALUES
  ('DE', 'Deutschland', 'DE'), ('NL', 'Niederlande', 'NL'), ('AT', 'Österreich', 'AT'),
  ('CH', 'Schweiz', ''), ('US', 'Vereinigte Staaten von Amerika', ''), ('USA', 'USA (alt)', ''),
  ('PL', 'Polen', 'PL');

INSERT INTO "Muster GmbH$Unit of Measure" ([Code], [Description], [International Standard Code]) VALUES
  ('STK', 'Stück', 'H87'), ('STD', 'Stunde', 'HUR'), ('KG', 'Kilogramm', 'KGM'), ('KARTON', 'Karton', ''),
  ('M', 'Meter', 'MTR'), ('PAUSCHAL', 'Pauschal', ''), ('L', 'Liter', 'LTR'), ('PAK', 'Paket', '');

INSERT INTO "Muster GmbH$Payment Terms" ([Code], [Due Date Calculation], [Discount Date Calculation], [Discount _], [Description]) VALUES
  ('14T2%', '30T', '14T', 2, '14 Tage 2 % Skonto, 30 Tage netto'),
  ('30T', '30T', '', 0, '30 Tage netto'),
  ('SOFORT', '0T', '', 0, 'Sofort ohne Abzug'),
  ('LS10', '10T', '', 0, 'Einzug 10 Tage nach Rechnungsdatum');
INSERT INTO "Muster GmbH$Payment Method" ([Code], [Description], [Direct Debit]) VALUES
  ('UEBERW', 'Überweisung', 0), ('EINZUG', 'SEPA-Lastschrift', 1), ('BAR', 'Barzahlung', 0);

INSERT INTO "Muster GmbH$Customer" ([No_], [Name], [Address], [Post Code], [City], [Country_Region Code], [Phone No_],
  [E-Mail], [GLN], [VAT Registration No_], [Payment Terms Code], [Payment Method Code], [Currency Code]) VALUES
  ('D10000', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', '80331', 'München', 'DE', '089 4711',
   'info@baeckerei-schmidt.de; rechnung@baeckerei-schmidt.de', '', 'DE 811 234 567', '14T2%', 'UEBERW', ''),
  ('D20000', 'Landratsamt Musterkreis', 'Kreishausplatz 1', '53721', 'Siegburg', 'DE', '02241 13-0',
   'poststelle@musterkreis.de', '', '', '30T', 'UEBERW', ''),
  ('D21000', 'Gemeinde Kleinhausen', 'Rathausplatz 1', '', 'Kleinhausen', 'DE', '07621 4080',
   'rechnungen@kleinhausen.de', '', '', '30T', 'UEBERW', ''),
  ('D20010', 'Kreisschule Musterkreis', 'Schulweg 4', '53721', 'Siegburg', 'DE', '02241 13-500',
   'sekretariat@kreisschule-musterkreis.de', '', '', '30T', 'UEBERW', ''),
  ('D30000', 'Van der Berg Horeca B.V.', 'Keizersgracht 221', '1016 DV', 'Amsterdam', 'NL', '+31 20 5550123',
   'info@vanderberg.nl', '8712345000004', 'NL 8547 12345 B01', '30T', 'UEBERW', ''),
  ('D40000', 'Krause Bau GmbH', 'Am Werkhof 7', '04109', 'Leipzig', 'DE', '0341 99887',
   'Zentrale: info@krause-bau.de, Rechnungen an: buchhaltung@krause-bau.de', '', 'DE 298 765 432', '30T', 'UEBERW', ''),
  ('D50000', 'Hotel Alpenblick AG', 'Bahnhofstrasse 18', '3800', 'Interlaken', 'CH', '+41 33 8261010',
   'admin@alpenblick.ch', '', 'CHE-123.456.789 MWST', '30T', 'UEBERW', 'CHF'),
  ('D60000', 'Lakeside Instruments Inc.', '400 N Michigan Ave', 'IL 60611', 'Chicago', 'USA', '+1 312 5550199',
   'ap@lakeside-instruments.com', '', '', 'SOFORT', 'UEBERW', 'USD'),
  ('D70000', 'Praxis Dr. Weber', 'Lindenallee 23', '50968', 'Köln', 'DE', '0221 380012',
   'praxis@dr-weber-koeln.de', '', '', 'LS10', 'EINZUG', ''),
  ('D80000', 'Weinhandlung Vogel', 'Marktplatz 2', '97070', 'Würzburg', 'DE', '0931 51515',
   'kontakt@weinhandlung-vogel.de', '', 'DE 134 679 258', 'SOFORT', 'UEBERW', ''),
  ('D90000', 'Elektro Maier GmbH', 'Gewerbering 40', '86167', 'Augsburg', 'DE', '0821 7070',
   'buchhaltung@elektro-maier.de', '4098765000006', 'DE 276 543 219', '14T2%', 'UEBERW', ''),
  ('D95000', 'Hausverwaltung Becker', 'Rosenweg 9', '01067', 'Dresden', 'DE', '0351 123123',
   '', '', '', '30T', 'UEBERW', ''),
  ('D96000', 'Zakład Gastronomiczny „Źródło” Sp. z o.o.', 'ul. Piotrkowska 104', '90-926', 'Łódź', 'PL', '+48 42 6381000',
   'faktury@zrodlo-gastro.pl', '', 'PL 7251234567', '30T', 'UEBERW', '');

INSERT INTO "Muster GmbH$Contact" ([No_], [Name], [Company No_], [E-Mail]) VALUES
  ('KT0001', 'Kämmerei Musterkreis', 'KT0000', 'kaemmerei@musterkreis.de'),
  ('KT0002', 'Amt für Schulen', 'KT0000', 'schulamt@musterkreis.de'),
  ('KT0003', 'Herr Bauer (Einkauf)', 'KT0010', '');

-- Invoice recipients of the CMNM add-on: two for the district office (one typed in, one
-- from its contact), plus rows of other document types, source types and copy recipients.
INSERT INTO "Muster GmbH$CMNM Recipient" ([Source Type], [Source Code], [Document Type], [Line No_], [Recipient Type], [Contact No_], [Custom Address]) VALUES
  (1, 'D20000', 'VK-RECHNUNG', 10000, 0, '', 'rechnungseingang@musterkreis.de'),
  (1, 'D20000', 'VK-RECHNUNG', 20000, 0, 'KT0001', ''),
  (1, 'D20000', 'VK-RECHNUNG', 30000, 1, 'KT0002', ''),
  (1, 'D20000', 'VK-MAHNUNG', 10000, 0, '', 'mahnwesen@musterkreis.de'),
  (2, 'D20000', 'VK-RECHNUNG', 10000, 0, '', 'lieferant@musterkreis.de'),
  (1, 'D90000', 'VK-RECHNUNG', 10000, 0, 'KT0003', '');

-- Document layouts: the Dutch customer wants invoices to two mailboxes; sequence 1 wins.
INSERT INTO "Muster GmbH$Custom Report Selection" ([Source Type], [Source No_], [Usage], [Sequence], [Report ID], [Send To Email]) VALUES
  (18, 'D30000', 2, 2, 1306, 'invoices@vanderberg.nl'),
  (18, 'D30000', 2, 1, 1306, 'facturen@vanderberg.nl; crediteuren@vanderberg.nl'),
  (18, 'D30000', 1, 1, 1304, 'verkoop@vanderberg.nl'),
  (18, 'D80000', 2, 1, 1306, '');

INSERT INTO "Muster GmbH$Customer Bank Account" ([Customer No_], [Code], [Name], [IBAN], [SWIFT Code]) VALUES
  ('D70000', 'BANK0', 'Altes Konto (aufgelöst)', '', ''),
  ('D70000', 'BANK1', 'Deutsche Bank Köln', 'DE13 4306 0967 1234 5678 90', 'GENODEM1GLS'),
  ('D70000', 'BANK2', 'Sparkasse KölnBonn', 'DE61 7605 0101 0012 3456 78', 'SSKNDE77XXX'),
  ('D10000', 'HAUSBANK', 'Stadtsparkasse München', 'DE02 1203 0000 0000 2020 51', 'BYLADEM1001');
INSERT INTO "Muster GmbH$SEPA Direct Debit Mandate" ([ID], [Customer No_], [Customer Bank Account Code], [Valid From], [Date of Signature], [Type of Payment]) VALUES
  ('MANDAT-D70000-02', 'D70000', 'BANK2', '2023-06-01 00:00:00', '2023-05-24 00:00:00', 1);

INSERT INTO "Muster GmbH$Sales Invoice Header" ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name],
  [Bill-to Name 2], [Bill-to Address], [Bill-to Address 2], [Bill-to City], [Bill-to Contact], [Bill-to Post Code],
  [Bill-to Country_Region Code], [Your Reference], [Ship-to Code], [Ship-to Name], [Ship-to Address], [Ship-to City],
  [Ship-to Contact], [Ship-to Post Code], [Ship-to Country_Region Code], [Order Date], [Posting Date], [Shipment Date],
  [Document Date], [Due Date], [Payment Discount _], [Pmt_ Discount Date], [Posting Description], [Payment Terms Code],
  [Payment Method Code], [Currency Code], [Currency Factor], [Prices Including VAT], [Order No_], [External Document No_],
  [VAT Registration No_], [Direct Debit Mandate ID], [Sell-to Customer Name], [User ID]) VALUES
  ('RE24-0001', 'D10000', 'D10000', 'Bäckerei Schmidt GmbH & Co. KG', 'Filiale Schwabing', 'Hauptstraße 5', '', 'München', 'Frau Schmidt', '80331',
   'DE', 'Bestellung Filiale 3', '', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', 'München', 'Frau Schmidt', '80331', 'DE',
   '2024-02-26 00:00:00', '2024-03-04 00:00:00', '2024-03-01 00:00:00', '2024-03-04 00:00:00', '2024-04-03 00:00:00', 2, '2024-03-18 00:00:00',
   'Rechnung RE24-0001', '14T2%', 'UEBERW', '', 0, 0, 'AU24-0117', 'BS-2024-0815', 'DE 811 234 567', '', 'Bäckerei Schmidt GmbH & Co. KG', 'MUSTER\KLEIN'),
  ('RE24-0002', 'D20000', 'D20000', 'Landratsamt Musterkreis', 'Zentrale Vergabestelle', 'Kreishausplatz 1', '', 'Siegburg', 'Herr Albers', '53721',
   'DE', 'Vergabe 2024-117', '', 'Landratsamt Musterkreis', 'Kreishausplatz 1', 'Siegburg', 'Herr Albers', '53721', 'DE',
   '2024-02-20 00:00:00', '2024-03-05 00:00:00', '2024-03-05 00:00:00', '2024-03-05 00:00:00', '2024-04-04 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0002', '30T', 'UEBERW', '', 0, 0, 'AU24-0120', 'BANF 4711-2024', '', '', 'Landratsamt Musterkreis', 'MUSTER\KLEIN'),
  ('RE24-0003', 'D20000', 'D20010', 'Kreisschule Musterkreis', '', 'Schulweg 4', '', 'Siegburg', 'Frau Dr. Lenz', '53721',
   'DE', 'Ausstattung Mensa', '', 'Kreisschule Musterkreis', 'Schulweg 4', 'Siegburg', '', '53721', 'DE',
   '2024-02-28 00:00:00', '2024-03-07 00:00:00', '2024-03-06 00:00:00', '2024-03-07 00:00:00', '2024-04-06 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0003', '30T', 'UEBERW', '', 0, 0, 'AU24-0125', '', '', '', 'Landratsamt Musterkreis', 'MUSTER\KLEIN'),
  ('RE24-0004', 'D30000', 'D30000', 'Van der Berg Horeca B.V.', '', 'Keizersgracht 221', '', 'Amsterdam', 'Mevr. De Vries', '1016 DV',
   'NL', 'PO 2024-0042', 'ROTTERDAM', 'Van der Berg Horeca B.V. Magazijn', 'Waalhaven Oostzijde 85', 'Rotterdam', 'Dhr. Jansen', '3087 BM', 'NL',
   '2024-03-01 00:00:00', '2024-03-11 00:00:00', '2024-03-08 00:00:00', '2024-03-11 00:00:00', '2024-04-10 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0004', '30T', 'UEBERW', '', 0, 0, 'AU24-0131', 'PO-2024-0042', 'NL 8547 12345 B01', '', 'Van der Berg Horeca B.V.', 'MUSTER\KLEIN'),
  ('RE24-0005', 'D40000', 'D40000', 'Krause Bau GmbH', '', 'Am Werkhof 7', '', 'Leipzig', '', '04109',
   'DE', 'BV Lindenau', '', 'Krause Bau GmbH', 'Am Werkhof 7', 'Leipzig', '', '04109', 'DE',
   '2024-03-01 00:00:00', '2024-03-12 00:00:00', '2024-03-12 00:00:00', '2024-03-12 00:00:00', '2024-04-11 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0005', '30T', 'UEBERW', '', 0, 0, 'AU24-0133', '', 'DE 298 765 432', '', 'Krause Bau GmbH', 'MUSTER\KLEIN'),
  ('RE24-0006', 'D50000', 'D50000', 'Hotel Alpenblick AG', '', 'Bahnhofstrasse 18', '', 'Interlaken', 'Herr Steiner', '3800',
   'CH', 'Bestellung 88/24', '', 'Hotel Alpenblick AG', 'Bahnhofstrasse 18', 'Interlaken', 'Herr Steiner', '3800', 'CH',
   '2024-03-04 00:00:00', '2024-03-14 00:00:00', '2024-03-13 00:00:00', '2024-03-14 00:00:00', '2024-04-13 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0006', '30T', 'UEBERW', 'CHF', 0.9612, 0, 'AU24-0135', '88/24', 'CHE-123.456.789 MWST', '', 'Hotel Alpenblick AG', 'MUSTER\KLEIN'),
  ('RE24-0007', 'D60000', 'D60000', 'Lakeside Instruments Inc.', 'Accounts Payable', '400 N Michigan Ave', 'Suite 1200', 'Chicago', 'Ms. Carter', 'IL 60611',
   'USA', 'PO 7781', '', 'Lakeside Instruments Inc.', '400 N Michigan Ave', 'Chicago', '', 'IL 60611', 'USA',
   '2024-03-05 00:00:00', '2024-03-15 00:00:00', '2024-03-15 00:00:00', '2024-03-15 00:00:00', '2024-03-15 00:00:00', 0, '1753-01-01 00:00:00',
   'Invoice RE24-0007', 'SOFORT', 'UEBERW', 'USD', 1.0872, 0, 'AU24-0137', 'PO-7781', '', '', 'Lakeside Instruments Inc.', 'MUSTER\KLEIN'),
  ('RE24-0008', 'D70000', 'D70000', 'Praxis Dr. Weber', '', '', 'Lindenallee 23', 'Köln', '', '50968',
   'DE', '', '', 'Praxis Dr. Weber', '', 'Köln', '', '50968', 'DE',
   '2024-03-15 00:00:00', '2024-03-18 00:00:00', '2024-03-18 00:00:00', '2024-03-18 00:00:00', '2024-03-28 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0008', 'LS10', 'EINZUG', '', 0, 0, 'AU24-0140', '', '', 'MANDAT-D70000-02', 'Praxis Dr. Weber', 'MUSTER\KLEIN'),
  ('RE24-0009', 'D80000', 'D80000', 'Weinhandlung Vogel', '', 'Marktplatz 2', '', 'Würzburg', 'Herr Vogel', '97070',
   'DE', 'Thekenverkauf', '', 'Weinhandlung Vogel', 'Marktplatz 2', 'Würzburg', '', '97070', 'DE',
   '2024-03-19 00:00:00', '2024-03-19 00:00:00', '2024-03-19 00:00:00', '2024-03-19 00:00:00', '2024-03-19 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0009', 'SOFORT', 'BAR', '', 0, 1, '', '', 'DE 134 679 258', '', 'Weinhandlung Vogel', 'MUSTER\KLEIN'),
  ('RE24-0010', 'D90000', 'D90000', 'Elektro Maier GmbH', '', 'Gewerbering 40', '', 'Augsburg', 'Herr Maier jun.', '86167',
   'DE', 'Neuausstattung Filialen', '', 'Elektro Maier GmbH', 'Gewerbering 40', 'Augsburg', '', '86167', 'DE',
   '2024-03-11 00:00:00', '2024-03-21 00:00:00', '2024-03-20 00:00:00', '2024-03-21 00:00:00', '2024-04-20 00:00:00', 2, '2024-04-04 00:00:00',
   'Rechnung RE24-0010', '14T2%', 'UEBERW', '', 0, 0, 'AU24-0142', 'EM-4410', 'DE 276 543 219', '', 'Elektro Maier GmbH', 'MUSTER\KLEIN'),
  ('RE24-0011', 'D10000', 'D10000', 'Bäckerei Schmidt GmbH & Co. KG', '', 'Hauptstraße 5', '', 'München', 'Frau Schmidt', '80331',
   'DE', 'Nachlieferung', '', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', 'München', '', '80331', 'DE',
   '2024-03-20 00:00:00', '2024-03-25 00:00:00', '2024-03-25 00:00:00', '2024-03-25 00:00:00', '2024-04-24 00:00:00', 2, '2024-04-08 00:00:00',
   'Rechnung RE24-0011', '14T2%', 'UEBERW', '', 0, 0, 'AU24-0150', '', 'DE 811 234 567', '', 'Bäckerei Schmidt GmbH & Co. KG', 'MUSTER\KLEIN'),
  ('RE24-0012', 'D95000', 'D95000', 'Hausverwaltung Becker', '', 'Rosenweg 9', '', 'Dresden', '', '01067',
   '', '', '', 'Hausverwaltung Becker', 'Rosenweg 9', 'Dresden', '', '01067', '',
   '1753-01-01 00:00:00', '2024-03-28 00:00:00', '2024-03-28 00:00:00', '1753-01-01 00:00:00', '2024-04-27 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0012', '30T', 'UEBERW', '', 0, 0, '', '', '', '', 'Hausverwaltung Becker', 'MUSTER\KLEIN'),
  ('RE24-0013', 'D10000', 'D10000', 'Bäckerei Schmidt GmbH & Co. KG', '', 'Hauptstraße 5', '', 'München', '', '80331',
   'DE', '', '', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', 'München', '', '80331', 'DE',
   '2024-03-31 00:00:00', '2024-03-31 00:00:00', '2024-03-31 00:00:00', '2024-03-31 00:00:00', '2024-04-30 00:00:00', 2, '2024-04-14 00:00:00',
   'Rechnung RE24-0013', '14T2%', 'UEBERW', '', 0, 0, '', '', 'DE 811 234 567', '', 'Bäckerei Schmidt GmbH & Co. KG', 'MUSTER\KLEIN'),
  ('RE24-0014', 'D20000', 'D20000', 'Landratsamt Musterkreis', '', 'Kreishausplatz 1', '', 'Siegburg', '', '53721',
   'DE', 'Vergabe 2024-131', '', 'Landratsamt Musterkreis', 'Kreishausplatz 1', 'Siegburg', '', '53721', 'DE',
   '2024-03-27 00:00:00', '2024-04-02 00:00:00', '2024-04-02 00:00:00', '2024-04-02 00:00:00', '2024-05-02 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0014', '30T', 'UEBERW', '', 0, 0, '', '', '', '', 'Landratsamt Musterkreis', 'MUSTER\KLEIN'),
  ('RE24-0015', 'D40000', 'D40000', 'Krause Bau GmbH', '', 'Am Werkhof 7', '', 'Leipzig', '', '04109',
   'DE', 'BV Plagwitz', '', 'Krause Bau GmbH', 'Am Werkhof 7', 'Leipzig', '', '04109', 'DE',
   '2024-02-20 00:00:00', '2024-02-27 00:00:00', '2024-02-27 00:00:00', '2024-02-27 00:00:00', '2024-03-28 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0015', '30T', 'UEBERW', '', 0, 0, '', '', 'DE 298 765 432', '', 'Krause Bau GmbH', 'MUSTER\KLEIN'),
  ('RE24-0016', 'D96000', 'D96000', 'Zakład Gastronomiczny „Źródło” Sp. z o.o.', 'Dział Zakupów', 'ul. Piotrkowska 104', '', 'Łódź', 'Pani Żaneta Wójcik', '90-926',
   'PL', 'Zamówienie 2024/03/117', '', 'Zakład Gastronomiczny „Źródło” Sp. z o.o.', 'ul. Piotrkowska 104', 'Łódź', 'Pan Łukasz Szczęsny', '90-926', 'PL',
   '2024-03-15 00:00:00', '2024-03-26 00:00:00', '2024-03-22 00:00:00', '2024-03-26 00:00:00', '2024-04-25 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0016', '30T', 'UEBERW', '', 0, 0, 'AU24-0152', 'ZG-117/2024', 'PL 7251234567', '', 'Zakład Gastronomiczny „Źródło” Sp. z o.o.', 'MUSTER\KLEIN'),
  -- public-sector customer whose address lacks the postcode XRechnung requires
  ('RE24-0017', 'D21000', 'D21000', 'Gemeinde Kleinhausen', 'Bauamt', 'Rathausplatz 1', '', 'Kleinhausen', 'Herr Brenner', '',
   'DE', 'Bauamt 2024-019', '', 'Gemeinde Kleinhausen', 'Rathausplatz 1', 'Kleinhausen', 'Herr Brenner', '', 'DE',
   '2024-03-18 00:00:00', '2024-03-20 00:00:00', '2024-03-20 00:00:00', '2024-03-20 00:00:00', '2024-04-19 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0017', '30T', 'UEBERW', '', 0, 0, 'AU24-0149', '', '', '', 'Gemeinde Kleinhausen', 'MUSTER\KLEIN');

-- Credit memos ("Rechnungskorrektur"): a full correction, a partial one over two VAT rates,
-- one without reference (a bonus), one in a foreign currency, one for the Leitweg customer.
INSERT INTO "Muster GmbH$Sales Cr_Memo Header" ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name],
  [Bill-to Name 2], [Bill-to Address], [Bill-to City], [Bill-to Contact], [Bill-to Post Code], [Bill-to Country_Region Code],
  [Your Reference], [Ship-to Name], [Ship-to Address], [Ship-to City], [Ship-to Post Code], [Ship-to Country_Region Code],
  [Posting Date], [Shipment Date], [Document Date], [Due Date], [Posting Description], [Payment Terms Code],
  [Payment Method Code], [Currency Code], [Currency Factor], [External Document No_], [VAT Registration No_],
  [Sell-to Customer Name], [User ID], [Applies-to Doc_ Type], [Applies-to Doc_ No_], [Reason Code], [Return Order No_],
  [Pre-Assigned No_]) VALUES
  ('GS24-0001', 'D10000', 'D10000', 'Bäckerei Schmidt GmbH & Co. KG', '', 'Hauptstraße 5', 'München', 'Frau Schmidt', '80331', 'DE',
   'Storno RE24-0013', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', 'München', '80331', 'DE',
   '2024-04-05 00:00:00', '2024-04-05 00:00:00', '2024-04-05 00:00:00', '1753-01-01 00:00:00', 'Gutschrift GS24-0001', '30T',
   'UEBERW', '', 0, '', 'DE 811 234 567', 'Bäckerei Schmidt GmbH & Co. KG', 'MUSTER\KLEIN', 2, 'RE24-0013', 'STORNO', '', 'VGS24-0011'),
  ('GS24-0002', 'D10000', 'D10000', 'Bäckerei Schmidt GmbH & Co. KG', 'Filiale Schwabing', 'Hauptstraße 5', 'München', 'Frau Schmidt', '80331', 'DE',
   'Rücksendung Filiale 3', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', 'München', '80331', 'DE',
   '2024-03-22 00:00:00', '2024-03-21 00:00:00', '2024-03-22 00:00:00', '1753-01-01 00:00:00', 'Gutschrift GS24-0002', '30T',
   'UEBERW', '', 0, 'BS-2024-0815', 'DE 811 234 567', 'Bäckerei Schmidt GmbH & Co. KG', 'MUSTER\KLEIN', 2, 'RE24-0001', 'RUECKGABE', 'RR24-0003', 'VGS24-0007'),
  ('GS24-0003', 'D90000', 'D90000', 'Elektro Maier GmbH', '', 'Gewerbering 40', 'Augsburg', 'Herr Maier jun.', '86167', 'DE',
   'Jahresbonus 2023', 'Elektro Maier GmbH', 'Gewerbering 40', 'Augsburg', '86167', 'DE',
   '2024-04-03 00:00:00', '1753-01-01 00:00:00', '2024-04-03 00:00:00', '1753-01-01 00:00:00', 'Gutschrift GS24-0003', '30T',
   'UEBERW', '', 0, '', 'DE 276 543 219', 'Elektro Maier GmbH', 'MUSTER\KLEIN', 0, '', 'BONUS', '', 'VGS24-0009'),
  ('GS24-0004', 'D50000', 'D50000', 'Hotel Alpenblick AG', '', 'Bahnhofstrasse 18', 'Interlaken', 'Herr Steiner', '3800', 'CH',
   'Bestellung 88/24', 'Hotel Alpenblick AG', 'Bahnhofstrasse 18', 'Interlaken', '3800', 'CH',
   '2024-03-28 00:00:00', '2024-03-28 00:00:00', '2024-03-28 00:00:00', '1753-01-01 00:00:00', 'Gutschrift GS24-0004', '30T',
   'UEBERW', 'CHF', 0.9612, '88/24', 'CHE-123.456.789 MWST', 'Hotel Alpenblick AG', 'MUSTER\KLEIN', 2, 'RE24-0006', 'PREIS', '', 'VGS24-0010'),
  ('GS24-0005', 'D20000', 'D20000', 'Landratsamt Musterkreis', '', 'Kreishausplatz 1', 'Siegburg', '', '53721', 'DE',
   'Vergabe 2024-131', 'Landratsamt Musterkreis', 'Kreishausplatz 1', 'Siegburg', '53721', 'DE',
   '2024-04-04 00:00:00', '2024-04-04 00:00:00', '2024-04-04 00:00:00', '1753-01-01 00:00:00', 'Gutschrift GS24-0005', '30T',
   'UEBERW', '', 0, '', '', 'Landratsamt Musterkreis', 'MUSTER\KLEIN', 2, 'RE24-0014', 'STUNDEN', '', 'VGS24-0012');

-- Lines are entered with quantity, price, discounts and rate; the amounts follow below
-- the way NAV posts them (line discount, invoice discount share, VAT per line).
CREATE TEMP TABLE demo_line (
  company TEXT, doc TEXT, line INTEGER, type INTEGER, no TEXT, descr TEXT, descr2 TEXT, uom_code TEXT, uom TEXT,
  qty REAL, price REAL, disc REAL, vat REAL, calc INTEGER, clause TEXT, inv_disc REAL, incl INTEGER);

INSERT INTO demo_line VALUES
  -- domestic 19 % and 7 %, text lines before and after, line and invoice discount
  ('M', 'RE24-0001', 10000, 0, '', 'Lieferung gemäß Ihrer Bestellung vom 26.02.2024', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  ('M', 'RE24-0001', 20000, 2, '1000', 'Brotkorb Edelstahl rund', 'Ø 28 cm', 'STK', 'Stück', 12, 14.90, 0, 19, 0, '', 3, 0),
  ('M', 'RE24-0001', 30000, 2, '1010', 'Tortenplatte Glas', '', 'STK', 'Stück', 6, 22.50, 10, 19, 0, '', 3, 0),
  ('M', 'RE24-0001', 40000, 2, '2000', 'Kaffeebohnen Espresso', 'Fairtrade, 1-kg-Beutel', 'KG', 'Kilogramm', 15, 18.40, 0, 7, 0, '', 3, 0),
  ('M', 'RE24-0001', 50000, 2, '2010', 'Backpapier Zuschnitt 40 x 60 cm', '', 'KARTON', 'Karton', 4, 31.75, 5, 19, 0, '', 3, 0),
  ('M', 'RE24-0001', 60000, 2, '2020', 'Rohrzucker Portionssticks', '', 'KARTON', 'Karton', 3, 12.95, 0, 7, 0, '', 3, 0),
  ('M', 'RE24-0001', 70000, 0, '', 'Vielen Dank für Ihren Auftrag!', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  -- public sector: hours and an exempt training
  ('M', 'RE24-0002', 10000, 3, 'BERATUNG', 'Beratung Küchenplanung Kantine', 'Vor-Ort-Termin 27.02.2024', 'STD', 'Stunde', 6.5, 95.00, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0002', 20000, 2, '3000', 'Spülmaschinenkörbe 50 x 50', '', 'STK', 'Stück', 20, 17.80, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0002', 30000, 3, 'SCHULUNG', 'Hygieneschulung nach § 4 LMHV', 'umsatzsteuerfrei nach § 4 Nr. 21 UStG', 'PAUSCHAL', 'Pauschal', 1, 480.00, 0, 0, 0, 'STEUERFREI', 0, 0),
  -- sell-to customer carries the Leitweg-ID
  ('M', 'RE24-0003', 10000, 2, '4000', 'Speiseausgabe Edelstahl', 'inkl. Wärmebrücke', 'STK', 'Stück', 1, 2380.00, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0003', 20000, 2, '4010', 'Tablett GN 1/1 Polycarbonat', '', 'STK', 'Stück', 120, 6.45, 0, 19, 0, '', 0, 0),
  -- intra-community supply, VAT id of the buyer, ship-to elsewhere
  ('M', 'RE24-0004', 10000, 2, '1000', 'Brotkorb Edelstahl rund', 'Ø 28 cm', 'STK', 'Stück', 40, 14.90, 5, 0, 0, 'EU-LIEF', 0, 0),
  ('M', 'RE24-0004', 20000, 2, '5000', 'Gastro-Thermobox 40 l', '', 'STK', 'Stück', 10, 119.00, 5, 0, 0, 'EU-LIEF', 0, 0),
  ('M', 'RE24-0004', 30000, 1, '8400', 'Frachtkosten Spedition', '', 'PAUSCHAL', 'Pauschal', 1, 185.00, 0, 0, 0, 'EU-LIEF', 0, 0),
  -- reverse charge for construction services
  ('M', 'RE24-0005', 10000, 0, '', 'Montage Großküche Bauvorhaben Lindenau', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  ('M', 'RE24-0005', 20000, 3, 'MONTAGE', 'Montageleistung Edelstahlarbeitsplatten', '', 'STD', 'Stunde', 24, 78.00, 0, 0, 1, 'REVERSE', 0, 0),
  ('M', 'RE24-0005', 30000, 2, '6000', 'Edelstahl-Abdeckleiste', '', 'M', 'Meter', 18.5, 24.60, 0, 0, 1, 'REVERSE', 0, 0),
  ('M', 'RE24-0005', 40000, 0, '', 'Steuerschuldnerschaft des Leistungsempfängers nach § 13b UStG.', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  -- export to Switzerland in CHF
  ('M', 'RE24-0006', 10000, 2, '7000', 'Frühstücksbuffet-Set Porzellan', '', 'STK', 'Stück', 8, 389.00, 0, 0, 0, 'AUSFUHR', 0, 0),
  ('M', 'RE24-0006', 20000, 2, '7010', 'Warmhaltebehälter 9 l', '', 'STK', 'Stück', 4, 214.50, 0, 0, 0, 'AUSFUHR', 0, 0),
  -- export to the USA in USD
  ('M', 'RE24-0007', 10000, 2, '7100', 'Laboratory glass beaker set', '250 ml, 12 pcs', 'PAK', 'Paket', 25, 46.80, 0, 0, 0, 'AUSFUHR', 0, 0),
  ('M', 'RE24-0007', 20000, 1, '8400', 'Freight and insurance', '', 'PAUSCHAL', 'Pauschal', 1, 320.00, 0, 0, 0, 'AUSFUHR', 0, 0),
  -- SEPA direct debit
  ('M', 'RE24-0008', 10000, 2, '8000', 'Desinfektionsmittel Flächen 5 l', '', 'L', 'Liter', 20, 6.95, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0008', 20000, 2, '8010', 'Einmalhandschuhe Nitril Gr. M', 'Box à 100 Stück', 'KARTON', 'Karton', 10, 8.49, 0, 19, 0, '', 0, 0),
  -- prices including VAT: posted VAT differs by one cent from basis x rate
  ('M', 'RE24-0009', 10000, 2, '9000', 'Kellnermesser Classic', '', 'STK', 'Stück', 1, 4.99, 0, 19, 0, '', 0, 1),
  ('M', 'RE24-0009', 20000, 2, '9000', 'Kellnermesser Classic', 'Gravur „Vogel“', 'STK', 'Stück', 1, 4.99, 0, 19, 0, '', 0, 1),
  ('M', 'RE24-0009', 30000, 2, '9000', 'Kellnermesser Classic', '', 'STK', 'Stück', 1, 4.99, 0, 19, 0, '', 0, 1),
  ('M', 'RE24-0009', 40000, 2, '9010', 'Weinbuch „Franken“', '', 'STK', 'Stück', 1, 24.90, 0, 7, 0, '', 0, 1),
  -- return of damaged goods, a charge with quantity 0, and a unit given only as text
  ('M', 'RE24-0011', 10000, 2, '1010', 'Tortenplatte Glas', 'Nachlieferung', 'STK', 'Stück', 2, 22.50, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0011', 20000, 2, '1010', 'Rücknahme Tortenplatte Glas (Bruch)', 'Gutschrift', 'STK', 'Stück', -1, 22.50, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0011', 30000, 1, '8410', 'Kleinmengenzuschlag', '', '', '', 0, 0, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0011', 40000, 2, '2030', 'Tortenspitzen Papier', 'Ø 32 cm', '', 'Stück', 500, 0.045, 0, 19, 0, '', 0, 0),
  -- no e-mail anywhere, blank document date
  ('M', 'RE24-0012', 10000, 2, '1000', 'Brotkorb Edelstahl rund', '', 'STK', 'Stück', 2, 14.90, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0013', 10000, 2, '2000', 'Kaffeebohnen Espresso', '', 'KG', 'Kilogramm', 5, 18.40, 0, 7, 0, '', 0, 0),
  ('M', 'RE24-0014', 10000, 3, 'BERATUNG', 'Beratung Hygienekonzept', '', 'STD', 'Stunde', 4, 95.00, 0, 19, 0, '', 0, 0),
  ('M', 'RE24-0015', 10000, 3, 'MONTAGE', 'Montageleistung Abzugshaube', '', 'STD', 'Stunde', 8, 78.00, 0, 0, 1, 'REVERSE', 0, 0),
  -- Polish customer, item texts in Czech, Greek and Cyrillic (intra-community supply)
  ('M', 'RE24-0016', 10000, 0, '', 'Dostawa zgodnie z zamówieniem – dziękujemy za współpracę!', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  ('M', 'RE24-0016', 20000, 2, '7200', 'Pivní sklenice Dvořák 0,5 l', 'řada Šumava, ručně foukané', 'STK', 'Stück', 24, 6.90, 0, 0, 0, 'EU-LIEF', 0, 0),
  ('M', 'RE24-0016', 30000, 2, '7210', 'Ελαιόλαδο εξαιρετικό παρθένο', 'Κρήτη, δοχείο 5 λίτρων', 'STK', 'Stück', 6, 54.00, 0, 0, 0, 'EU-LIEF', 0, 0),
  ('M', 'RE24-0016', 40000, 2, '7220', 'Самовар электрический', 'Тула, 3 литра, никель', 'STK', 'Stück', 2, 189.00, 0, 0, 0, 'EU-LIEF', 0, 0),
  -- Leitweg customer without postcode: XRechnung finding
  ('M', 'RE24-0017', 10000, 3, 'BERATUNG', 'Beratung Küchenausstattung Bürgerhaus', '', 'STD', 'Stunde', 3, 95.00, 0, 19, 0, '', 0, 0);

-- credit memos: positive amounts and quantities, as NAV posts them
INSERT INTO demo_line VALUES
  ('M', 'GS24-0001', 10000, 2, '2000', 'Kaffeebohnen Espresso', '', 'KG', 'Kilogramm', 5, 18.40, 0, 7, 0, '', 0, 0),
  ('M', 'GS24-0002', 10000, 0, '', 'Rücknahme beschädigter Ware aus Rechnung RE24-0001', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  ('M', 'GS24-0002', 20000, 2, '1000', 'Brotkorb Edelstahl rund', 'Ø 28 cm', 'STK', 'Stück', 2, 14.90, 0, 19, 0, '', 0, 0),
  ('M', 'GS24-0002', 30000, 2, '2000', 'Kaffeebohnen Espresso', 'Fairtrade, 1-kg-Beutel', 'KG', 'Kilogramm', 3, 18.40, 0, 7, 0, '', 0, 0),
  ('M', 'GS24-0003', 10000, 1, '8740', 'Jahresbonus 2023 laut Rahmenvereinbarung', '', 'PAUSCHAL', 'Pauschal', 1, 250.00, 0, 19, 0, '', 0, 0),
  ('M', 'GS24-0004', 10000, 2, '7010', 'Warmhaltebehälter 9 l', 'Preisnachlass wegen Lieferverzug', 'STK', 'Stück', 4, 21.45, 0, 0, 0, 'AUSFUHR', 0, 0),
  ('M', 'GS24-0005', 10000, 3, 'BERATUNG', 'Beratung Hygienekonzept', 'zu viel berechnete Stunde', 'STD', 'Stunde', 1, 95.00, 0, 19, 0, '', 0, 0);

-- The long invoice: 60 item lines between two text lines, for three printed pages.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)
INSERT INTO demo_line
SELECT 'M', 'RE24-0010', 10000 + i * 10000, 2, printf('E%04d', 100 + i),
       CASE i % 6 WHEN 0 THEN 'LED-Panel 60 x 60 cm, 36 W' WHEN 1 THEN 'Installationskabel NYM-J 3 x 1,5'
                  WHEN 2 THEN 'Schalterprogramm reinweiß, Wippe' WHEN 3 THEN 'Aufputz-Feuchtraumdose IP65'
                  WHEN 4 THEN 'Leitungsschutzschalter B16' ELSE 'Montagestunde Elektriker' END,
       printf('Filiale %d', 1 + (i - 1) / 12),
       CASE i % 6 WHEN 1 THEN 'M' WHEN 5 THEN 'STD' ELSE 'STK' END,
       CASE i % 6 WHEN 1 THEN 'Meter' WHEN 5 THEN 'Stunde' ELSE 'Stück' END,
       CASE i % 6 WHEN 1 THEN 50 + i WHEN 5 THEN 1.5 + (i % 3) ELSE 2 + i % 7 END,
       CASE i % 6 WHEN 0 THEN 49.90 WHEN 1 THEN 0.89 WHEN 2 THEN 7.35 WHEN 3 THEN 4.20 WHEN 4 THEN 6.15 ELSE 68.00 END,
       CASE WHEN i % 10 = 0 THEN 10 ELSE 0 END, 19, 0, '', 0, 0
FROM n;
INSERT INTO demo_line VALUES
  ('M', 'RE24-0010', 10000, 0, '', 'Ausstattung der Filialen 1 bis 5 laut Angebot AN24-0031', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  ('M', 'RE24-0010', 700000, 0, '', 'Die Montage erfolgte vom 11. bis 20.03.2024.', '', '', '', 0, 0, 0, 0, 0, '', 0, 0);

---------------------------------------------------------------------------- Nordwind Handels GmbH
INSERT INTO "Nordwind Handels GmbH$Company Information" ([Name], [Address], [Post Code], [City], [Country_Region Code],
  [Phone No_], [E-Mail], [Home Page], [VAT Registration No_], [Registration No_], [Bank Name], [IBAN], [SWIFT Code]) VALUES
  ('Nordwind Handels GmbH', 'Am Hafen 3', '24103', 'Kiel', '', '0431 909090', 'info@nordwind-handel.de',
   'www.nordwind-handel.de', 'DE 987 654 321', '20/456/78901', 'Förde Sparkasse', 'DE29 1001 0010 0987 6543 21', 'NOLADE21KIE');
INSERT INTO "Nordwind Handels GmbH$General Ledger Setup" ([LCY Code]) VALUES ('EUR');
INSERT INTO "Nordwind Handels GmbH$Country_Region" ([Code], [Name]) VALUES ('DE', 'Deutschland'), ('DK', 'Dänemark');
INSERT INTO "Nordwind Handels GmbH$Unit of Measure" ([Code], [Description], [International Standard Code]) VALUES
  ('STK', 'Stück', 'H87'), ('KG', 'Kilogramm', 'KGM');
INSERT INTO "Nordwind Handels GmbH$Payment Terms" ([Code], [Description]) VALUES ('30T', '30 Tage netto');
INSERT INTO "Nordwind Handels GmbH$Customer" ([No_], [Name], [Address], [Post Code], [City], [Country_Region Code], [E-Mail]) VALUES
  ('K100', 'Fischräucherei Jensen', 'Strandweg 1', '24376', 'Kappeln', 'DE', 'info@raeucherei-jensen.de'),
  ('K200', 'Segelschule Förde e.V.', 'Kiellinie 70', '24105', 'Kiel', 'DE', 'kasse@segelschule-foerde.de');
INSERT INTO "Nordwind Handels GmbH$Sales Invoice Header" ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name],
  [Bill-to Address], [Bill-to City], [Bill-to Post Code], [Bill-to Country_Region Code], [Posting Date], [Document Date], [Due Date],
  [Payment Terms Code], [Posting Description]) VALUES
  ('NW-1001', 'K100', 'K100', 'Fischräucherei Jensen', 'Strandweg 1', 'Kappeln', '24376', 'DE', '2024-03-06 00:00:00', '2024-03-06 00:00:00', '2024-04-05 00:00:00', '30T', 'Rechnung NW-1001'),
  ('NW-1002', 'K200', 'K200', 'Segelschule Förde e.V.', 'Kiellinie 70', 'Kiel', '24105', 'DE', '2024-03-13 00:00:00', '2024-03-13 00:00:00', '2024-04-12 00:00:00', '30T', 'Rechnung NW-1002'),
  ('NW-1003', 'K100', 'K100', 'Fischräucherei Jensen', 'Strandweg 1', 'Kappeln', '24376', 'DE', '2024-03-20 00:00:00', '2024-03-20 00:00:00', '2024-04-19 00:00:00', '30T', 'Rechnung NW-1003');
INSERT INTO demo_line VALUES
  ('N', 'NW-1001', 10000, 2, 'R-10', 'Räucherspäne Buche', '', 'KG', 'Kilogramm', 25, 3.20, 0, 19, 0, '', 0, 0),
  ('N', 'NW-1002', 10000, 2, 'S-20', 'Rettungsweste 150 N', '', 'STK', 'Stück', 6, 89.00, 0, 19, 0, '', 0, 0),
  ('N', 'NW-1003', 10000, 2, 'R-10', 'Räucherspäne Buche', '', 'KG', 'Kilogramm', 40, 3.20, 0, 19, 0, '', 0, 0),
  ('N', 'NW-1003', 20000, 2, 'R-30', 'Fischkisten Holz', '', 'STK', 'Stück', 12, 4.75, 0, 19, 0, '', 0, 0);
-- The second company has no CMNM add-on and no document layouts, and as an older
-- installation no credit-memo tables.
DROP TABLE "Nordwind Handels GmbH$CMNM Recipient";
DROP TABLE "Nordwind Handels GmbH$Custom Report Selection";
DROP TABLE "Nordwind Handels GmbH$Sales Cr_Memo Header";
DROP TABLE "Nordwind Handels GmbH$Sales Cr_Memo Line";

---------------------------------------------------------------------------- right-to-left texts
-- A customer in Dubai with an Arabic name and address, invoiced in May 2024 (outside the
-- March/April scenarios): an item with a Hebrew text, a mixed Latin/Arabic text line, an
-- Arabic text with brackets and an Arabic text with a German company name and digits.
INSERT INTO "Muster GmbH$Country_Region" ([Code], [Name], [EU Country_Region Code]) VALUES
  ('AE', 'Vereinigte Arabische Emirate', '');

INSERT INTO "Muster GmbH$Customer" ([No_], [Name], [Address], [Post Code], [City], [Country_Region Code], [Phone No_],
  [E-Mail], [GLN], [VAT Registration No_], [Payment Terms Code], [Payment Method Code], [Currency Code]) VALUES
  ('D98500', 'شركة الخليج للتجارة ذ.م.م', 'شارع الشيخ زايد 12', '00000', 'دبي', 'AE', '+971 4 3210000',
   'accounts@alkhaleej-trading.example', '', '', '30T', 'UEBERW', '');

INSERT INTO "Muster GmbH$Sales Invoice Header" ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name],
  [Bill-to Name 2], [Bill-to Address], [Bill-to Address 2], [Bill-to City], [Bill-to Contact], [Bill-to Post Code],
  [Bill-to Country_Region Code], [Your Reference], [Ship-to Code], [Ship-to Name], [Ship-to Address], [Ship-to City],
  [Ship-to Contact], [Ship-to Post Code], [Ship-to Country_Region Code], [Order Date], [Posting Date], [Shipment Date],
  [Document Date], [Due Date], [Payment Discount _], [Pmt_ Discount Date], [Posting Description], [Payment Terms Code],
  [Payment Method Code], [Currency Code], [Currency Factor], [Prices Including VAT], [Order No_], [External Document No_],
  [VAT Registration No_], [Direct Debit Mandate ID], [Sell-to Customer Name], [User ID]) VALUES
  ('RE24-0090', 'D98500', 'D98500', 'شركة الخليج للتجارة ذ.م.م', 'قسم المشتريات', 'شارع الشيخ زايد 12', 'برج الخليج، الطابق 7', 'دبي', 'السيد أحمد المنصوري', '00000',
   'AE', 'طلب 2024/117', '', 'شركة الخليج للتجارة ذ.م.م', 'شارع الشيخ زايد 12', 'دبي', 'السيد أحمد المنصوري', '00000', 'AE',
   '2024-04-29 00:00:00', '2024-05-06 00:00:00', '2024-05-06 00:00:00', '2024-05-06 00:00:00', '2024-06-05 00:00:00', 0, '1753-01-01 00:00:00',
   'Rechnung RE24-0090', '30T', 'UEBERW', '', 0, 0, 'AU24-0201', 'PO-2024-117', '', '', 'شركة الخليج للتجارة ذ.م.م', 'MUSTER\KLEIN');

INSERT INTO demo_line VALUES
  ('M', 'RE24-0090', 10000, 0, '', 'Lieferung laut Auftrag AU24-0201 – تسليم حسب الطلب رقم 117', '', '', '', 0, 0, 0, 0, 0, '', 0, 0),
  ('M', 'RE24-0090', 20000, 2, '7300', 'שולחן עבודה מעץ אלון', 'מידה 160 × 80 ס״מ', 'STK', 'Stück', 2, 420.00, 0, 0, 0, 'AUSFUHR', 0, 0),
  ('M', 'RE24-0090', 30000, 2, '7310', 'قطع غيار (مرتجع)', '', 'STK', 'Stück', 3, 85.00, 0, 0, 0, 'AUSFUHR', 0, 0),
  ('M', 'RE24-0090', 40000, 2, '7320', 'مضخة مياه من Pumpen Keller GmbH', '230 V، 50 Hz', 'STK', 'Stück', 1, 1290.00, 0, 0, 0, 'AUSFUHR', 0, 0);
-------------------------------------------------------------------- end of right-to-left texts

---------------------------------------------------------------------------- amounts
CREATE TEMP TABLE demo_amount AS
SELECT d.*, round(d.qty * d.price * (1 - d.disc / 100.0), 2) AS line_amount FROM demo_line d;
CREATE TEMP TABLE demo_posted AS
SELECT a.*, round(a.line_amount * a.inv_disc / 100.0, 2) AS inv_amount FROM demo_amount a;

INSERT INTO "Muster GmbH$Sales Invoice Line" ([Document No_], [Line No_], [Sell-to Customer No_], [Type], [No_],
  [Description], [Description 2], [Unit of Measure Code], [Unit of Measure], [Quantity], [Unit Price], [Line Discount _],
  [Line Discount Amount], [VAT _], [VAT Calculation Type], [VAT Clause Code], [Line Amount], [Inv_ Discount Amount],
  [Amount], [Amount Including VAT])
SELECT p.doc, p.line, h.[Sell-to Customer No_], p.type, p.no, p.descr, p.descr2, p.uom_code, p.uom, p.qty, p.price, p.disc,
       round(p.qty * p.price, 2) - p.line_amount, p.vat, p.calc, p.clause, p.line_amount, p.inv_amount,
       CASE WHEN p.incl = 1 THEN round((p.line_amount - p.inv_amount) / (1 + p.vat / 100.0), 2) ELSE p.line_amount - p.inv_amount END,
       CASE WHEN p.incl = 1 THEN p.line_amount - p.inv_amount ELSE round((p.line_amount - p.inv_amount) * (1 + p.vat / 100.0), 2) END
FROM demo_posted p JOIN "Muster GmbH$Sales Invoice Header" h ON h.[No_] = p.doc WHERE p.company = 'M';

INSERT INTO "Muster GmbH$Sales Cr_Memo Line" ([Document No_], [Line No_], [Sell-to Customer No_], [Type], [No_],
  [Description], [Description 2], [Unit of Measure Code], [Unit of Measure], [Quantity], [Unit Price], [Line Discount _],
  [Line Discount Amount], [VAT _], [VAT Calculation Type], [VAT Clause Code], [Line Amount], [Inv_ Discount Amount],
  [Amount], [Amount Including VAT])
SELECT p.doc, p.line, h.[Sell-to Customer No_], p.type, p.no, p.descr, p.descr2, p.uom_code, p.uom, p.qty, p.price, p.disc,
       round(p.qty * p.price, 2) - p.line_amount, p.vat, p.calc, p.clause, p.line_amount, p.inv_amount,
       p.line_amount - p.inv_amount, round((p.line_amount - p.inv_amount) * (1 + p.vat / 100.0), 2)
FROM demo_posted p JOIN "Muster GmbH$Sales Cr_Memo Header" h ON h.[No_] = p.doc WHERE p.company = 'M';

INSERT INTO "Nordwind Handels GmbH$Sales Invoice Line" ([Document No_], [Line No_], [Sell-to Customer No_], [Type], [No_],
  [Description], [Unit of Measure Code], [Unit of Measure], [Quantity], [Unit Price], [VAT _], [Line Amount], [Amount],
  [Amount Including VAT])
SELECT p.doc, p.line, h.[Sell-to Customer No_], p.type, p.no, p.descr, p.uom_code, p.uom, p.qty, p.price, p.vat,
       p.line_amount, p.line_amount, round(p.line_amount * (1 + p.vat / 100.0), 2)
FROM demo_posted p JOIN "Nordwind Handels GmbH$Sales Invoice Header" h ON h.[No_] = p.doc WHERE p.company = 'N';

-- A charge without quantity: NAV keeps its amount although quantity and price are 0.
UPDATE "Muster GmbH$Sales Invoice Line" SET [Amount] = 15.00, [Line Amount] = 15.00, [Amount Including VAT] = 17.85
 WHERE [Document No_] = 'RE24-0011' AND [Line No_] = 30000;

---------------------------------------------------------------------------- Muster GmbH: NAV's e-invoicing setup and posted-data cases
-- NAV's own tables for electronic documents (newer NAV versions; "Nordwind Handels GmbH"
-- as an older installation has none of them), a card, mandates, and one document per
-- case: card payment, direct debit without and with incomplete mandate data, a credit
-- memo of a direct-debit customer, delivery abroad for an EU VAT id, the Canary Islands,
-- an EU triangular trade, a Full VAT line, a ship-to address without name, NAV's tax
-- category with its clause, and a clause translated into the customer's language.
CREATE TABLE "Muster GmbH$VAT Posting Setup" (
  [VAT Bus_ Posting Group] TEXT NOT NULL, [VAT Prod_ Posting Group] TEXT NOT NULL,
  [VAT _] NUMERIC NOT NULL DEFAULT 0, [VAT Calculation Type] INTEGER NOT NULL DEFAULT 0,
  [Tax Category] TEXT NOT NULL DEFAULT '', [VAT Clause Code] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([VAT Bus_ Posting Group], [VAT Prod_ Posting Group])
);
CREATE TABLE "Muster GmbH$VAT Clause" (
  [Code] TEXT NOT NULL PRIMARY KEY, [Description] TEXT NOT NULL DEFAULT '', [Description 2] TEXT NOT NULL DEFAULT ''
);
CREATE TABLE "Muster GmbH$VAT Clause Translation" (
  [VAT Clause Code] TEXT NOT NULL, [Language Code] TEXT NOT NULL,
  [Description] TEXT NOT NULL DEFAULT '', [Description 2] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([VAT Clause Code], [Language Code])
);
CREATE TABLE "Muster GmbH$DO Payment Credit Card" (
  [No_] TEXT NOT NULL PRIMARY KEY, [Customer No_] TEXT NOT NULL DEFAULT '',
  [Card Number] TEXT NOT NULL DEFAULT '', [Name on Card] TEXT NOT NULL DEFAULT ''
);
ALTER TABLE "Muster GmbH$Sales Invoice Header" ADD COLUMN [Language Code] TEXT NOT NULL DEFAULT '';
ALTER TABLE "Muster GmbH$Sales Invoice Header" ADD COLUMN [Credit Card No_] TEXT NOT NULL DEFAULT '';
ALTER TABLE "Muster GmbH$Sales Cr_Memo Header" ADD COLUMN [Language Code] TEXT NOT NULL DEFAULT '';

INSERT INTO "Muster GmbH$VAT Posting Setup" ([VAT Bus_ Posting Group], [VAT Prod_ Posting Group], [VAT _],
  [VAT Calculation Type], [Tax Category], [VAT Clause Code]) VALUES
  ('INLAND', 'MWST19', 19, 0, 'S', ''),
  ('INLAND', 'SCHULUNG', 0, 0, 'E', 'BILDUNG'),
  ('EU', 'MWST19', 0, 0, 'K', 'EU-IGL'),
  ('INLAND', 'EUST', 19, 2, 'S', '');
INSERT INTO "Muster GmbH$VAT Clause" ([Code], [Description], [Description 2]) VALUES
  ('BILDUNG', 'Steuerfreie Bildungsleistung', 'nach § 4 Nr. 21 Buchst. a UStG'),
  ('EU-IGL', 'Steuerfreie innergemeinschaftliche Lieferung', 'nach § 4 Nr. 1 Buchst. b i. V. m. § 6a UStG');
INSERT INTO "Muster GmbH$VAT Clause Translation" ([VAT Clause Code], [Language Code], [Description], [Description 2]) VALUES
  ('EU-IGL', 'PLK', 'Wewnątrzwspólnotowa dostawa towarów zwolniona z podatku', 'art. 138 dyrektywy 2006/112/WE');
INSERT INTO "Muster GmbH$DO Payment Credit Card" ([No_], [Customer No_], [Card Number], [Name on Card]) VALUES
  ('KARTE-D90000', 'D90000', 'XXXX XXXX XXXX 4242', 'Elektro Maier GmbH');
INSERT INTO "Muster GmbH$Payment Method" ([Code], [Description], [Direct Debit]) VALUES ('KK', 'Kreditkarte', 0);
INSERT INTO "Muster GmbH$Country_Region" ([Code], [Name], [EU Country_Region Code]) VALUES
  ('FR', 'Frankreich', 'FR'), ('ES', 'Spanien', 'ES');
INSERT INTO "Muster GmbH$Customer" ([No_], [Name], [Address], [Post Code], [City], [Country_Region Code], [Phone No_],
  [E-Mail], [GLN], [VAT Registration No_], [Payment Terms Code], [Payment Method Code], [Currency Code]) VALUES
  ('D97000', 'Gastro Service Rhein SARL', 'Kaiser-Joseph-Straße 210', '79098', 'Freiburg im Breisgau', 'DE', '0761 55501',
   'compta@gastro-rhein.fr', '', 'FR 40 303265045', '30T', 'UEBERW', ''),
  ('D98000', 'Hotel Playa Canteras S.L.', 'Calle Tomás Miller 73', '35007', 'Las Palmas de Gran Canaria', 'ES', '+34 928 000111',
   'facturas@playacanteras.es', '', 'ES B35123456', '30T', 'UEBERW', '');
-- Mandate naming the old account without IBAN (only an old account number).
INSERT INTO "Muster GmbH$SEPA Direct Debit Mandate" ([ID], [Customer No_], [Customer Bank Account Code], [Valid From], [Date of Signature], [Type of Payment]) VALUES
  ('MANDAT-D70000-00', 'D70000', 'BANK0', '2019-01-01 00:00:00', '2018-12-12 00:00:00', 1);

INSERT INTO "Muster GmbH$Sales Invoice Header" ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name],
  [Bill-to Address], [Bill-to City], [Bill-to Post Code], [Bill-to Country_Region Code], [Your Reference],
  [Ship-to Code], [Ship-to Name], [Ship-to Address], [Ship-to City], [Ship-to Post Code], [Ship-to Country_Region Code],
  [Posting Date], [Shipment Date], [Document Date], [Due Date], [Posting Description], [Payment Terms Code],
  [Payment Method Code], [VAT Registration No_], [Direct Debit Mandate ID], [EU 3-Party Trade], [Language Code],
  [Credit Card No_], [Sell-to Customer Name]) VALUES
  ('RE24-0101', 'D90000', 'D90000', 'Elektro Maier GmbH', 'Gewerbering 40', 'Augsburg', '86167', 'DE', 'Kartenzahlung Messe',
   '', 'Elektro Maier GmbH', 'Gewerbering 40', 'Augsburg', '86167', 'DE',
   '2025-01-08 00:00:00', '2025-01-08 00:00:00', '2025-01-08 00:00:00', '2025-01-08 00:00:00', 'Rechnung RE24-0101', 'SOFORT',
   'KK', 'DE 276 543 219', '', 0, '', 'KARTE-D90000', 'Elektro Maier GmbH'),
  ('RE24-0102', 'D70000', 'D70000', 'Praxis Dr. Weber', 'Lindenallee 23', 'Köln', '50968', 'DE', '',
   '', 'Praxis Dr. Weber', 'Lindenallee 23', 'Köln', '50968', 'DE',
   '2025-01-09 00:00:00', '2025-01-09 00:00:00', '2025-01-09 00:00:00', '2025-01-19 00:00:00', 'Rechnung RE24-0102', 'LS10',
   'EINZUG', '', '', 0, '', '', 'Praxis Dr. Weber'),
  ('RE24-0103', 'D70000', 'D70000', 'Praxis Dr. Weber', 'Lindenallee 23', 'Köln', '50968', 'DE', '',
   '', 'Praxis Dr. Weber', 'Lindenallee 23', 'Köln', '50968', 'DE',
   '2025-01-10 00:00:00', '2025-01-10 00:00:00', '2025-01-10 00:00:00', '2025-01-20 00:00:00', 'Rechnung RE24-0103', 'LS10',
   'EINZUG', '', 'MANDAT-D70000-00', 0, '', '', 'Praxis Dr. Weber'),
  ('RE24-0104', 'D97000', 'D97000', 'Gastro Service Rhein SARL', 'Kaiser-Joseph-Straße 210', 'Freiburg im Breisgau', '79098', 'DE', 'Commande 2024-77',
   'STRASBOURG', 'Gastro Service Rhein SARL Entrepôt', '12 Rue du Port du Rhin', 'Strasbourg', '67000', 'FR',
   '2025-01-11 00:00:00', '2025-01-10 00:00:00', '2025-01-11 00:00:00', '2024-05-11 00:00:00', 'Rechnung RE24-0104', '30T',
   'UEBERW', 'FR 40 303265045', '', 0, '', '', 'Gastro Service Rhein SARL'),
  ('RE24-0105', 'D98000', 'D98000', 'Hotel Playa Canteras S.L.', 'Calle Tomás Miller 73', 'Las Palmas de Gran Canaria', '35007', 'ES', 'Pedido 2024-015',
   '', 'Hotel Playa Canteras S.L.', 'Calle Tomás Miller 73', 'Las Palmas de Gran Canaria', '35007', 'ES',
   '2025-01-12 00:00:00', '2025-01-11 00:00:00', '2025-01-12 00:00:00', '2024-05-12 00:00:00', 'Rechnung RE24-0105', '30T',
   'UEBERW', 'ES B35123456', '', 0, '', '', 'Hotel Playa Canteras S.L.'),
  ('RE24-0106', 'D30000', 'D30000', 'Van der Berg Horeca B.V.', 'Keizersgracht 221', 'Amsterdam', '1016 DV', 'NL', 'PO 2024-0051',
   '', 'Van der Berg Horeca B.V.', 'Keizersgracht 221', 'Amsterdam', '1016 DV', 'NL',
   '2025-01-15 00:00:00', '2025-01-12 00:00:00', '2025-01-15 00:00:00', '2024-05-15 00:00:00', 'Rechnung RE24-0106', '30T',
   'UEBERW', 'NL 8547 12345 B01', '', 1, '', '', 'Van der Berg Horeca B.V.'),
  ('RE24-0107', 'D80000', 'D80000', 'Weinhandlung Vogel', 'Marktplatz 2', 'Würzburg', '97070', 'DE', 'Import Franken-Atlas',
   '', 'Weinhandlung Vogel', 'Marktplatz 2', 'Würzburg', '97070', 'DE',
   '2025-01-16 00:00:00', '2025-01-16 00:00:00', '2025-01-16 00:00:00', '2024-05-16 00:00:00', 'Rechnung RE24-0107', '30T',
   'UEBERW', 'DE 134 679 258', '', 0, '', '', 'Weinhandlung Vogel'),
  ('RE24-0108', 'D40000', 'D40000', 'Krause Bau GmbH', 'Am Werkhof 7', 'Leipzig', '04109', 'DE', 'BV Lindenau',
   'BAUSTELLE', '', 'Baustelle Lützner Straße 90', 'Leipzig', '04177', 'DE',
   '2025-01-17 00:00:00', '2025-01-17 00:00:00', '2025-01-17 00:00:00', '2024-05-17 00:00:00', 'Rechnung RE24-0108', '30T',
   'UEBERW', 'DE 298 765 432', '', 0, '', '', 'Krause Bau GmbH'),
  ('RE24-0109', 'D10000', 'D10000', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', 'München', '80331', 'DE', 'Schulung Filialen',
   '', 'Bäckerei Schmidt GmbH & Co. KG', 'Hauptstraße 5', 'München', '80331', 'DE',
   '2025-01-18 00:00:00', '2025-01-18 00:00:00', '2025-01-18 00:00:00', '2024-05-18 00:00:00', 'Rechnung RE24-0109', '30T',
   'UEBERW', 'DE 811 234 567', '', 0, '', '', 'Bäckerei Schmidt GmbH & Co. KG'),
  ('RE24-0110', 'D96000', 'D96000', 'Zakład Gastronomiczny „Źródło” Sp. z o.o.', 'ul. Piotrkowska 104', 'Łódź', '90-926', 'PL', 'Zamówienie 2024/04/031',
   '', 'Zakład Gastronomiczny „Źródło” Sp. z o.o.', 'ul. Piotrkowska 104', 'Łódź', '90-926', 'PL',
   '2025-01-19 00:00:00', '2025-01-18 00:00:00', '2025-01-19 00:00:00', '2024-05-19 00:00:00', 'Rechnung RE24-0110', '30T',
   'UEBERW', 'PL 7251234567', '', 0, 'PLK', '', 'Zakład Gastronomiczny „Źródło” Sp. z o.o.');

INSERT INTO "Muster GmbH$Sales Cr_Memo Header" ([No_], [Sell-to Customer No_], [Bill-to Customer No_], [Bill-to Name],
  [Bill-to Address], [Bill-to City], [Bill-to Post Code], [Bill-to Country_Region Code], [Your Reference],
  [Ship-to Name], [Ship-to Address], [Ship-to City], [Ship-to Post Code], [Ship-to Country_Region Code],
  [Posting Date], [Shipment Date], [Document Date], [Due Date], [Posting Description], [Payment Terms Code],
  [Payment Method Code], [Direct Debit Mandate ID], [Sell-to Customer Name], [Applies-to Doc_ Type], [Applies-to Doc_ No_]) VALUES
  ('GS24-0101', 'D70000', 'D70000', 'Praxis Dr. Weber', 'Lindenallee 23', 'Köln', '50968', 'DE', 'Rücksendung Desinfektion',
   'Praxis Dr. Weber', 'Lindenallee 23', 'Köln', '50968', 'DE',
   '2025-01-12 00:00:00', '2025-01-12 00:00:00', '2025-01-12 00:00:00', '2025-01-22 00:00:00', 'Gutschrift GS24-0101', 'LS10',
   'EINZUG', 'MANDAT-D70000-02', 'Praxis Dr. Weber', 2, 'RE24-0008');

-- Lines with the amounts as NAV posted them.
INSERT INTO "Muster GmbH$Sales Invoice Line" ([Document No_], [Line No_], [Sell-to Customer No_], [Type], [No_],
  [Description], [Unit of Measure Code], [Unit of Measure], [Quantity], [Unit Price], [VAT _], [VAT Calculation Type],
  [VAT Bus_ Posting Group], [VAT Prod_ Posting Group], [VAT Clause Code], [Line Amount], [Amount], [Amount Including VAT]) VALUES
  ('RE24-0101', 10000, 'D90000', 2, '1000', 'Brotkorb Edelstahl rund', 'STK', 'Stück', 10, 14.90, 19, 0, '', '', '', 149.00, 149.00, 177.31),
  ('RE24-0102', 10000, 'D70000', 2, '8000', 'Desinfektionsmittel Flächen 5 l', 'L', 'Liter', 10, 6.95, 19, 0, '', '', '', 69.50, 69.50, 82.71),
  ('RE24-0103', 10000, 'D70000', 2, '8010', 'Einmalhandschuhe Nitril Gr. M', 'KARTON', 'Karton', 5, 8.49, 19, 0, '', '', '', 42.45, 42.45, 50.52),
  ('RE24-0104', 10000, 'D97000', 2, '5000', 'Gastro-Thermobox 40 l', 'STK', 'Stück', 4, 119.00, 0, 0, '', '', '', 476.00, 476.00, 476.00),
  ('RE24-0105', 10000, 'D98000', 2, '7000', 'Frühstücksbuffet-Set Porzellan', 'STK', 'Stück', 2, 389.00, 0, 0, '', '', '', 778.00, 778.00, 778.00),
  ('RE24-0106', 10000, 'D30000', 2, '5000', 'Gastro-Thermobox 40 l', 'STK', 'Stück', 5, 119.00, 0, 0, '', '', '', 595.00, 595.00, 595.00),
  ('RE24-0107', 10000, 'D80000', 2, '9010', 'Weinbuch „Franken“', 'STK', 'Stück', 8, 25.00, 19, 0, 'INLAND', 'MWST19', '', 200.00, 200.00, 238.00),
  ('RE24-0107', 20000, 'D80000', 1, '1776', 'Einfuhrumsatzsteuer Nachbelastung', '', '', 1, 38.00, 19, 2, 'INLAND', 'EUST', '', 38.00, 0, 38.00),
  ('RE24-0108', 10000, 'D40000', 2, '6000', 'Edelstahl-Abdeckleiste', 'M', 'Meter', 10, 24.60, 19, 0, '', '', '', 246.00, 246.00, 292.74),
  ('RE24-0109', 10000, 'D10000', 2, '1000', 'Brotkorb Edelstahl rund', 'STK', 'Stück', 6, 14.90, 19, 0, 'INLAND', 'MWST19', '', 89.40, 89.40, 106.39),
  ('RE24-0109', 20000, 'D10000', 3, 'SCHULUNG', 'Hygieneschulung nach § 4 LMHV', 'PAUSCHAL', 'Pauschal', 1, 480.00, 0, 0, 'INLAND', 'SCHULUNG', '', 480.00, 480.00, 480.00),
  ('RE24-0110', 10000, 'D96000', 2, '7200', 'Pivní sklenice Dvořák 0,5 l', 'STK', 'Stück', 12, 6.90, 0, 0, 'EU', 'MWST19', '', 82.80, 82.80, 82.80);
INSERT INTO "Muster GmbH$Sales Cr_Memo Line" ([Document No_], [Line No_], [Sell-to Customer No_], [Type], [No_],
  [Description], [Unit of Measure Code], [Unit of Measure], [Quantity], [Unit Price], [VAT _], [VAT Calculation Type],
  [Line Amount], [Amount], [Amount Including VAT]) VALUES
  ('GS24-0101', 10000, 'D70000', 2, '8000', 'Desinfektionsmittel Flächen 5 l', 'L', 'Liter', 2, 6.95, 19, 0, 13.90, 13.90, 16.54);
---------------------------------------------------------------------------- end of NAV's e-invoicing setup and posted-data cases
