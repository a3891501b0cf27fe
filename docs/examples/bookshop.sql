-- The bookshop of docs/site-authors.md: added to a site that `zarel new`
-- created (it has XNav rows 1 and 2, XWeb row 1 and XProc GettingStarted).
-- Run from the site folder, so that readfile() finds the cover pictures:
--   (cd shop/site && sqlite3 ../site.db < bookshop.sql)

-- The shop's own data.
CREATE TABLE Book (ID INTEGER PRIMARY KEY, Title TEXT, Author TEXT, Genre TEXT,
                   Price NUMERIC, Stock INTEGER, Cover BLOB);
INSERT INTO Book VALUES (1, 'The Quiet Harbour', 'Ada Marsh', 'Fiction', 12.50, 14, readfile('product01.gif'));
INSERT INTO Book VALUES (2, 'Stars Over Kent', 'Omar Reyes', 'Science', 18.00, 6, readfile('product02.gif'));
INSERT INTO Book VALUES (3, 'A Short History of Salt', 'Lena Voss', 'History', 15.25, 0, readfile('product03.gif'));
INSERT INTO Book VALUES (4, 'Winter Letters', 'Ada Marsh', 'Fiction', 9.99, 21, readfile('product04.gif'));
CREATE TABLE Sale (BookID INTEGER, Month TEXT, Copies INTEGER, Revenue NUMERIC);
INSERT INTO Sale VALUES (1, '2026-10', 12, 150.00), (2, '2026-10', 4, 72.00), (4, '2026-10', 9, 89.91),
                        (1, '2026-11', 15, 187.50), (3, '2026-11', 7, 106.75), (4, '2026-11', 3, 29.97),
                        (2, '2026-12', 11, 198.00), (3, '2026-12', 2, 30.50), (4, '2026-12', 16, 159.84);

-- The tree: a list of books with a page per book, and one page per
-- component type under "Components".
INSERT INTO XNav VALUES (3, 'Books', 'variable', 1, 'ListBooks', NULL, NULL, NULL);
INSERT INTO XNav VALUES (4, 'Book', 'leaf', 3, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (10, 'Components', 'fixed', 1, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (11, 'header', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (12, 'htmlinject', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (13, 'image', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (14, 'thumbnail', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (15, 'table', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (16, 'tablegraphh', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (17, 'tablegraphv', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (18, 'tablegraph', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (19, 'barchart', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (20, 'shape', 'leaf', 10, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (21, 'Staff only', 'leaf', 1, NULL, NULL, NULL, '2:5');

INSERT INTO XWeb VALUES (40, 4, 1, 'Book+', 'BookCard', 'lkey', 'header', NULL, NULL);
INSERT INTO XWeb VALUES (41, 4, 2, 'Sales', 'SalesOfBook', 'lkey', 'table', '2:3', NULL);
INSERT INTO XWeb VALUES (11, 11, 1, 'Book of the month', 'BookOfTheMonth', NULL, 'header', NULL, NULL);
INSERT INTO XWeb VALUES (12, 12, 1, NULL, 'Notice', NULL, 'htmlinject', NULL, NULL);
INSERT INTO XWeb VALUES (13, 13, 1, 'Cover', 'BookCover', NULL, 'image', NULL, NULL);
INSERT INTO XWeb VALUES (14, 14, 1, 'Covers', 'Covers', NULL, 'thumbnail',
  '<imagefieldno>1</imagefieldno><columns>4</columns><width>80</width><fieldname>y</fieldname>', NULL);
INSERT INTO XWeb VALUES (15, 15, 1, 'Sales by genre', 'SalesByGenre', NULL, 'table', '1:2', NULL);
INSERT INTO XWeb VALUES (16, 16, 1, 'Sales by genre', 'SalesByGenre', NULL, 'tablegraphh', '1:2', 'Revenue');
INSERT INTO XWeb VALUES (17, 17, 1, 'Copies by month', 'CopiesByMonth', NULL, 'tablegraphv', 'all', NULL);
INSERT INTO XWeb VALUES (18, 18, 1, 'Copies by month', 'CopiesByMonth', NULL, 'tablegraph', 'all', 'Fiction');
INSERT INTO XWeb VALUES (19, 19, 1, 'Copies by month', 'CopiesByMonth', NULL, 'barchart', '1', NULL);
INSERT INTO XWeb VALUES (20, 20, 1, 'Order book', 'OrderBook', NULL, 'shape', NULL, NULL);
INSERT INTO XWeb VALUES (21, 21, 1, 'Stock', 'StockList', NULL, 'table', '2', NULL);

INSERT INTO XProc VALUES ('ListBooks', 'SELECT ID, Title FROM Book ORDER BY Title');
INSERT INTO XProc VALUES ('BookCard', 'SELECT Title, Author, Genre, Price, Stock FROM Book WHERE ID = ?1');
INSERT INTO XProc VALUES ('BookOfTheMonth', 'SELECT Title, Author, Genre, Price, Stock FROM Book WHERE ID = 4');
INSERT INTO XProc VALUES ('SalesOfBook',
  'SELECT Month, Copies, Revenue FROM Sale WHERE BookID = ?1 ORDER BY Month');
INSERT INTO XProc VALUES ('Notice',
  'SELECT ''<div class=start><b>Winter sale.</b> Every title of Ada Marsh at 20% off until 31 December.</div>''');
INSERT INTO XProc VALUES ('BookCover', 'SELECT ID, Title, Author, Cover FROM Book WHERE ID = 1');
INSERT INTO XProc VALUES ('Covers',
  'SELECT Title, ''product0'' || ID || ''.gif'' AS Picture, Author, Price FROM Book ORDER BY ID');
INSERT INTO XProc VALUES ('SalesByGenre',
  'SELECT Genre, SUM(Copies) AS Copies, SUM(Revenue) AS Revenue FROM Sale JOIN Book ON Book.ID = BookID
   GROUP BY Genre ORDER BY Genre');
INSERT INTO XProc VALUES ('CopiesByMonth',
  'SELECT Month,
          SUM(CASE WHEN Genre = ''Fiction'' THEN Copies ELSE 0 END) AS Fiction,
          SUM(CASE WHEN Genre = ''History'' THEN Copies ELSE 0 END) AS History,
          SUM(CASE WHEN Genre = ''Science'' THEN Copies ELSE 0 END) AS Science
   FROM Sale JOIN Book ON Book.ID = BookID GROUP BY Month ORDER BY Month');
INSERT INTO XProc VALUES ('OrderBook',
  'SELECT ''SHAPE {SELECT ID, Title, Author FROM Book ORDER BY ID}
           APPEND ({SELECT BookID, Month, Copies, Revenue FROM Sale ORDER BY Month} AS Sales
                   RELATE ID TO BookID)'' AS Command');
INSERT INTO XProc VALUES ('StockList', 'SELECT Title, Stock, Price FROM Book ORDER BY Title');
