-- A small garden-nursery shop: customers, plants, orders and their lines, and
-- a view of order totals. Every common column type appears, with NULLs,
-- non-ASCII text and values that need care in CSV (quotes, separators).
--
-- Load it with the MariaDB client:
--   mariadb --user=... --password=... < examples/sample_database.sql
-- It creates (or re-creates the tables of) the database velmora_sample.

CREATE DATABASE IF NOT EXISTS velmora_sample CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
USE velmora_sample;

DROP VIEW IF EXISTS v_order_totals;
DROP TABLE IF EXISTS order_lines;
DROP TABLE IF EXISTS orders;
DROP TABLE IF EXISTS plants;
DROP TABLE IF EXISTS customers;

CREATE TABLE customers (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  name VARCHAR(60) NOT NULL,
  city VARCHAR(40) NULL,
  email VARCHAR(80) NULL,
  credit_limit DECIMAL(10,2) NULL,
  is_active TINYINT(1) NOT NULL DEFAULT 1,
  joined_on DATE NULL,
  last_visit DATETIME NULL,
  notes TEXT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO customers (id, name, city, email, credit_limit, is_active, joined_on, last_visit, notes) VALUES
  (1, 'Greenleaf Gardens', 'Zürich', 'orders@greenleaf.example', 2500.00, 1, '2019-03-14', '2024-05-02 09:15:00', 'Prefers morning delivery'),
  (2, 'Mária Kovács', 'Kraków', NULL, 150.50, 1, '2021-11-30', '2024-04-28 17:42:10', NULL),
  (3, 'The "Old Mill" Allotment', 'São Paulo', 'mill@allotment.example', NULL, 0, '2018-07-01', NULL, 'Closed, re-opening in spring; keep the account'),
  (4, '東京 Bonsai Club', '東京', 'club@bonsai.example', 12000.00, 1, '2022-01-09', '2024-05-03 11:00:00', 'Ships in "fragile" crates'),
  (5, 'Ødegaard & Sons, Ltd.', 'Tromsø', 'post@odegaard.example', 0.00, 1, NULL, '2024-02-29 23:59:59', 'Line one\nLine two'),
  (6, 'Cactus Corner', NULL, NULL, NULL, 1, '2023-06-21', NULL, '');

CREATE TABLE plants (
  sku CHAR(8) NOT NULL PRIMARY KEY,
  title VARCHAR(80) NOT NULL,
  latin_name VARCHAR(80) NULL,
  category ENUM('tree', 'shrub', 'perennial', 'succulent', 'bulb') NOT NULL,
  features SET('evergreen', 'scented', 'edible', 'shade') NULL,
  price DECIMAL(8,2) NOT NULL,
  weight_kg FLOAT NULL,
  hardiness DOUBLE NULL,
  stock SMALLINT NOT NULL DEFAULT 0,
  shelf TINYINT UNSIGNED NULL,
  barcode BIGINT UNSIGNED NULL,
  first_listed YEAR NULL,
  label_photo BLOB NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO plants VALUES
  ('TR-0001', 'Japanese maple', 'Acer palmatum', 'tree', NULL, 89.90, 12.5, -23.3, 14, 3, 4006381333931, 2015, NULL),
  ('SH-0102', 'Lavender ''Hidcote''', 'Lavandula angustifolia', 'shrub', 'evergreen,scented', 7.25, 0.8, -28.9, 240, 12, 4006381333948, 2016, x'89504E470D0A1A0A'),
  ('PE-0203', 'Wild strawberry', 'Fragaria vesca', 'perennial', 'edible,shade', 3.10, 0.35, -34.4, 0, NULL, NULL, 2020, NULL),
  ('SU-0304', 'Jade plant', 'Crassula ovata', 'succulent', 'evergreen', 12.00, 1.2, 1.7, 55, 7, 18446744073709551615, 2019, x'00FF00'),
  ('BU-0405', 'Snowdrop, 10 bulbs', 'Galanthus nivalis', 'bulb', NULL, 4.99, NULL, -34.4, 1200, 1, 4006381333962, NULL, NULL),
  ('TR-0506', 'Olive tree (Ø 30 cm pot)', 'Olea europaea', 'tree', 'evergreen,edible', 149.00, 25.0, -9.4, 3, 2, 4006381333979, 2022, NULL);

CREATE TABLE orders (
  id INT NOT NULL PRIMARY KEY,
  customer_id INT NOT NULL,
  ordered_on DATE NOT NULL,
  delivery_window TIME NULL,
  status VARCHAR(20) NOT NULL,
  updated_at TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP,
  discount_pct DECIMAL(5,2) NULL,
  FOREIGN KEY (customer_id) REFERENCES customers (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO orders VALUES
  (1001, 1, '2024-04-02', '08:00:00', 'delivered', '2024-04-05 10:12:00', NULL),
  (1002, 2, '2024-04-18', '14:30:00', 'delivered', '2024-04-20 16:00:00', 5.00),
  (1003, 4, '2024-05-01', NULL, 'packed', '2024-05-02 08:30:45', 12.50),
  (1004, 1, '2024-05-02', '09:00:00', 'new', '2024-05-02 09:15:00', NULL),
  (1005, 5, '2024-02-29', '23:00:00', 'cancelled', '2024-03-01 00:00:01', 100.00);

CREATE TABLE order_lines (
  order_id INT NOT NULL,
  line_no SMALLINT NOT NULL,
  sku CHAR(8) NOT NULL,
  quantity INT NOT NULL,
  unit_price DECIMAL(8,2) NOT NULL,
  gift_note VARCHAR(120) NULL,
  PRIMARY KEY (order_id, line_no),
  FOREIGN KEY (order_id) REFERENCES orders (id),
  FOREIGN KEY (sku) REFERENCES plants (sku)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO order_lines VALUES
  (1001, 1, 'TR-0001', 2, 89.90, NULL),
  (1001, 2, 'SH-0102', 10, 7.25, 'Happy birthday, Anna!'),
  (1002, 1, 'PE-0203', 30, 3.10, NULL),
  (1003, 1, 'SU-0304', 4, 12.00, 'お誕生日おめでとう'),
  (1003, 2, 'BU-0405', 100, 4.49, NULL),
  (1004, 1, 'TR-0506', 1, 149.00, 'Leave at the "back" gate; ring twice'),
  (1005, 1, 'SH-0102', 1, 7.25, NULL);

CREATE VIEW v_order_totals AS
  SELECT o.id AS order_id, c.name AS customer, o.ordered_on, o.status,
         SUM(l.quantity) AS items, SUM(l.quantity * l.unit_price) AS total
  FROM orders o
  JOIN customers c ON c.id = o.customer_id
  JOIN order_lines l ON l.order_id = o.id
  GROUP BY o.id, c.name, o.ordered_on, o.status;
