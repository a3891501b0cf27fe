// The demo site's tables XNav and XWeb and its stored procedures (see
// demo_site.h).
//
// The tree: the root "Brightwater Supplies" (fixed) lists the dashboard,
// the regions (variable: one node per region, itself variable: one node per
// customer), the products (variable), the staff (a tree of who reports to
// whom, with the orders each person took as leaf rows), the sales section
// (fixed, with four report pages) and the margins page, which only roles 1
// and 2 may open.
#include "apps/demo/demo_site.h"

namespace zarel::demo {

const std::string_view kSiteTablesSql = R"SQL(
CREATE TABLE XNav (
  ID       INTEGER PRIMARY KEY,
  Caption  VARCHAR(60),
  Kind     VARCHAR(10),
  ParentID INTEGER,
  ProcName VARCHAR(40),
  Param    VARCHAR(10),
  Image    INTEGER,
  Roles    VARCHAR(20)
);
INSERT INTO XNav VALUES (1, 'Brightwater Supplies', 'fixed', 0, NULL, NULL, NULL, NULL);
INSERT INTO XNav VALUES (2, 'Dashboard', 'leaf', 1, NULL, NULL, 2, NULL);
INSERT INTO XNav VALUES (3, 'Regions', 'variable', 1, 'ListRegions', NULL, 3, NULL);
INSERT INTO XNav VALUES (4, 'Region', 'variable', 3, 'ListCustomersInRegion', 'lkey', 3, NULL);
INSERT INTO XNav VALUES (5, 'Customer', 'leaf', 4, NULL, NULL, 4, NULL);
INSERT INTO XNav VALUES (6, 'Products', 'variable', 1, 'ListProducts', NULL, 3, NULL);
INSERT INTO XNav VALUES (7, 'Product', 'leaf', 6, NULL, NULL, 5, NULL);
INSERT INTO XNav VALUES (8, 'Staff', 'tree', 1, 'ListStaff', 'lkey', 4, NULL);
INSERT INTO XNav VALUES (9, 'Order', 'leaf', 8, 'ListOrdersTaken', 'lkey', 1, NULL);
INSERT INTO XNav VALUES (10, 'Sales', 'fixed', 1, NULL, NULL, 3, NULL);
INSERT INTO XNav VALUES (11, 'Monthly sales', 'leaf', 10, NULL, NULL, 2, NULL);
INSERT INTO XNav VALUES (12, 'Sales team', 'leaf', 10, NULL, NULL, 2, NULL);
INSERT INTO XNav VALUES (13, 'Order book', 'leaf', 10, NULL, NULL, 2, NULL);
INSERT INTO XNav VALUES (14, 'Best sellers', 'leaf', 10, NULL, NULL, 2, NULL);
INSERT INTO XNav VALUES (15, 'Margins', 'leaf', 1, NULL, NULL, 6, '1:2');

CREATE TABLE XWeb (
  CompID   INTEGER PRIMARY KEY,
  NodeID   INTEGER,
  Pos      INTEGER,
  Caption  VARCHAR(60),
  ProcName VARCHAR(40),
  Param    VARCHAR(10),
  CompType VARCHAR(12),
  Opt1     VARCHAR(200),
  Opt2     VARCHAR(40)
);
INSERT INTO XWeb VALUES (1, 2, 1, NULL, 'Welcome', NULL, 'htmlinject', NULL, NULL);
INSERT INTO XWeb VALUES (2, 2, 2, 'Count this visit', 'LogVisit', 'today', 'execute', NULL, NULL);
INSERT INTO XWeb VALUES (3, 2, 3, 'At a glance', 'AtAGlance', 'today', 'header', NULL, NULL);
INSERT INTO XWeb VALUES (4, 2, 4, 'Sales by region', 'RegionChart', NULL, 'barchart', '1:2', NULL);
INSERT INTO XWeb VALUES (5, 3, 1, 'All regions', 'RegionSummary', NULL, 'tablegraphh', '2:3:4', 'Revenue');
INSERT INTO XWeb VALUES (6, 4, 1, 'Region+', 'RegionCard', 'lkey', 'header', NULL, NULL);
INSERT INTO XWeb VALUES (7, 4, 2, 'Customers', 'RegionCustomers', 'lkey', 'table', '3:4', NULL);
INSERT INTO XWeb VALUES (8, 4, 3, 'Monthly revenue+', 'RegionMonthly', 'text', 'barchart', '1', NULL);
INSERT INTO XWeb VALUES (9, 5, 1, 'Customer+', 'CustomerCard', 'skey', 'header', NULL, NULL);
INSERT INTO XWeb VALUES (10, 5, 2, 'Orders', 'CustomerOrders', 'skey', 'table', '3:4', NULL);
INSERT INTO XWeb VALUES (11, 5, 3, 'Order details', 'CustomerShape', 'skey', 'shape', NULL, NULL);
INSERT INTO XWeb VALUES (12, 6, 1, 'Catalogue', 'Catalogue', NULL, 'thumbnail',
  '<imagefieldno>1</imagefieldno><columns>4</columns><width>160</width><height>120</height><fieldname>n</fieldname>', NULL);
INSERT INTO XWeb VALUES (13, 7, 1, 'Product+', 'ProductCard', 'lkey', 'image', NULL, NULL);
INSERT INTO XWeb VALUES (14, 7, 2, 'Best customers', 'ProductCustomers', 'lkey', 'tablegraphh', '2:3', 'Units');
INSERT INTO XWeb VALUES (15, 8, 1, 'Profile', 'EmployeeCard', 'lkey', 'header', NULL, NULL);
INSERT INTO XWeb VALUES (16, 8, 2, 'Team and their sales', 'TeamSales', 'lkey', 'table', '2:3', NULL);
INSERT INTO XWeb VALUES (17, 9, 1, 'Details', 'OrderCard', 'lkey', 'header', NULL, NULL);
INSERT INTO XWeb VALUES (18, 9, 2, 'Lines', 'OrderLines', 'lkey', 'table', '2:4', NULL);
INSERT INTO XWeb VALUES (19, 10, 1, NULL, 'SalesIntro', NULL, 'htmlinject', NULL, NULL);
INSERT INTO XWeb VALUES (20, 10, 2, 'Year to date', 'YearToDate', NULL, 'header', NULL, NULL);
INSERT INTO XWeb VALUES (21, 11, 1, 'Revenue by month and region', 'MonthlyByRegion', NULL, 'tablegraphv', 'all', NULL);
INSERT INTO XWeb VALUES (22, 12, 1, 'Revenue by representative and category', 'RepCategories', NULL, 'tablegraph', 'all', 'Total');
INSERT INTO XWeb VALUES (23, 12, 2, 'Activity', 'RepActivity', NULL, 'barchart', 'all', NULL);
INSERT INTO XWeb VALUES (24, 13, 1, 'Order book by region', 'OrderBookShape', NULL, 'shape', NULL, NULL);
INSERT INTO XWeb VALUES (25, 14, 1, 'Products sold', 'BestSellers', NULL, 'barchart', '1:2', NULL);
INSERT INTO XWeb VALUES (26, 14, 2, 'Best sellers', 'BestSellerTable', NULL, 'table', '3:4', NULL);
INSERT INTO XWeb VALUES (27, 15, 1, NULL, 'MarginsNote', NULL, 'htmlinject', NULL, NULL);
INSERT INTO XWeb VALUES (28, 15, 2, 'Margin by product', 'Margins', NULL, 'tablegraphh', '2:3:4:5', 'Margin %');

CREATE TABLE XScr (
  ID   INTEGER PRIMARY KEY,
  Name VARCHAR(20),
  Html TEXT
);

CREATE TABLE XProc (
  Name VARCHAR(40) PRIMARY KEY,
  Body TEXT NOT NULL
);
)SQL";

