-- The NAV tables of one company, as Velkaro reads them, in SQLite form.
-- "@C@" stands for the company name (with any '"' doubled); make-demo-db.sh fills it in.
-- Conventions: NAV column names; text as TEXT; dates as TEXT 'YYYY-MM-DD HH:MM:SS'
-- (blank date '1753-01-01 00:00:00') in columns declared DATETIME; decimals as NUMERIC;
-- integers, options and flags as INTEGER. Columns are NOT NULL with NAV's defaults.

CREATE TABLE "@C@$Company Information" (
  [Primary Key] TEXT NOT NULL DEFAULT '' PRIMARY KEY,
  [Name] TEXT NOT NULL DEFAULT '', [Name 2] TEXT NOT NULL DEFAULT '',
  [Address] TEXT NOT NULL DEFAULT '', [Address 2] TEXT NOT NULL DEFAULT '',
  [Post Code] TEXT NOT NULL DEFAULT '', [City] TEXT NOT NULL DEFAULT '', [County] TEXT NOT NULL DEFAULT '',
  [Country_Region Code] TEXT NOT NULL DEFAULT '',
  [Phone No_] TEXT NOT NULL DEFAULT '', [Fax No_] TEXT NOT NULL DEFAULT '',
  [E-Mail] TEXT NOT NULL DEFAULT '', [Home Page] TEXT NOT NULL DEFAULT '',
  [VAT Registration No_] TEXT NOT NULL DEFAULT '', [Registration No_] TEXT NOT NULL DEFAULT '',
  [GLN] TEXT NOT NULL DEFAULT '',
  [Bank Name] TEXT NOT NULL DEFAULT '', [Bank Branch No_] TEXT NOT NULL DEFAULT '',
  [Bank Account No_] TEXT NOT NULL DEFAULT '', [IBAN] TEXT NOT NULL DEFAULT '', [SWIFT Code] TEXT NOT NULL DEFAULT ''
);

CREATE TABLE "@C@$General Ledger Setup" (
  [Primary Key] TEXT NOT NULL DEFAULT '' PRIMARY KEY,
  [LCY Code] TEXT NOT NULL DEFAULT '',
  [Amount Rounding Precision] NUMERIC NOT NULL DEFAULT 0.01
);

CREATE TABLE "@C@$Customer" (
  [No_] TEXT NOT NULL PRIMARY KEY,
  [Name] TEXT NOT NULL DEFAULT '', [Name 2] TEXT NOT NULL DEFAULT '',
  [Address] TEXT NOT NULL DEFAULT '', [Address 2] TEXT NOT NULL DEFAULT '',
  [Post Code] TEXT NOT NULL DEFAULT '', [City] TEXT NOT NULL DEFAULT '',
  [Country_Region Code] TEXT NOT NULL DEFAULT '',
  [Phone No_] TEXT NOT NULL DEFAULT '', [E-Mail] TEXT NOT NULL DEFAULT '', [GLN] TEXT NOT NULL DEFAULT '',
  [VAT Registration No_] TEXT NOT NULL DEFAULT '',
  [Payment Terms Code] TEXT NOT NULL DEFAULT '', [Payment Method Code] TEXT NOT NULL DEFAULT '',
  [Currency Code] TEXT NOT NULL DEFAULT '', [Blocked] INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE "@C@$Customer Bank Account" (
  [Customer No_] TEXT NOT NULL, [Code] TEXT NOT NULL,
  [Name] TEXT NOT NULL DEFAULT '', [IBAN] TEXT NOT NULL DEFAULT '', [SWIFT Code] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([Customer No_], [Code])
);

CREATE TABLE "@C@$SEPA Direct Debit Mandate" (
  [ID] TEXT NOT NULL PRIMARY KEY,
  [Customer No_] TEXT NOT NULL DEFAULT '', [Customer Bank Account Code] TEXT NOT NULL DEFAULT '',
  [Valid From] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Date of Signature] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Type of Payment] INTEGER NOT NULL DEFAULT 0, [Blocked] INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE "@C@$Payment Terms" (
  [Code] TEXT NOT NULL PRIMARY KEY, [Due Date Calculation] TEXT NOT NULL DEFAULT '',
  [Discount Date Calculation] TEXT NOT NULL DEFAULT '', [Discount _] NUMERIC NOT NULL DEFAULT 0,
  [Description] TEXT NOT NULL DEFAULT ''
);

