-- What the demo database looks like after the move to Business Central 23 (on-premises),
-- applied by make-bc-demo-db.sh once every per-company table carries its app id:
--   437dbf0e-84ff-417a-965d-ed2bb9650972  Microsoft's Base Application
--   5c1e7a4d-2b9f-4e36-a0c8-3d6f1b2e9a71  the CMNM add-on (its recipient table)
--   9d4b2f60-7c1a-4e58-b3d2-6a8e0f5c4b19  a partner app for card payments (its card table
--                                         and the card number on posted invoices)
-- From version 23 on, the fields that extensions add to a table live in one companion
-- table "<Company>$<Table>$<app id of the table>$ext", each column "<field>$<app id>".

CREATE TABLE "Muster GmbH$Sales Invoice Header$437dbf0e-84ff-417a-965d-ed2bb9650972$ext" (
  [No_] TEXT NOT NULL PRIMARY KEY,
  [Credit Card No_$9d4b2f60-7c1a-4e58-b3d2-6a8e0f5c4b19] TEXT NOT NULL DEFAULT ''
);
INSERT INTO "Muster GmbH$Sales Invoice Header$437dbf0e-84ff-417a-965d-ed2bb9650972$ext"
  SELECT [No_], [Credit Card No_] FROM "Muster GmbH$Sales Invoice Header$437dbf0e-84ff-417a-965d-ed2bb9650972";
ALTER TABLE "Muster GmbH$Sales Invoice Header$437dbf0e-84ff-417a-965d-ed2bb9650972" DROP COLUMN [Credit Card No_];

-- No C/AL objects any more: the version is the Base Application's.
DROP TABLE [Object];
CREATE TABLE [NAV App Installed App] (
  [App ID] TEXT NOT NULL PRIMARY KEY, [Package ID] TEXT NOT NULL DEFAULT '',
  [Name] TEXT NOT NULL DEFAULT '', [Publisher] TEXT NOT NULL DEFAULT '',
  [Version Major] INTEGER NOT NULL DEFAULT 0, [Version Minor] INTEGER NOT NULL DEFAULT 0,
  [Version Build] INTEGER NOT NULL DEFAULT 0, [Version Revision] INTEGER NOT NULL DEFAULT 0
);
INSERT INTO [NAV App Installed App] VALUES
  ('63ca2fa4-4f03-4f2b-a480-172fef340d3f', '1b0c5a7e-0d5e-4c56-9d0f-1c3b2a4d5e6f', 'System Application', 'Microsoft', 23, 5, 16502, 16887),
  ('437dbf0e-84ff-417a-965d-ed2bb9650972', '2c1d6b8f-1e6f-4d67-8e10-2d4c3b5e6f70', 'Base Application', 'Microsoft', 23, 5, 16502, 16887),
  ('5c1e7a4d-2b9f-4e36-a0c8-3d6f1b2e9a71', '3d2e7c90-2f70-4e78-9f21-3e5d4c6f7081', 'CMNM Empfänger', 'CMNM', 5, 2, 0, 0),
  ('9d4b2f60-7c1a-4e58-b3d2-6a8e0f5c4b19', '4e3f8da1-3081-4f89-a032-4f6e5d708192', 'Kartenzahlung', 'Partner', 1, 0, 3, 0);
UPDATE [Server Instance] SET [Server Instance Name] = 'BC230', [Service Name] = 'MicrosoftDynamicsNavServer$BC230',
  [Server Computer Name] = 'BCSRV01';
UPDATE [$ndo$dbproperty] SET [databaseversionno] = 230000;