namespace {

// The amount of an order line, used by most procedures.
#define LINE_AMOUNT "l.Quantity * l.UnitPrice"

// Month label ("Mar 2026") of an order date.
#define MONTH_LABEL                                                                             \
  "substr('JanFebMarAprMayJunJulAugSepOctNovDec', "                                             \
  "(CAST(strftime('%m', o.OrderDate) AS INTEGER) - 1) * 3 + 1, 3) || ' ' || strftime('%Y', o.OrderDate)"

}  // namespace

const std::vector<Procedure>& Procedures() {
  static const std::vector<Procedure> procedures = {
      // --- Dashboard ---
      {"Welcome",
       "SELECT '<div class=banner><h2>Welcome to the Brightwater Supplies report site</h2>"
       "<p>Brightwater sells office supplies, furniture and kitchen goods to thirty businesses "
       "in five regions. Every page here is composed from the report database: open a region, a "
       "customer, a product or a member of staff in the tree on the left.</p></div>' AS Welcome"},
      {"LogVisit", "INSERT INTO Visit (Day, Page) VALUES (?1, 'Dashboard')"},
      {"AtAGlance",
       "SELECT ?1 AS \"Report date\", "
       "(SELECT COUNT(*) FROM Customer) AS Customers, "
       "(SELECT COUNT(*) FROM Orders) AS Orders, "
       "(SELECT COUNT(*) FROM Orders WHERE Status = 'Open') AS \"Open orders\", "
       "(SELECT ROUND(SUM(Quantity * UnitPrice), 2) FROM OrderLine) AS Revenue, "
       "(SELECT COUNT(*) FROM Visit WHERE Page = 'Dashboard') AS \"Dashboard views\""},
      {"RegionChart",
       "SELECT r.Name AS Region, ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue, "
       "COUNT(DISTINCT o.OrderID) AS Orders "
       "FROM Region r JOIN Customer c ON c.RegionID = r.RegionID "
       "JOIN Orders o ON o.CustomerID = c.CustomerID JOIN OrderLine l ON l.OrderID = o.OrderID "
       "GROUP BY r.RegionID ORDER BY r.RegionID"},

      // --- Regions and customers ---
      {"ListRegions", "SELECT RegionID, Name FROM Region ORDER BY RegionID"},
      {"RegionSummary",
       "SELECT r.Name AS Region, "
       "(SELECT m.Name FROM Customer c JOIN Employee e ON e.EmployeeID = c.AccountManager "
       " JOIN Employee m ON m.EmployeeID = e.ManagerID WHERE c.RegionID = r.RegionID "
       " ORDER BY c.CustomerID LIMIT 1) AS \"Regional manager\", "
       "(SELECT COUNT(*) FROM Customer c WHERE c.RegionID = r.RegionID) AS Customers, "
       "(SELECT COUNT(*) FROM Orders o JOIN Customer c ON c.CustomerID = o.CustomerID "
       " WHERE c.RegionID = r.RegionID) AS Orders, "
       "(SELECT ROUND(SUM(" LINE_AMOUNT "), 2) FROM OrderLine l JOIN Orders o ON o.OrderID = l.OrderID "
       " JOIN Customer c ON c.CustomerID = o.CustomerID WHERE c.RegionID = r.RegionID) AS Revenue "
       "FROM Region r ORDER BY r.RegionID"},
      {"ListCustomersInRegion", "SELECT CustomerID, Name FROM Customer WHERE RegionID = ?1 ORDER BY Name"},
      {"RegionCard",
       "SELECT r.Name AS Region, "
       "(SELECT m.Name FROM Customer c JOIN Employee e ON e.EmployeeID = c.AccountManager "
       " JOIN Employee m ON m.EmployeeID = e.ManagerID WHERE c.RegionID = r.RegionID "
       " ORDER BY c.CustomerID LIMIT 1) AS \"Regional manager\", "
       "(SELECT group_concat(Name, ', ') FROM (SELECT DISTINCT e.Name FROM Customer c "
       " JOIN Employee e ON e.EmployeeID = c.AccountManager WHERE c.RegionID = r.RegionID "
       " ORDER BY e.Name)) AS \"Account managers\", "
       "(SELECT COUNT(*) FROM Customer c WHERE c.RegionID = r.RegionID) AS Customers, "
       "(SELECT ROUND(SUM(" LINE_AMOUNT "), 2) FROM OrderLine l JOIN Orders o ON o.OrderID = l.OrderID "
       " JOIN Customer c ON c.CustomerID = o.CustomerID WHERE c.RegionID = r.RegionID) AS Revenue "
       "FROM Region r WHERE r.RegionID = ?1"},
      {"RegionCustomers",
       "SELECT c.CustomerID AS Code, c.Name AS Customer, c.City, COUNT(DISTINCT o.OrderID) AS Orders, "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue "
       "FROM Customer c JOIN Orders o ON o.CustomerID = c.CustomerID "
       "JOIN OrderLine l ON l.OrderID = o.OrderID "
       "WHERE c.RegionID = ?1 GROUP BY c.CustomerID ORDER BY Revenue DESC"},
      {"RegionMonthly",
       "SELECT " MONTH_LABEL " AS Month, ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue "
       "FROM Region r JOIN Customer c ON c.RegionID = r.RegionID "
       "JOIN Orders o ON o.CustomerID = c.CustomerID JOIN OrderLine l ON l.OrderID = o.OrderID "
       "WHERE r.Name = ?1 GROUP BY strftime('%Y-%m', o.OrderDate) ORDER BY strftime('%Y-%m', o.OrderDate)"},
      {"CustomerCard",
       "SELECT c.Name AS Customer, c.CustomerID AS Code, c.City, r.Name AS Region, c.Phone, "
       "e.Name AS \"Account manager\", "
       "(SELECT COUNT(*) FROM Orders o WHERE o.CustomerID = c.CustomerID) AS Orders "
       "FROM Customer c JOIN Region r ON r.RegionID = c.RegionID "
       "JOIN Employee e ON e.EmployeeID = c.AccountManager WHERE c.CustomerID = ?1"},
      {"CustomerOrders",
       "SELECT o.OrderID AS \"Order\", o.OrderDate AS \"Date\", o.Status, SUM(l.Quantity) AS Units, "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Value "
       "FROM Orders o JOIN OrderLine l ON l.OrderID = o.OrderID "
       "WHERE o.CustomerID = ?1 GROUP BY o.OrderID ORDER BY o.OrderDate"},
      // The shape command of a customer's orders with their lines; the
      // customer code goes into it as a quoted argument.
      {"CustomerShape",
       "SELECT 'SHAPE {EXEC ShapeOrdersOf ''' || replace(?1, '''', '''''') || '''} "
       "APPEND ({EXEC ShapeLinesOf ''' || replace(?1, '''', '''''') || '''} AS Lines "
       "RELATE OrderID TO OrderID)' AS Command"},
      {"ShapeOrdersOf",
       "SELECT o.OrderID, o.OrderDate AS \"Date\", o.Status, e.Name AS \"Taken by\", "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Value "
       "FROM Orders o JOIN Employee e ON e.EmployeeID = o.EmployeeID "
       "JOIN OrderLine l ON l.OrderID = o.OrderID "
       "WHERE o.CustomerID = ?1 GROUP BY o.OrderID ORDER BY o.OrderID"},
      {"ShapeLinesOf",
       "SELECT l.OrderID, l.LineNo AS Line, p.Name AS Product, l.Quantity, l.UnitPrice AS \"Unit price\", "
       "ROUND(" LINE_AMOUNT ", 2) AS Amount "
       "FROM OrderLine l JOIN Orders o ON o.OrderID = l.OrderID JOIN Product p ON p.ProductID = l.ProductID "
       "WHERE o.CustomerID = ?1 ORDER BY l.OrderID, l.LineNo"},

      // --- Products ---
      {"ListProducts", "SELECT ProductID, Name FROM Product ORDER BY ProductID"},
      {"Catalogue", "SELECT Name, ImageFile, Category, Price FROM Product ORDER BY ProductID"},
      {"ProductCard",
       "SELECT ProductID AS \"Product no.\", Picture, Name, Code, Category, Price AS \"List price\", "
       "Description FROM Product WHERE ProductID = ?1"},
      {"ProductCustomers",
       "SELECT c.Name AS Customer, c.City, SUM(l.Quantity) AS Units, ROUND(SUM(" LINE_AMOUNT "), 2) AS Value "
       "FROM OrderLine l JOIN Orders o ON o.OrderID = l.OrderID "
       "JOIN Customer c ON c.CustomerID = o.CustomerID "
       "WHERE l.ProductID = ?1 GROUP BY c.CustomerID ORDER BY Units DESC, c.Name LIMIT 10"},

      // --- Staff: the tree's own top node has its row ID (below 100) as
      // key and lists the managing director; every other node a person.
      {"ListStaff",
       "SELECT EmployeeID, Name FROM Employee "
       "WHERE ManagerID = ?1 OR (?1 < 100 AND ManagerID IS NULL) ORDER BY Name"},
      {"ListOrdersTaken", "SELECT OrderID, 'Order ' || OrderID FROM Orders WHERE EmployeeID = ?1 ORDER BY OrderID"},
      {"EmployeeCard",
       "SELECT e.Name, e.Title, COALESCE(m.Name, '-') AS \"Reports to\", "
       "COALESCE(r.Name, 'Head office') AS Region, e.HireDate AS Joined, "
       "'<a href=\"mailto:' || e.Email || '\">' || e.Email || '</a>' AS Email "
       "FROM Employee e LEFT JOIN Employee m ON m.EmployeeID = e.ManagerID "
       "LEFT JOIN Region r ON r.RegionID = e.RegionID "
       "WHERE e.EmployeeID = ?1 OR (?1 < 100 AND e.ManagerID IS NULL)"},
      {"TeamSales",
       "WITH RECURSIVE team (EmployeeID, Depth, Path) AS ("
       " SELECT EmployeeID, 0, Name FROM Employee "
       " WHERE EmployeeID = ?1 OR (?1 < 100 AND ManagerID IS NULL) "
       " UNION ALL SELECT e.EmployeeID, t.Depth + 1, t.Path || '/' || e.Name "
       " FROM Employee e JOIN team t ON e.ManagerID = t.EmployeeID), "
       "sales (EmployeeID, Orders, Revenue) AS ("
       " SELECT o.EmployeeID, COUNT(DISTINCT o.OrderID), ROUND(SUM(" LINE_AMOUNT "), 2) "
       " FROM Orders o JOIN OrderLine l ON l.OrderID = o.OrderID GROUP BY o.EmployeeID) "
       "SELECT substr('&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
       "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;', 1, t.Depth * 24) "
       " || e.Name AS Name, e.Title, COALESCE(s.Orders, 0) AS Orders, "
       "COALESCE(s.Revenue, 0.0) AS Revenue "
       "FROM team t JOIN Employee e ON e.EmployeeID = t.EmployeeID "
       "LEFT JOIN sales s ON s.EmployeeID = t.EmployeeID ORDER BY t.Path"},
      {"OrderCard",
       "SELECT o.OrderID AS \"Order\", o.OrderDate AS \"Date\", c.Name AS Customer, c.City, "
       "e.Name AS \"Taken by\", o.Status "
       "FROM Orders o JOIN Customer c ON c.CustomerID = o.CustomerID "
       "JOIN Employee e ON e.EmployeeID = o.EmployeeID WHERE o.OrderID = ?1"},
      {"OrderLines",
       "SELECT l.LineNo AS Line, p.Name AS Product, l.Quantity, l.UnitPrice AS \"Unit price\", "
       "ROUND(" LINE_AMOUNT ", 2) AS Amount "
       "FROM OrderLine l JOIN Product p ON p.ProductID = l.ProductID WHERE l.OrderID = ?1 ORDER BY l.LineNo"},

      // --- Sales ---
      {"SalesIntro",
       "SELECT '<div class=note>The sales pages look at the year so far from four sides: "
       "<b>Monthly sales</b> by region, the <b>Sales team</b> by product category, the "
       "<b>Order book</b> region by region (click <img src=plus.gif alt=\"+\"> to open a "
       "level) and the <b>Best sellers</b>.</div>' AS Note"},
      {"YearToDate",
       "SELECT (SELECT COUNT(*) FROM Orders) AS Orders, "
       "(SELECT COUNT(*) FROM Orders WHERE Status = 'Open') AS \"Still open\", "
       "(SELECT SUM(Quantity) FROM OrderLine) AS \"Units sold\", "
       "(SELECT ROUND(SUM(Quantity * UnitPrice), 2) FROM OrderLine) AS Revenue, "
       "(SELECT ROUND(SUM(Quantity * UnitPrice) / COUNT(DISTINCT OrderID), 2) FROM OrderLine) "
       " AS \"Average order\""},
      {"MonthlyByRegion",
       "SELECT " MONTH_LABEL " AS Month, "
       "ROUND(SUM(CASE WHEN c.RegionID = 1 THEN " LINE_AMOUNT " ELSE 0 END), 2) AS North, "
       "ROUND(SUM(CASE WHEN c.RegionID = 2 THEN " LINE_AMOUNT " ELSE 0 END), 2) AS South, "
       "ROUND(SUM(CASE WHEN c.RegionID = 3 THEN " LINE_AMOUNT " ELSE 0 END), 2) AS East, "
       "ROUND(SUM(CASE WHEN c.RegionID = 4 THEN " LINE_AMOUNT " ELSE 0 END), 2) AS West, "
       "ROUND(SUM(CASE WHEN c.RegionID = 5 THEN " LINE_AMOUNT " ELSE 0 END), 2) AS Central "
       "FROM Orders o JOIN Customer c ON c.CustomerID = o.CustomerID "
       "JOIN OrderLine l ON l.OrderID = o.OrderID "
       "GROUP BY strftime('%Y-%m', o.OrderDate) ORDER BY strftime('%Y-%m', o.OrderDate)"},
      {"RepCategories",
       "SELECT e.Name AS Representative, "
       "ROUND(SUM(CASE WHEN p.Category = 'Stationery' THEN " LINE_AMOUNT " ELSE 0 END), 2) AS Stationery, "
       "ROUND(SUM(CASE WHEN p.Category = 'Furniture' THEN " LINE_AMOUNT " ELSE 0 END), 2) AS Furniture, "
       "ROUND(SUM(CASE WHEN p.Category = 'Electronics' THEN " LINE_AMOUNT " ELSE 0 END), 2) AS Electronics, "
       "ROUND(SUM(CASE WHEN p.Category = 'Kitchen' THEN " LINE_AMOUNT " ELSE 0 END), 2) AS Kitchen, "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Total "
       "FROM Employee e JOIN Orders o ON o.EmployeeID = e.EmployeeID "
       "JOIN OrderLine l ON l.OrderID = o.OrderID JOIN Product p ON p.ProductID = l.ProductID "
       "GROUP BY e.EmployeeID ORDER BY Total DESC"},
      {"RepActivity",
       "SELECT substr(e.Name, 1, instr(e.Name, ' ') - 1) AS Representative, "
       "COUNT(DISTINCT o.OrderID) AS Orders, SUM(l.Quantity) AS Units "
       "FROM Employee e JOIN Orders o ON o.EmployeeID = e.EmployeeID "
       "JOIN OrderLine l ON l.OrderID = o.OrderID GROUP BY e.EmployeeID ORDER BY e.Name"},
      // The order book: regions, their customers, and each customer's
      // orders, two levels below the regions.
      {"OrderBookShape",
       "SELECT 'SHAPE {EXEC ShapeRegions} APPEND ((SHAPE {EXEC ShapeCustomers} "
       "APPEND ({EXEC ShapeOrders} AS Orders RELATE CustomerID TO CustomerID)) AS Customers "
       "RELATE RegionID TO RegionID)' AS Command"},
      {"ShapeRegions",
       "SELECT r.RegionID, r.Name AS Region, COUNT(DISTINCT c.CustomerID) AS Customers, "
       "COUNT(DISTINCT o.OrderID) AS Orders, ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue "
       "FROM Region r JOIN Customer c ON c.RegionID = r.RegionID "
       "JOIN Orders o ON o.CustomerID = c.CustomerID JOIN OrderLine l ON l.OrderID = o.OrderID "
       "GROUP BY r.RegionID ORDER BY r.RegionID"},
      {"ShapeCustomers",
       "SELECT c.CustomerID, c.Name AS Customer, c.City, COUNT(DISTINCT o.OrderID) AS Orders, "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue, c.RegionID "
       "FROM Customer c JOIN Orders o ON o.CustomerID = c.CustomerID "
       "JOIN OrderLine l ON l.OrderID = o.OrderID GROUP BY c.CustomerID ORDER BY c.Name"},
      {"ShapeOrders",
       "SELECT o.OrderID AS \"Order\", o.OrderDate AS \"Date\", o.Status, SUM(l.Quantity) AS Units, "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Value, o.CustomerID "
       "FROM Orders o JOIN OrderLine l ON l.OrderID = o.OrderID GROUP BY o.OrderID ORDER BY o.OrderID"},
      {"BestSellers",
       "SELECT p.Code, SUM(l.Quantity) AS Units, ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue "
       "FROM Product p JOIN OrderLine l ON l.ProductID = p.ProductID "
       "GROUP BY p.ProductID ORDER BY Revenue DESC"},
      {"BestSellerTable",
       "SELECT p.Name AS Product, p.Category, p.Price, SUM(l.Quantity) AS Units, "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue "
       "FROM Product p JOIN OrderLine l ON l.ProductID = p.ProductID "
       "GROUP BY p.ProductID ORDER BY Revenue DESC"},

      // --- Margins (roles 1 and 2) ---
      {"MarginsNote",
       "SELECT '<div class=note>Margins are confidential: this page opens only for user roles 1 "
       "(management) and 2 (finance).</div>' AS Note"},
      {"Margins",
       "SELECT p.Name AS Product, p.Category, SUM(l.Quantity) AS Units, "
       "ROUND(SUM(" LINE_AMOUNT "), 2) AS Revenue, ROUND(SUM(l.Quantity * p.Cost), 2) AS Cost, "
       "ROUND(SUM(l.Quantity * (l.UnitPrice - p.Cost)), 2) AS Margin, "
       "ROUND(100.0 * SUM(l.Quantity * (l.UnitPrice - p.Cost)) / SUM(" LINE_AMOUNT "), 2) AS \"Margin %\" "
       "FROM Product p JOIN OrderLine l ON l.ProductID = p.ProductID "
       "GROUP BY p.ProductID ORDER BY \"Margin %\" DESC"},
  };
  return procedures;
}

}  // namespace zarel::demo
