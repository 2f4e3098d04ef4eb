#pragma once
// The administration readback of a product: its last run and everything it holds, one line per
// item, fields separated by TAB, so that scripts can count and compare what an upload left.
#include <string>
#include <vector>

#include "Store.h"

namespace qs {

// "product", "run" (or "run\tnone"), then every "record", "tablink", "imagelink" and "file", and a
// closing "counts" line. Texts are escaped (\\, \t, \r, \n); long values appear as their length
// and SHA-256. `dataDir` finds the stored files, whose size on disk is shown beside the recorded one.
// Throws StoreError for an unknown product.
std::vector<std::string> ProductShowLines(Store& store, const std::string& productId, const std::string& dataDir);

}  // namespace qs
