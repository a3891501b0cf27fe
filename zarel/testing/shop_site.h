// A small shop site that the command tests of several tools build on: a
// variable node of products with a leaf page per product, a node only roles
// 2 and 5 may open, and a sales page with a grid.
//
// Functions only; nothing shared.
#ifndef ZAREL_TESTING_SHOP_SITE_H_
#define ZAREL_TESTING_SHOP_SITE_H_

#include <string>
#include <vector>

namespace zarel::testing {

// The site tables (SiteSchema) and the shop's rows:
//   1 Shop (fixed)
//     2 Products (variable, ListProducts; record children shaped by row 3,
//       a leaf whose page shows the product: XWeb 2, OneProduct lkey)
//       records 1 Apple (price 3), 2 Pear (price 4)
//     4 Staff only (leaf, roles 2:5; XWeb 8, a header of ListProducts)
//     5 Reports (fixed)
//       6 Sales (leaf; XWeb 3, the grid of SalesByMonth: 2026-01 42,
//         2026-02 45)
// Products shows XWeb 1, the grid of ListProducts. The XScr "page" opening
// is there; the "front" page is not, so that each test gives its own
// (with or without pictures), and so are any further components.
std::vector<std::string> ShopSite();

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_SHOP_SITE_H_
