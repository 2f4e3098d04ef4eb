#pragma once
#include <httplib.h>

#include <memory>
#include <string>

#include "Access.h"
#include "Connection.h"
#include "Store.h"

namespace qs {

struct ServerOptions {
  std::string dataDir;                       // the database and the file store live here
  bool sharedData = false;                   // other server processes use the same folder
  size_t maxFormBytes = 16u << 20;           // one form request (an article's HTML included)
  size_t maxFileBytes = 64u << 20;           // one uploaded file
  ConnectionLimits limits;
  size_t maxLargeBodies = 16;                // bodies over 64 KB read at the same time
  ThrottleOptions throttle;
  int activeRunMinutes = 30;                 // another staff member's run blocks a start this long after its last request
};

class QuiloServer {
 public:
  QuiloServer(Store& store, ServerOptions options);
  ~QuiloServer();
  // Binds the listening socket; port 0 picks a free one. Returns the port, or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop(); returns false when it could not serve.
  bool Listen();
  void Stop();
  bool WaitUntilRunning(int timeoutMs);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Builds the "VuxMetaInfo.txt" bytes from the stored column definitions: UTF-8 with BOM, TAB-separated, CR LF.
std::string MetaInfoFile(const std::vector<MetaColumn>& columns);

}  // namespace qs
