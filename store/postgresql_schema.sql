-- Tallyform's tables on an office's PostgreSQL server, and the two roles its clerks log in with.
--
-- Run once by an administrator, as the database's owner or a superuser:
--
--     psql -d tallyform -f postgresql_schema.sql
--
-- Running it again changes nothing that stands. The program creates the tables itself (this
-- part down to the line of roles) when they are missing and its login owns the database; it
-- never creates roles.

-- Texts that are keys or orders compare byte by byte (COLLATE "C"), as in the local file, whatever
-- the server's language: the same order on both, and cheaper to index.

-- Formats: one row per format and field (Ctl 2..33), and the voucher row (Ctl -1).
CREATE TABLE IF NOT EXISTS 参数 (
    Name text COLLATE "C" NOT NULL,
    Ctl smallint NOT NULL,
    X double precision,
    Y double precision,
    W double precision,
    H double precision,
    Color integer,
    fName text,
    fSize real,
    fBold boolean,
    fItalic boolean,
    fUnderline boolean,
    fStrikethru boolean,
    UNIQUE (Name, Ctl)
);

-- Character spacing: a row for each field of a format with a spacing other than 0.
CREATE TABLE IF NOT EXISTS 字距 (
    Name varchar(255) COLLATE "C" NOT NULL,
    CID integer NOT NULL,
    Sp double precision,
    UNIQUE (Name, CID)
);

-- Print records: one row per stored voucher (its timestamp Dat) and field (Ctl).
CREATE TABLE IF NOT EXISTS 记录 (
    Dat text COLLATE "C" NOT NULL CHECK (Dat ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$'),
    Ctl smallint NOT NULL,
    Con text NOT NULL DEFAULT '',
    UNIQUE (Dat, Ctl)
);

-- One row per stored voucher, kept by the triggers below: the list of the history, and the
-- login of the clerk who stored it (shown as 打印人).
CREATE TABLE IF NOT EXISTS 凭证 (
    Dat text COLLATE "C" PRIMARY KEY,
    Usr text NOT NULL DEFAULT current_user
);

-- Quick fill's parties and texts, kept by the program with every stored or deleted voucher.
CREATE TABLE IF NOT EXISTS 输入提示 (
    Fld integer NOT NULL,
    Name text COLLATE "C" NOT NULL,
    Acct text COLLATE "C" NOT NULL,
    Bank text COLLATE "C" NOT NULL,
    Uses integer NOT NULL,
    Last text COLLATE "C" NOT NULL,
    Weight double precision NOT NULL,
    Folded text COLLATE "C" NOT NULL,
    Letters integer NOT NULL,
    Pairs bigint NOT NULL
);
CREATE UNIQUE INDEX IF NOT EXISTS 输入提示_键 ON 输入提示 (Fld, Name, Acct, Bank);
CREATE INDEX IF NOT EXISTS 输入提示_次序
    ON 输入提示 (Fld, Weight, Last, Letters, Pairs, Folded, Name, Acct, Bank);

-- Every statement that adds, changes or removes print records keeps 凭证 in step and tells
-- every listening program (channel tallyform_records) once its transaction commits: "insert",
-- "delete" or "update", or the program's own notice naming the vouchers.
CREATE OR REPLACE FUNCTION 凭证_跟随() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('INSERT', 'UPDATE') THEN
        INSERT INTO 凭证 (Dat) SELECT DISTINCT Dat FROM 新行 ON CONFLICT DO NOTHING;
    END IF;
    IF TG_OP IN ('DELETE', 'UPDATE') THEN
        -- Planned anew every time: a plan kept from a statement on a nearly empty table could
        -- scan all of 记录 once for every voucher deleted.
        EXECUTE 'DELETE FROM 凭证 v WHERE v.Dat IN (SELECT DISTINCT Dat FROM 旧行) '
                'AND NOT EXISTS (SELECT 1 FROM 记录 r WHERE r.Dat = v.Dat)';
    END IF;
    -- A transaction of the program that names the vouchers it changes sends that notice itself.
    IF current_setting('tallyform.named', true) IS DISTINCT FROM 'yes' THEN
        PERFORM pg_notify('tallyform_records', lower(TG_OP));
    END IF;
    RETURN NULL;
END
$$;
CREATE OR REPLACE TRIGGER 记录_增 AFTER INSERT ON 记录
    REFERENCING NEW TABLE AS 新行 FOR EACH STATEMENT EXECUTE FUNCTION 凭证_跟随();
CREATE OR REPLACE TRIGGER 记录_删 AFTER DELETE ON 记录
    REFERENCING OLD TABLE AS 旧行 FOR EACH STATEMENT EXECUTE FUNCTION 凭证_跟随();
CREATE OR REPLACE TRIGGER 记录_改 AFTER UPDATE ON 记录
    REFERENCING OLD TABLE AS 旧行 NEW TABLE AS 新行 FOR EACH STATEMENT EXECUTE FUNCTION 凭证_跟随();

-- ==== roles ====
-- tallyform_clerk: read everything, store and import print records, save formats and spacing.
-- tallyform_admin: as a clerk, and also delete print records, clear the history, delete formats.
-- Give each clerk a login of their own in one of them, for example:
--     CREATE ROLE zhang LOGIN PASSWORD '…' IN ROLE tallyform_clerk;
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tallyform_clerk') THEN
        CREATE ROLE tallyform_clerk NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tallyform_admin') THEN
        CREATE ROLE tallyform_admin NOLOGIN;
    END IF;
END
$$;
GRANT tallyform_clerk TO tallyform_admin;
GRANT USAGE ON SCHEMA public TO tallyform_clerk;
GRANT SELECT, INSERT, UPDATE ON 参数 TO tallyform_clerk;
GRANT SELECT, INSERT, UPDATE, DELETE ON 字距 TO tallyform_clerk;
GRANT SELECT, INSERT ON 记录, 凭证 TO tallyform_clerk;
GRANT SELECT, INSERT, UPDATE, DELETE ON 输入提示 TO tallyform_clerk;
GRANT DELETE ON 参数, 记录, 凭证 TO tallyform_admin;
