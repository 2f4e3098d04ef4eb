#pragma once
// Loading reference data from text files (the seed folder and the administration commands).
#include <string>
#include <vector>

#include "Store.h"

namespace qs {

// The text lines of a UTF-8 file (byte-order mark dropped, CR LF or LF); throws StoreError.
std::vector<std::string> ReadUtf8Lines(const std::string& path);
std::string ReadBytes(const std::string& path);

void LoadMetaInfoFile(Store& store, const std::string& path);     // 8 TAB-separated fields per column
void LoadCodeTableFile(Store& store, const std::string& path);    // GROUP TAB NAME TAB VALUE
void LoadKeywordsFile(Store& store, const std::string& productId, const std::string& path);

// A seed folder: VuxMetaInfo.txt, codetable.tsv, staff.tsv, products.tsv, assignments.tsv,
// keywords/<product ID>.txt, Tupdate.exe; each optional. Returns a line per loaded part.
std::vector<std::string> LoadSeed(Store& store, const std::string& dir);

}  // namespace qs