CREATE TABLE "@C@$Payment Method" (
  [Code] TEXT NOT NULL PRIMARY KEY, [Description] TEXT NOT NULL DEFAULT '',
  [Direct Debit] INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE "@C@$Country_Region" (
  [Code] TEXT NOT NULL PRIMARY KEY, [Name] TEXT NOT NULL DEFAULT '', [EU Country_Region Code] TEXT NOT NULL DEFAULT ''
);

CREATE TABLE "@C@$Unit of Measure" (
  [Code] TEXT NOT NULL PRIMARY KEY, [Description] TEXT NOT NULL DEFAULT '',
  [International Standard Code] TEXT NOT NULL DEFAULT ''
);

CREATE TABLE "@C@$Contact" (
  [No_] TEXT NOT NULL PRIMARY KEY, [Name] TEXT NOT NULL DEFAULT '', [Company No_] TEXT NOT NULL DEFAULT '',
  [E-Mail] TEXT NOT NULL DEFAULT '', [Phone No_] TEXT NOT NULL DEFAULT ''
);

CREATE TABLE "@C@$Sales Invoice Header" (
  [No_] TEXT NOT NULL PRIMARY KEY,
  [Sell-to Customer No_] TEXT NOT NULL DEFAULT '', [Bill-to Customer No_] TEXT NOT NULL DEFAULT '',
  [Bill-to Name] TEXT NOT NULL DEFAULT '', [Bill-to Name 2] TEXT NOT NULL DEFAULT '',
  [Bill-to Address] TEXT NOT NULL DEFAULT '', [Bill-to Address 2] TEXT NOT NULL DEFAULT '',
  [Bill-to City] TEXT NOT NULL DEFAULT '', [Bill-to Contact] TEXT NOT NULL DEFAULT '',
  [Your Reference] TEXT NOT NULL DEFAULT '',
  [Ship-to Code] TEXT NOT NULL DEFAULT '',
  [Ship-to Name] TEXT NOT NULL DEFAULT '', [Ship-to Name 2] TEXT NOT NULL DEFAULT '',
  [Ship-to Address] TEXT NOT NULL DEFAULT '', [Ship-to Address 2] TEXT NOT NULL DEFAULT '',
  [Ship-to City] TEXT NOT NULL DEFAULT '', [Ship-to Contact] TEXT NOT NULL DEFAULT '',
  [Order Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Posting Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Shipment Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Posting Description] TEXT NOT NULL DEFAULT '',
  [Payment Terms Code] TEXT NOT NULL DEFAULT '',
  [Due Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Payment Discount _] NUMERIC NOT NULL DEFAULT 0,
  [Pmt_ Discount Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Shipment Method Code] TEXT NOT NULL DEFAULT '',
  [Currency Code] TEXT NOT NULL DEFAULT '', [Currency Factor] NUMERIC NOT NULL DEFAULT 0,
  [Prices Including VAT] INTEGER NOT NULL DEFAULT 0,
  [Salesperson Code] TEXT NOT NULL DEFAULT '', [Order No_] TEXT NOT NULL DEFAULT '',
  [VAT Registration No_] TEXT NOT NULL DEFAULT '',
  [Sell-to Customer Name] TEXT NOT NULL DEFAULT '',
  [Bill-to Post Code] TEXT NOT NULL DEFAULT '', [Bill-to County] TEXT NOT NULL DEFAULT '',
  [Bill-to Country_Region Code] TEXT NOT NULL DEFAULT '',
  [Ship-to Post Code] TEXT NOT NULL DEFAULT '', [Ship-to County] TEXT NOT NULL DEFAULT '',
  [Ship-to Country_Region Code] TEXT NOT NULL DEFAULT '',
  [EU 3-Party Trade] INTEGER NOT NULL DEFAULT 0,
  [Document Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [External Document No_] TEXT NOT NULL DEFAULT '',
  [Payment Method Code] TEXT NOT NULL DEFAULT '',
  [Direct Debit Mandate ID] TEXT NOT NULL DEFAULT '',
  [User ID] TEXT NOT NULL DEFAULT ''
);
-- NAV keys on the posting date and the bill-to customer.
CREATE INDEX "@C@$Sales Invoice Header$Posting Date" ON "@C@$Sales Invoice Header" ([Posting Date], [No_]);
CREATE INDEX "@C@$Sales Invoice Header$Bill-to" ON "@C@$Sales Invoice Header" ([Bill-to Customer No_]);

CREATE TABLE "@C@$Sales Invoice Line" (
  [Document No_] TEXT NOT NULL, [Line No_] INTEGER NOT NULL,
  [Sell-to Customer No_] TEXT NOT NULL DEFAULT '',
  [Type] INTEGER NOT NULL DEFAULT 0, [No_] TEXT NOT NULL DEFAULT '',
  [Shipment Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Description] TEXT NOT NULL DEFAULT '', [Description 2] TEXT NOT NULL DEFAULT '',
  [Unit of Measure] TEXT NOT NULL DEFAULT '',
  [Quantity] NUMERIC NOT NULL DEFAULT 0, [Unit Price] NUMERIC NOT NULL DEFAULT 0,
  [VAT _] NUMERIC NOT NULL DEFAULT 0, [Line Discount _] NUMERIC NOT NULL DEFAULT 0,
  [Line Discount Amount] NUMERIC NOT NULL DEFAULT 0,
  [Amount] NUMERIC NOT NULL DEFAULT 0, [Amount Including VAT] NUMERIC NOT NULL DEFAULT 0,
  [Line Amount] NUMERIC NOT NULL DEFAULT 0, [Inv_ Discount Amount] NUMERIC NOT NULL DEFAULT 0,
  [VAT Calculation Type] INTEGER NOT NULL DEFAULT 0,
  [VAT Bus_ Posting Group] TEXT NOT NULL DEFAULT '', [VAT Prod_ Posting Group] TEXT NOT NULL DEFAULT '',
  [VAT Clause Code] TEXT NOT NULL DEFAULT '',
  [Unit of Measure Code] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([Document No_], [Line No_])
);

-- Posted credit memos: the invoice header's columns plus what they correct ("Applies-to",
-- type 2 = invoice); amounts and quantities positive, as the document shows them.
CREATE TABLE "@C@$Sales Cr_Memo Header" (
  [No_] TEXT NOT NULL PRIMARY KEY,
  [Sell-to Customer No_] TEXT NOT NULL DEFAULT '', [Bill-to Customer No_] TEXT NOT NULL DEFAULT '',
  [Bill-to Name] TEXT NOT NULL DEFAULT '', [Bill-to Name 2] TEXT NOT NULL DEFAULT '',
  [Bill-to Address] TEXT NOT NULL DEFAULT '', [Bill-to Address 2] TEXT NOT NULL DEFAULT '',
  [Bill-to City] TEXT NOT NULL DEFAULT '', [Bill-to Contact] TEXT NOT NULL DEFAULT '',
  [Your Reference] TEXT NOT NULL DEFAULT '',
  [Ship-to Code] TEXT NOT NULL DEFAULT '',
  [Ship-to Name] TEXT NOT NULL DEFAULT '', [Ship-to Name 2] TEXT NOT NULL DEFAULT '',
  [Ship-to Address] TEXT NOT NULL DEFAULT '', [Ship-to Address 2] TEXT NOT NULL DEFAULT '',
  [Ship-to City] TEXT NOT NULL DEFAULT '', [Ship-to Contact] TEXT NOT NULL DEFAULT '',
  [Order Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Posting Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Shipment Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Posting Description] TEXT NOT NULL DEFAULT '',
  [Payment Terms Code] TEXT NOT NULL DEFAULT '',
  [Due Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Payment Discount _] NUMERIC NOT NULL DEFAULT 0,
  [Pmt_ Discount Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Shipment Method Code] TEXT NOT NULL DEFAULT '',
  [Currency Code] TEXT NOT NULL DEFAULT '', [Currency Factor] NUMERIC NOT NULL DEFAULT 0,
  [Prices Including VAT] INTEGER NOT NULL DEFAULT 0,
  [Salesperson Code] TEXT NOT NULL DEFAULT '', [Order No_] TEXT NOT NULL DEFAULT '',
  [VAT Registration No_] TEXT NOT NULL DEFAULT '',
  [Sell-to Customer Name] TEXT NOT NULL DEFAULT '',
  [Bill-to Post Code] TEXT NOT NULL DEFAULT '', [Bill-to County] TEXT NOT NULL DEFAULT '',
  [Bill-to Country_Region Code] TEXT NOT NULL DEFAULT '',
  [Ship-to Post Code] TEXT NOT NULL DEFAULT '', [Ship-to County] TEXT NOT NULL DEFAULT '',
  [Ship-to Country_Region Code] TEXT NOT NULL DEFAULT '',
  [EU 3-Party Trade] INTEGER NOT NULL DEFAULT 0,
  [Document Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [External Document No_] TEXT NOT NULL DEFAULT '',
  [Payment Method Code] TEXT NOT NULL DEFAULT '',
  [Direct Debit Mandate ID] TEXT NOT NULL DEFAULT '',
  [User ID] TEXT NOT NULL DEFAULT '',
  [Applies-to Doc_ Type] INTEGER NOT NULL DEFAULT 0, [Applies-to Doc_ No_] TEXT NOT NULL DEFAULT '',
  [Reason Code] TEXT NOT NULL DEFAULT '', [Return Order No_] TEXT NOT NULL DEFAULT '',
  [Pre-Assigned No_] TEXT NOT NULL DEFAULT ''
);
-- NAV keys on the posting date.
CREATE INDEX "@C@$Sales Cr_Memo Header$Posting Date" ON "@C@$Sales Cr_Memo Header" ([Posting Date], [No_]);

CREATE TABLE "@C@$Sales Cr_Memo Line" (
  [Document No_] TEXT NOT NULL, [Line No_] INTEGER NOT NULL,
  [Sell-to Customer No_] TEXT NOT NULL DEFAULT '',
  [Type] INTEGER NOT NULL DEFAULT 0, [No_] TEXT NOT NULL DEFAULT '',
  [Shipment Date] DATETIME NOT NULL DEFAULT '1753-01-01 00:00:00',
  [Description] TEXT NOT NULL DEFAULT '', [Description 2] TEXT NOT NULL DEFAULT '',
  [Unit of Measure] TEXT NOT NULL DEFAULT '',
  [Quantity] NUMERIC NOT NULL DEFAULT 0, [Unit Price] NUMERIC NOT NULL DEFAULT 0,
  [VAT _] NUMERIC NOT NULL DEFAULT 0, [Line Discount _] NUMERIC NOT NULL DEFAULT 0,
  [Line Discount Amount] NUMERIC NOT NULL DEFAULT 0,
  [Amount] NUMERIC NOT NULL DEFAULT 0, [Amount Including VAT] NUMERIC NOT NULL DEFAULT 0,
  [Line Amount] NUMERIC NOT NULL DEFAULT 0, [Inv_ Discount Amount] NUMERIC NOT NULL DEFAULT 0,
  [VAT Calculation Type] INTEGER NOT NULL DEFAULT 0,
  [VAT Bus_ Posting Group] TEXT NOT NULL DEFAULT '', [VAT Prod_ Posting Group] TEXT NOT NULL DEFAULT '',
  [VAT Clause Code] TEXT NOT NULL DEFAULT '',
  [Unit of Measure Code] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([Document No_], [Line No_])
);

CREATE TABLE "@C@$CMNM Recipient" (
  [Source Type] INTEGER NOT NULL DEFAULT 0, [Source Code] TEXT NOT NULL DEFAULT '',
  [Document Type] TEXT NOT NULL DEFAULT '', [Line No_] INTEGER NOT NULL DEFAULT 0,
  [Recipient Type] INTEGER NOT NULL DEFAULT 0, [Contact No_] TEXT NOT NULL DEFAULT '',
  [Custom Address] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([Source Type], [Source Code], [Document Type], [Line No_])
);

CREATE TABLE "@C@$Custom Report Selection" (
  [Source Type] INTEGER NOT NULL DEFAULT 0, [Source No_] TEXT NOT NULL DEFAULT '',
  [Usage] INTEGER NOT NULL DEFAULT 0, [Sequence] INTEGER NOT NULL DEFAULT 0,
  [Report ID] INTEGER NOT NULL DEFAULT 0, [Send To Email] TEXT NOT NULL DEFAULT '',
  PRIMARY KEY ([Source Type], [Source No_], [Usage], [Sequence])
);
