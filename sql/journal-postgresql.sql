-- The chain's central packing journal on PostgreSQL: one row per label a counter printed,
-- copied from the counter's own journal. Run once in the database that [Journal] names.
-- The database should use UTF-8 (product names are Cyrillic).

CREATE TABLE IF NOT EXISTS varnet_journal (
    id          VARCHAR(36)    NOT NULL PRIMARY KEY, -- the label's UUID, made by the counter
    counter     VARCHAR(255)   NOT NULL,             -- host name of the counter
    moment      TIMESTAMP(3)   NOT NULL,             -- local time the label was packed
    code        VARCHAR(64)    NOT NULL,
    name        TEXT           NOT NULL,
    weighed     SMALLINT       NOT NULL,             -- 1 weighed (kg), 0 by the piece
    quantity    NUMERIC(12, 3) NOT NULL,
    price       NUMERIC(14, 2) NOT NULL,
    amount      NUMERIC(14, 2) NOT NULL,
    barcode     VARCHAR(13)    NOT NULL,
    best_before TIMESTAMP(3),
    printer     VARCHAR(255)   NOT NULL,
    job_id      BIGINT         NOT NULL,
    reprint     SMALLINT       NOT NULL,             -- 1: the same label again, not counted
    label_name  TEXT           NOT NULL,
    label_info  TEXT           NOT NULL,
    received    TIMESTAMP(3)   NOT NULL DEFAULT LOCALTIMESTAMP, -- when the row arrived
    account     VARCHAR(255)   NOT NULL DEFAULT '', -- the counter's account that printed it
    keyed       SMALLINT,                           -- 1 weight or count keyed, 0 from the scale
    tare        NUMERIC(12, 3) NOT NULL DEFAULT 0   -- kg taken off; quantity is the net weight
);

-- A table made for version 1.0 gains the account column; until then its counters send their
-- rows without it.
ALTER TABLE varnet_journal ADD COLUMN IF NOT EXISTS account VARCHAR(255) NOT NULL DEFAULT '';
-- An earlier table gains the columns keyed and tare (NULL and 0 in its rows so far); until
-- then its counters send their rows without them.
ALTER TABLE varnet_journal ADD COLUMN IF NOT EXISTS keyed SMALLINT;
ALTER TABLE varnet_journal ADD COLUMN IF NOT EXISTS tare NUMERIC(12, 3) NOT NULL DEFAULT 0;

CREATE INDEX IF NOT EXISTS varnet_journal_moment ON varnet_journal (moment);
CREATE INDEX IF NOT EXISTS varnet_journal_counter ON varnet_journal (counter, moment);

-- The counter's outbox (and varnet-journal --send) sends its rows in batches of up to 1,000,
-- each one statement of 19 parameters, one array of the batch's values per column (to a table
-- without the account column, or without keyed and tare, the same without them); a row sent
-- again after a lost answer is left as it is:
--   INSERT INTO varnet_journal (id, counter, moment, code, name, weighed, quantity, price,
--       amount, barcode, best_before, printer, job_id, reprint, label_name, label_info, account,
--       keyed, tare)
--   SELECT * FROM unnest(?::text[], ?::text[], ?::timestamp[], ?::text[], ?::text[],
--       ?::bigint[], ?::numeric[], ?::numeric[], ?::numeric[], ?::text[], ?::timestamp[],
--       ?::text[], ?::bigint[], ?::bigint[], ?::text[], ?::text[], ?::text[], ?::smallint[],
--       ?::numeric[])
--   ON CONFLICT (id) DO NOTHING
