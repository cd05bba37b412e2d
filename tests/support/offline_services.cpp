// Test programs, and the programs they start, never reach a web service
// beyond this machine: unless a test points them at its own server, the TMDb
// and update addresses lead to a closed port on 127.0.0.1, whatever key or
// address a build carries.
#include <cstdlib>

namespace {

struct OfflineServices {
  OfflineServices() {
    setenv("DISCPRESS_TMDB_URL", "http://127.0.0.1:9", 0);
    setenv("DISCPRESS_UPDATE_URL", "http://127.0.0.1:9", 0);
  }
};
const OfflineServices offline_services;

}  // namespace
