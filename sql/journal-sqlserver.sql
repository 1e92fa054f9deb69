-- The chain's central packing journal on Microsoft SQL Server: one row per label a counter
-- printed, copied from the counter's own journal. Run once in the database that [Journal]
-- names.

IF OBJECT_ID(N'dbo.varnet_journal', N'U') IS NULL
BEGIN
    CREATE TABLE dbo.varnet_journal (
        id          VARCHAR(36)    NOT NULL PRIMARY KEY, -- the label's UUID, made by the counter
        counter     NVARCHAR(255)  NOT NULL,             -- host name of the counter
        moment      DATETIME2(3)   NOT NULL,             -- local time the label was packed
        code        NVARCHAR(64)   NOT NULL,
        name        NVARCHAR(400)  NOT NULL,
        weighed     SMALLINT       NOT NULL,             -- 1 weighed (kg), 0 by the piece
        quantity    NUMERIC(12, 3) NOT NULL,
        price       NUMERIC(14, 2) NOT NULL,
        amount      NUMERIC(14, 2) NOT NULL,
        barcode     VARCHAR(13)    NOT NULL,
        best_before DATETIME2(3)   NULL,
        printer     NVARCHAR(255)  NOT NULL,
        job_id      BIGINT         NOT NULL,
        reprint     SMALLINT       NOT NULL,             -- 1: the same label again, not counted
        label_name  NVARCHAR(MAX)  NOT NULL,
        label_info  NVARCHAR(MAX)  NOT NULL,
        received    DATETIME2(3)   NOT NULL DEFAULT SYSDATETIME(), -- when the row arrived
        account     NVARCHAR(255)  NOT NULL DEFAULT N'', -- the counter's account that printed it
        keyed       SMALLINT       NULL,             -- 1 weight or count keyed, 0 from the scale
        tare        NUMERIC(12, 3) NOT NULL DEFAULT 0 -- kg taken off; quantity is the net weight
    );
    CREATE INDEX varnet_journal_moment ON dbo.varnet_journal (moment);
    CREATE INDEX varnet_journal_counter ON dbo.varnet_journal (counter, moment);
END;

-- A table made for version 1.0 gains the account column; until then its counters send their
-- rows without it.
IF COL_LENGTH(N'dbo.varnet_journal', N'account') IS NULL
    ALTER TABLE dbo.varnet_journal ADD account NVARCHAR(255) NOT NULL DEFAULT N'';
-- An earlier table gains the columns keyed and tare (NULL and 0 in its rows so far); until
-- then its counters send their rows without them.
IF COL_LENGTH(N'dbo.varnet_journal', N'keyed') IS NULL
    ALTER TABLE dbo.varnet_journal ADD keyed SMALLINT NULL;
IF COL_LENGTH(N'dbo.varnet_journal', N'tare') IS NULL
    ALTER TABLE dbo.varnet_journal ADD tare NUMERIC(12, 3) NOT NULL DEFAULT 0;

-- The counter's outbox (and varnet-journal --send) sends its rows in batches of up to 1,000,
-- each one transaction of statements of up to 110 rows (19 parameters a row, and a statement
-- takes at most 2,100; to a table without the account column, or without keyed and tare, the
-- same without them); the lock keeps two senders of one row from both finding its id missing,
-- and a row sent again after a lost answer is left as it is. For two rows:
--   INSERT INTO varnet_journal (id, counter, moment, code, name, weighed, quantity, price,
--       amount, barcode, best_before, printer, job_id, reprint, label_name, label_info, account,
--       keyed, tare)
--   SELECT id, counter, moment, code, name, weighed, quantity, price,
--       amount, barcode, best_before, printer, job_id, reprint, label_name, label_info, account,
--       keyed, tare
--   FROM (VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?), (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?))
--   AS v (id, counter, moment, code, name, weighed, quantity, price,
--       amount, barcode, best_before, printer, job_id, reprint, label_name, label_info, account,
--       keyed, tare)
--   WHERE NOT EXISTS (SELECT 1 FROM varnet_journal WITH (UPDLOCK, HOLDLOCK) WHERE id = v.id)
