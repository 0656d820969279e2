-- Every column type of the server with awkward values: NULLs, blanks at both
-- ends, CJK text, emoji, separators, quotes, line breaks, zero and invalid
-- dates, numbers beyond what a double carries. The exactness check exports each
-- table to CSV and compares every value with what the command-line client reads.
SET SESSION sql_mode = 'ALLOW_INVALID_DATES,NO_ENGINE_SUBSTITUTION';

CREATE TABLE numbers (
  id INT PRIMARY KEY,
  t TINYINT, tu TINYINT UNSIGNED, s SMALLINT, m MEDIUMINT, i INT, iu INT UNSIGNED,
  b BIGINT, bu BIGINT UNSIGNED,
  d DECIMAL(65,30), d2 DECIMAL(10,2),
  f FLOAT, g DOUBLE,
  bits BIT(8), bit1 BIT(1), y YEAR, flag BOOLEAN
);
INSERT INTO numbers VALUES
  (1, -128, 255, -32768, -8388608, -2147483648, 4294967295,
   -9223372036854775808, 18446744073709551615,
   12345678901234567890123456789012345.123456789012345678901234567890, -12345678.90,
   1.5, 1234567890.1234567, b'101', b'1', 2006, 1),
  (2, 0, 0, 0, 0, 0, 0, 9007199254740993, 9007199254740993,
   0.000000000000000000000000000001, 0.00,
   -0.125, 9007199254740993, b'0', b'0', 1901, 0),
  (3, 127, 1, 32767, 8388607, 2147483647, 16047,
   9223372036854775807, 1, -1.5, 99999999.99,
   3.40282e38, 2.2250738585072014e-308, b'11111111', b'1', 2155, 1),
  (4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);

CREATE TABLE texts (
  id INT PRIMARY KEY,
  c CHAR(12), v VARCHAR(300), tx TEXT, mt MEDIUMTEXT, e ENUM('a','b,c','d"e'), st SET('x','y','z'),
  j JSON
);
INSERT INTO texts VALUES
  (1, 'Edinburgh', 'Edinburgh ', '  padded  ', 'line1\nline2\r\nline3\rend',
   'b,c', 'x,z', '{"k": "v, \\"q\\""}'),
  (2, '', 'comma, "quote" ''apos'' ;semi\ttab', 'back\\slash {brace} <tag> &amp;', '北京市 東京 서울 😀 Cássia Eller',
   'd"e', '', '[1, 2.5, null]'),
  (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (4, 'x', REPEAT('long ', 60), REPEAT('0123456789', 7000), REPEAT('Ж', 20000), 'a', 'y', '{}');

CREATE TABLE moments (
  id INT PRIMARY KEY,
  d DATE, dt DATETIME, dt6 DATETIME(6), ts TIMESTAMP NULL, t TIME, t3 TIME(3)
);
INSERT INTO moments VALUES
  (1, '2004-12-31', '2004-12-31 23:59:58', '2004-12-31 23:59:58.123456', '2004-12-31 23:59:58', '23:59:58', '12:34:56.789'),
  (2, '0000-00-00', '0000-00-00 00:00:00', '2024-00-00 10:00:00.000001', NULL, '838:59:59', '-838:59:59.000'),
  (3, '2004-02-30', '2024-00-00 10:00:00', '9999-12-31 23:59:59.999999', '1970-01-01 00:00:01', '-00:00:01', '00:00:00.001'),
  (4, NULL, NULL, NULL, NULL, NULL, NULL);

CREATE TABLE binaries (
  id INT PRIMARY KEY,
  bn BINARY(4), vb VARBINARY(16), bl BLOB
);
INSERT INTO binaries VALUES
  (1, x'00000000', x'20ff0020', x'00010203'),
  (2, 'ab', 'plain text', 'blob text'),
  (3, NULL, NULL, NULL);
