-- Database-wide NAV tables: object versions, service instances, database properties.
CREATE TABLE [Object] (
  [Type] INTEGER NOT NULL, [Company Name] TEXT NOT NULL DEFAULT '', [ID] INTEGER NOT NULL,
  [Name] TEXT NOT NULL DEFAULT '', [Modified] INTEGER NOT NULL DEFAULT 0,
  [Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00', [Time] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Version List] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([Type], [Company Name], [ID])
);
CREATE TABLE [Server Instance] (
  [Server Instance ID] INTEGER NOT NULL PRIMARY KEY,
  [Service Name] TEXT NOT NULL DEFAULT '', [Server Computer Name] TEXT NOT NULL DEFAULT '',
  [Last Active] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Server Instance Name] TEXT NOT NULL DEFAULT '', [Status] INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE [$ndo$dbproperty] ([databaseversionno] INTEGER NOT NULL, [license] BLOB);
