-- The host product's file table with a stored bank code list and its
-- neighbours; the same text serves PostgreSQL, MariaDB and SQLite.
CREATE TABLE tarvo.tvfiletable (
  ft_uid VARCHAR(100) NOT NULL PRIMARY KEY,
  ft_content VARCHAR(4000)
);
INSERT INTO tarvo.tvfiletable (ft_uid, ft_content) VALUES
  ('sifrant_bank.dat', 'BANKID|NAZIV|...'),
  ('sifrant_bank.old', 'BANKID|NAZIV|...'),
  ('sifrant_drzava.dat', 'RS|Srbija'),
  ('sifrant_valuta.dat', 'RSD|941');
