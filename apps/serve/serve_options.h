// The settings of the web host `zarel serve`, as its command line gives them.
//
// The display settings are those of `zarel browse`; the others say where the
// site is, where to listen and how many users to serve at once.
#ifndef ZAREL_APPS_SERVE_SERVE_OPTIONS_H_
#define ZAREL_APPS_SERVE_SERVE_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "apps/options/display_options.h"

namespace zarel::serve {

struct ServeOptions {
  std::string connection;
  // The site's application folder (its images and other static files);
  // every session works in a copy of it.
  std::string site;
  std::string bind = "127.0.0.1";
  int port = 8080;  // 0: any free port (tests)
  // A saved form holding the Zarel control that each session loads; without
  // it every session places a fresh control (ActivePort 80).
  std::optional<std::string> form;

  DisplayOptions display;
  // Adds a "reason" event after each database read that failed, with the
  // database layer's own reason.
  bool diagnose = false;

  // At most this many sessions at once; a new user beyond them is answered
  // 503 until an idle session expires.
  int max_sessions = 32;
  // A session unused for this many seconds expires and its folder goes.
  int session_timeout = 1800;
  // Threads answering requests (each open browser connection holds one).
  int threads = 128;
  // Where session folders are made; empty: the system's temporary folder.
  std::string work_root;
};

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_OPTIONS_H_
