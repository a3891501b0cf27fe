// The demo site's stored procedures in PostgreSQL's dialect (see
// demo_site.h). Each gives the same rows, column names and column types as
// its SQLite twin in demo_site_tables.cpp, so every page is the same on both
// backends:
//   - output columns are named in double quotes (PostgreSQL folds bare names
//     to lower case);
//   - counts and sums of whole numbers are cast to int (SQLite gives Long),
//     rounded amounts to float8 (SQLite's round gives a double);
//   - texts made by expressions are cast to varchar (SQLite gives them no
//     declared type, read as a 255-character text);
//   - texts are sorted with COLLATE "C", byte by byte as SQLite does,
//     whatever the database's own collation.
#include "apps/demo/demo_site.h"

namespace zarel::demo {

namespace {

#define PG_LINE_AMOUNT "l.quantity * l.unitprice"
// "Mar 2026": the month of an order, and the month it is grouped by.
#define PG_MONTH "date_trunc('month', o.orderdate)"
#define PG_MONTH_LABEL "to_char(" PG_MONTH ", 'Mon YYYY')::varchar"

}  // namespace

const std::vector<Procedure>& PostgresProcedures() {
  static const std::vector<Procedure> procedures = {
      // --- Dashboard ---
      {"Welcome",
       "SELECT '<div class=banner><h2>Welcome to the Brightwater Supplies report site</h2>"
       "<p>Brightwater sells office supplies, furniture and kitchen goods to thirty businesses "
       "in five regions. Every page here is composed from the report database: open a region, a "
       "customer, a product or a member of staff in the tree on the left.</p></div>'::varchar AS \"Welcome\""},
      {"LogVisit", "INSERT INTO visit (day, page) VALUES (?1, 'Dashboard')"},
      {"AtAGlance",
       "SELECT ?1::varchar AS \"Report date\", "
       "(SELECT COUNT(*) FROM customer)::int AS \"Customers\", "
       "(SELECT COUNT(*) FROM orders)::int AS \"Orders\", "
       "(SELECT COUNT(*) FROM orders WHERE status = 'Open')::int AS \"Open orders\", "
       "(SELECT ROUND(SUM(quantity * unitprice), 2) FROM orderline)::float8 AS \"Revenue\", "
       "(SELECT COUNT(*) FROM visit WHERE page = 'Dashboard')::int AS \"Dashboard views\""},
      {"RegionChart",
       "SELECT r.name AS \"Region\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\", "
       "COUNT(DISTINCT o.orderid)::int AS \"Orders\" "
       "FROM region r JOIN customer c ON c.regionid = r.regionid "
       "JOIN orders o ON o.customerid = c.customerid JOIN orderline l ON l.orderid = o.orderid "
       "GROUP BY r.regionid ORDER BY r.regionid"},

      // --- Regions and customers ---
      {"ListRegions", "SELECT regionid AS \"RegionID\", name AS \"Name\" FROM region ORDER BY regionid"},
      {"RegionSummary",
       "SELECT r.name AS \"Region\", "
       "(SELECT m.name FROM customer c JOIN employee e ON e.employeeid = c.accountmanager "
       " JOIN employee m ON m.employeeid = e.managerid WHERE c.regionid = r.regionid "
       " ORDER BY c.customerid COLLATE \"C\" LIMIT 1)::varchar AS \"Regional manager\", "
       "(SELECT COUNT(*) FROM customer c WHERE c.regionid = r.regionid)::int AS \"Customers\", "
       "(SELECT COUNT(*) FROM orders o JOIN customer c ON c.customerid = o.customerid "
       " WHERE c.regionid = r.regionid)::int AS \"Orders\", "
       "(SELECT ROUND(SUM(" PG_LINE_AMOUNT "), 2) FROM orderline l JOIN orders o ON o.orderid = l.orderid "
       " JOIN customer c ON c.customerid = o.customerid WHERE c.regionid = r.regionid)::float8 AS \"Revenue\" "
       "FROM region r ORDER BY r.regionid"},
      {"ListCustomersInRegion",
       "SELECT customerid AS \"CustomerID\", name AS \"Name\" FROM customer WHERE regionid = ?1 "
       "ORDER BY name COLLATE \"C\""},
      {"RegionCard",
       "SELECT r.name AS \"Region\", "
       "(SELECT m.name FROM customer c JOIN employee e ON e.employeeid = c.accountmanager "
       " JOIN employee m ON m.employeeid = e.managerid WHERE c.regionid = r.regionid "
       " ORDER BY c.customerid COLLATE \"C\" LIMIT 1)::varchar AS \"Regional manager\", "
       "(SELECT string_agg(d.name, ', ' ORDER BY d.name COLLATE \"C\") FROM (SELECT DISTINCT e.name "
       " FROM customer c JOIN employee e ON e.employeeid = c.accountmanager "
       " WHERE c.regionid = r.regionid) d)::varchar AS \"Account managers\", "
       "(SELECT COUNT(*) FROM customer c WHERE c.regionid = r.regionid)::int AS \"Customers\", "
       "(SELECT ROUND(SUM(" PG_LINE_AMOUNT "), 2) FROM orderline l JOIN orders o ON o.orderid = l.orderid "
       " JOIN customer c ON c.customerid = o.customerid WHERE c.regionid = r.regionid)::float8 AS \"Revenue\" "
       "FROM region r WHERE r.regionid = ?1"},
      {"RegionCustomers",
       "SELECT c.customerid AS \"Code\", c.name AS \"Customer\", c.city AS \"City\", "
       "COUNT(DISTINCT o.orderid)::int AS \"Orders\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\" "
       "FROM customer c JOIN orders o ON o.customerid = c.customerid "
       "JOIN orderline l ON l.orderid = o.orderid "
       "WHERE c.regionid = ?1 GROUP BY c.customerid ORDER BY \"Revenue\" DESC"},
      {"RegionMonthly",
       "SELECT " PG_MONTH_LABEL " AS \"Month\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\" "
       "FROM region r JOIN customer c ON c.regionid = r.regionid "
       "JOIN orders o ON o.customerid = c.customerid JOIN orderline l ON l.orderid = o.orderid "
       "WHERE r.name = ?1 GROUP BY " PG_MONTH " ORDER BY " PG_MONTH},
      {"CustomerCard",
       "SELECT c.name AS \"Customer\", c.customerid AS \"Code\", c.city AS \"City\", r.name AS \"Region\", "
       "c.phone AS \"Phone\", e.name AS \"Account manager\", "
       "(SELECT COUNT(*) FROM orders o WHERE o.customerid = c.customerid)::int AS \"Orders\" "
       "FROM customer c JOIN region r ON r.regionid = c.regionid "
       "JOIN employee e ON e.employeeid = c.accountmanager WHERE c.customerid = ?1"},
      {"CustomerOrders",
       "SELECT o.orderid AS \"Order\", o.orderdate AS \"Date\", o.status AS \"Status\", "
       "SUM(l.quantity)::int AS \"Units\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Value\" "
       "FROM orders o JOIN orderline l ON l.orderid = o.orderid "
       "WHERE o.customerid = ?1 GROUP BY o.orderid ORDER BY o.orderdate"},
      {"CustomerShape",
       "SELECT ('SHAPE {EXEC ShapeOrdersOf ''' || replace(?1, '''', '''''') || '''} "
       "APPEND ({EXEC ShapeLinesOf ''' || replace(?1, '''', '''''') || '''} AS Lines "
       "RELATE OrderID TO OrderID)')::varchar AS \"Command\""},
      {"ShapeOrdersOf",
       "SELECT o.orderid AS \"OrderID\", o.orderdate AS \"Date\", o.status AS \"Status\", "
       "e.name AS \"Taken by\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Value\" "
       "FROM orders o JOIN employee e ON e.employeeid = o.employeeid "
       "JOIN orderline l ON l.orderid = o.orderid "
       "WHERE o.customerid = ?1 GROUP BY o.orderid, e.employeeid ORDER BY o.orderid"},
      {"ShapeLinesOf",
       "SELECT l.orderid AS \"OrderID\", l.lineno AS \"Line\", p.name AS \"Product\", l.quantity AS \"Quantity\", "
       "l.unitprice AS \"Unit price\", ROUND(" PG_LINE_AMOUNT ", 2)::float8 AS \"Amount\" "
       "FROM orderline l JOIN orders o ON o.orderid = l.orderid JOIN product p ON p.productid = l.productid "
       "WHERE o.customerid = ?1 ORDER BY l.orderid, l.lineno"},

      // --- Products ---
      {"ListProducts", "SELECT productid AS \"ProductID\", name AS \"Name\" FROM product ORDER BY productid"},
      {"Catalogue",
       "SELECT name AS \"Name\", imagefile AS \"ImageFile\", category AS \"Category\", price AS \"Price\" "
       "FROM product ORDER BY productid"},
      {"ProductCard",
       "SELECT productid AS \"Product no.\", picture AS \"Picture\", name AS \"Name\", code AS \"Code\", "
       "category AS \"Category\", price AS \"List price\", description AS \"Description\" "
       "FROM product WHERE productid = ?1"},
      {"ProductCustomers",
       "SELECT c.name AS \"Customer\", c.city AS \"City\", SUM(l.quantity)::int AS \"Units\", "
       "ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Value\" "
       "FROM orderline l JOIN orders o ON o.orderid = l.orderid "
       "JOIN customer c ON c.customerid = o.customerid "
       "WHERE l.productid = ?1 GROUP BY c.customerid ORDER BY \"Units\" DESC, c.name COLLATE \"C\" LIMIT 10"},

      // --- Staff ---
      {"ListStaff",
       "SELECT employeeid AS \"EmployeeID\", name AS \"Name\" FROM employee "
       "WHERE managerid = ?1 OR (?1 < 100 AND managerid IS NULL) ORDER BY name COLLATE \"C\""},
      {"ListOrdersTaken",
       "SELECT orderid AS \"OrderID\", ('Order ' || orderid)::varchar AS \"Caption\" FROM orders "
       "WHERE employeeid = ?1 ORDER BY orderid"},
      {"EmployeeCard",
       "SELECT e.name AS \"Name\", e.title AS \"Title\", COALESCE(m.name, '-')::varchar AS \"Reports to\", "
       "COALESCE(r.name, 'Head office')::varchar AS \"Region\", e.hiredate AS \"Joined\", "
       "('<a href=\"mailto:' || e.email || '\">' || e.email || '</a>')::varchar AS \"Email\" "
       "FROM employee e LEFT JOIN employee m ON m.employeeid = e.managerid "
       "LEFT JOIN region r ON r.regionid = e.regionid "
       "WHERE e.employeeid = ?1 OR (?1 < 100 AND e.managerid IS NULL)"},
      {"TeamSales",
       "WITH RECURSIVE team (employeeid, depth, path) AS ("
       " SELECT employeeid, 0, name::text FROM employee "
       " WHERE employeeid = ?1 OR (?1 < 100 AND managerid IS NULL) "
       " UNION ALL SELECT e.employeeid, t.depth + 1, t.path || '/' || e.name "
       " FROM employee e JOIN team t ON e.managerid = t.employeeid), "
       "sales (employeeid, orders, revenue) AS ("
       " SELECT o.employeeid, COUNT(DISTINCT o.orderid)::int, ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 "
       " FROM orders o JOIN orderline l ON l.orderid = o.orderid GROUP BY o.employeeid) "
       "SELECT (substr('&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
       "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;', 1, t.depth * 24) "
       " || e.name)::varchar AS \"Name\", e.title AS \"Title\", COALESCE(s.orders, 0) AS \"Orders\", "
       "COALESCE(s.revenue, 0.0)::float8 AS \"Revenue\" "
       "FROM team t JOIN employee e ON e.employeeid = t.employeeid "
       "LEFT JOIN sales s ON s.employeeid = t.employeeid ORDER BY t.path COLLATE \"C\""},
      {"OrderCard",
       "SELECT o.orderid AS \"Order\", o.orderdate AS \"Date\", c.name AS \"Customer\", c.city AS \"City\", "
       "e.name AS \"Taken by\", o.status AS \"Status\" "
       "FROM orders o JOIN customer c ON c.customerid = o.customerid "
       "JOIN employee e ON e.employeeid = o.employeeid WHERE o.orderid = ?1"},
      {"OrderLines",
       "SELECT l.lineno AS \"Line\", p.name AS \"Product\", l.quantity AS \"Quantity\", "
       "l.unitprice AS \"Unit price\", ROUND(" PG_LINE_AMOUNT ", 2)::float8 AS \"Amount\" "
       "FROM orderline l JOIN product p ON p.productid = l.productid WHERE l.orderid = ?1 ORDER BY l.lineno"},

      // --- Sales ---
      {"SalesIntro",
       "SELECT '<div class=note>The sales pages look at the year so far from four sides: "
       "<b>Monthly sales</b> by region, the <b>Sales team</b> by product category, the "
       "<b>Order book</b> region by region (click <img src=plus.gif alt=\"+\"> to open a "
       "level) and the <b>Best sellers</b>.</div>'::varchar AS \"Note\""},
      {"YearToDate",
       "SELECT (SELECT COUNT(*) FROM orders)::int AS \"Orders\", "
       "(SELECT COUNT(*) FROM orders WHERE status = 'Open')::int AS \"Still open\", "
       "(SELECT SUM(quantity) FROM orderline)::int AS \"Units sold\", "
       "(SELECT ROUND(SUM(quantity * unitprice), 2) FROM orderline)::float8 AS \"Revenue\", "
       "(SELECT ROUND(SUM(quantity * unitprice) / COUNT(DISTINCT orderid), 2) FROM orderline)::float8 "
       " AS \"Average order\""},
      {"MonthlyByRegion",
       "SELECT " PG_MONTH_LABEL " AS \"Month\", "
       "ROUND(SUM(CASE WHEN c.regionid = 1 THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"North\", "
       "ROUND(SUM(CASE WHEN c.regionid = 2 THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"South\", "
       "ROUND(SUM(CASE WHEN c.regionid = 3 THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"East\", "
       "ROUND(SUM(CASE WHEN c.regionid = 4 THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"West\", "
       "ROUND(SUM(CASE WHEN c.regionid = 5 THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"Central\" "
       "FROM orders o JOIN customer c ON c.customerid = o.customerid "
       "JOIN orderline l ON l.orderid = o.orderid "
       "GROUP BY " PG_MONTH " ORDER BY " PG_MONTH},
      {"RepCategories",
       "SELECT e.name AS \"Representative\", "
       "ROUND(SUM(CASE WHEN p.category = 'Stationery' THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"Stationery\", "
       "ROUND(SUM(CASE WHEN p.category = 'Furniture' THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"Furniture\", "
       "ROUND(SUM(CASE WHEN p.category = 'Electronics' THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"Electronics\", "
       "ROUND(SUM(CASE WHEN p.category = 'Kitchen' THEN " PG_LINE_AMOUNT " ELSE 0 END), 2)::float8 AS \"Kitchen\", "
       "ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Total\" "
       "FROM employee e JOIN orders o ON o.employeeid = e.employeeid "
       "JOIN orderline l ON l.orderid = o.orderid JOIN product p ON p.productid = l.productid "
       "GROUP BY e.employeeid ORDER BY \"Total\" DESC"},
      {"RepActivity",
       "SELECT split_part(e.name, ' ', 1)::varchar AS \"Representative\", "
       "COUNT(DISTINCT o.orderid)::int AS \"Orders\", SUM(l.quantity)::int AS \"Units\" "
       "FROM employee e JOIN orders o ON o.employeeid = e.employeeid "
       "JOIN orderline l ON l.orderid = o.orderid GROUP BY e.employeeid ORDER BY e.name COLLATE \"C\""},
      {"OrderBookShape",
       "SELECT 'SHAPE {EXEC ShapeRegions} APPEND ((SHAPE {EXEC ShapeCustomers} "
       "APPEND ({EXEC ShapeOrders} AS Orders RELATE CustomerID TO CustomerID)) AS Customers "
       "RELATE RegionID TO RegionID)'::varchar AS \"Command\""},
      {"ShapeRegions",
       "SELECT r.regionid AS \"RegionID\", r.name AS \"Region\", COUNT(DISTINCT c.customerid)::int AS \"Customers\", "
       "COUNT(DISTINCT o.orderid)::int AS \"Orders\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\" "
       "FROM region r JOIN customer c ON c.regionid = r.regionid "
       "JOIN orders o ON o.customerid = c.customerid JOIN orderline l ON l.orderid = o.orderid "
       "GROUP BY r.regionid ORDER BY r.regionid"},
      {"ShapeCustomers",
       "SELECT c.customerid AS \"CustomerID\", c.name AS \"Customer\", c.city AS \"City\", "
       "COUNT(DISTINCT o.orderid)::int AS \"Orders\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\", "
       "c.regionid AS \"RegionID\" "
       "FROM customer c JOIN orders o ON o.customerid = c.customerid "
       "JOIN orderline l ON l.orderid = o.orderid GROUP BY c.customerid ORDER BY c.name COLLATE \"C\""},
      {"ShapeOrders",
       "SELECT o.orderid AS \"Order\", o.orderdate AS \"Date\", o.status AS \"Status\", "
       "SUM(l.quantity)::int AS \"Units\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Value\", "
       "o.customerid AS \"CustomerID\" "
       "FROM orders o JOIN orderline l ON l.orderid = o.orderid GROUP BY o.orderid ORDER BY o.orderid"},
      {"BestSellers",
       "SELECT p.code AS \"Code\", SUM(l.quantity)::int AS \"Units\", "
       "ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\" "
       "FROM product p JOIN orderline l ON l.productid = p.productid "
       "GROUP BY p.productid ORDER BY \"Revenue\" DESC"},
      {"BestSellerTable",
       "SELECT p.name AS \"Product\", p.category AS \"Category\", p.price AS \"Price\", "
       "SUM(l.quantity)::int AS \"Units\", ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\" "
       "FROM product p JOIN orderline l ON l.productid = p.productid "
       "GROUP BY p.productid ORDER BY \"Revenue\" DESC"},

      // --- Margins (roles 1 and 2) ---
      {"MarginsNote",
       "SELECT '<div class=note>Margins are confidential: this page opens only for user roles 1 "
       "(management) and 2 (finance).</div>'::varchar AS \"Note\""},
      {"Margins",
       "SELECT p.name AS \"Product\", p.category AS \"Category\", SUM(l.quantity)::int AS \"Units\", "
       "ROUND(SUM(" PG_LINE_AMOUNT "), 2)::float8 AS \"Revenue\", "
       "ROUND(SUM(l.quantity * p.cost), 2)::float8 AS \"Cost\", "
       "ROUND(SUM(l.quantity * (l.unitprice - p.cost)), 2)::float8 AS \"Margin\", "
       "ROUND(100.0 * SUM(l.quantity * (l.unitprice - p.cost)) / SUM(" PG_LINE_AMOUNT "), 2)::float8 "
       "AS \"Margin %\" "
       "FROM product p JOIN orderline l ON l.productid = p.productid "
       "GROUP BY p.productid ORDER BY \"Margin %\" DESC"},
  };
  return procedures;
}

}  // namespace zarel::demo
