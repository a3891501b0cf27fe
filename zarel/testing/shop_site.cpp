// The shop site's rows (see shop_site.h).
#include "zarel/testing/shop_site.h"

#include "zarel/testing/engine_rig.h"

namespace zarel::testing {

std::vector<std::string> ShopSite() {
  std::vector<std::string> site = SiteSchema();
  const std::vector<std::string> rows = {
      Insert("XNav", "1, 'Shop', 'fixed', 0, NULL, NULL, NULL, NULL"),
      Insert("XNav", "2, 'Products', 'variable', 1, 'ListProducts', NULL, 2, NULL"),
      Insert("XNav", "3, 'Product', 'leaf', 2, NULL, NULL, 3, NULL"),
      Insert("XNav", "4, 'Staff only', 'leaf', 1, NULL, NULL, NULL, '2:5'"),
      Insert("XNav", "5, 'Reports', 'fixed', 1, NULL, NULL, NULL, NULL"),
      Insert("XNav", "6, 'Sales', 'leaf', 5, NULL, NULL, NULL, NULL"),
      Insert("XWeb", "1, 2, 1, 'All products', 'ListProducts', NULL, 'table', '0', NULL"),
      Insert("XWeb", "2, 3, 1, 'Product', 'OneProduct', 'lkey', 'header', NULL, NULL"),
      Insert("XWeb", "8, 4, 1, 'Staff', 'ListProducts', NULL, 'header', NULL, NULL"),
      Insert("XWeb", "3, 6, 1, 'Sales', 'SalesByMonth', NULL, 'table', 'all', NULL"),
      Insert("XScr", "2, 'page', '<html><head><title>Shop</title></head><body><div>'"),
      Insert("XProc", "'ListProducts', 'SELECT ID AS \"ID\", Name AS \"Name\" FROM Product ORDER BY ID'"),
      Insert("XProc", "'OneProduct', 'SELECT Name AS \"Name\", Price AS \"Price\" FROM Product "
                      "WHERE ID = CAST(?1 AS INTEGER)'"),
      Insert("XProc", "'SalesByMonth', 'SELECT Month AS \"Month\", SUM(Amount) AS \"Amount\" FROM Sale "
                      "GROUP BY Month ORDER BY Month'"),
      "CREATE TABLE Product (ID INTEGER, Name VARCHAR(40), Price INTEGER)",
      Insert("Product", "1, 'Apple', 3"),
      Insert("Product", "2, 'Pear', 4"),
      "CREATE TABLE Sale (ProductID INTEGER, Month VARCHAR(10), Amount INTEGER)",
      Insert("Sale", "1, '2026-01', 30"),
      Insert("Sale", "2, '2026-01', 12"),
      Insert("Sale", "1, '2026-02', 45"),
  };
  site.insert(site.end(), rows.begin(), rows.end());
  return site;
}

}  // namespace zarel::testing
