#pragma once
// The server's own pages: what has been uploaded, for a person to look at.
#include <optional>
#include <string>

#include "Store.h"

namespace qs {

std::string OverviewPage(Store& store);
std::optional<std::string> RunPage(Store& store, int64_t runId);
std::optional<std::string> RecordPage(Store& store, int64_t recordId);
std::string StoredHtmlPage(const RecordRow& record);
std::string HelpPage();
// The staff login of the pages; `message` (plain text) tells why it is shown again.
std::string LoginPage(const std::string& message);

}  // namespace qs
