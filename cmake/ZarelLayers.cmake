# The layer table: every folder that builds a library, and the folders it
# builds on directly. It is written once, here, and read twice:
#   - zarel_library() links a folder's library to the libraries of the
#     folders it builds on;
#   - the layer check (cmake/CheckLayers.cmake, the CTest test
#     layer_includes) lets a file include headers of its own folder and of
#     every folder beneath it, and nothing else.
# A folder builds on everything beneath the folders it names. The apps all
# sit on the whole component (zarel/control), the desktop host also on the
# toolkit adapter (zarel/desktop); among themselves, the program's entry
# (apps/zarel) sits on the commands, and the commands on their shared
# options. The desktop host is a program of its own, which the entry runs.
# The HTTP server the web host runs on (apps/http) needs only the base
# layer's text helpers. The web host's Export runs the export of zarel
# export (apps/export), so the web host builds on it.
#
# The testing folders (zarel/testing, apps/testing) hold test helpers. Only
# tests (*_test.cpp) and other helpers include them, and a test reaches
# through a helper only what its own folder may include.
set(ZAREL_LAYER_TABLE
  "zarel/base:"
  "zarel/db: zarel/base"
  "zarel/hostkit: zarel/base"
  "zarel/data: zarel/db"
  "zarel/components: zarel/db"
  "zarel/engine: zarel/components zarel/data zarel/hostkit"
  "zarel/control: zarel/engine"
  "zarel/desktop: zarel/control"
  "apps/http: zarel/base"
  "apps/options: zarel/control"
  "apps/browse: apps/options"
  "apps/serve: apps/options apps/http apps/export"
  "apps/crawl: apps/options"
  "apps/check: apps/crawl"
  "apps/pdf: zarel/base"
  "apps/export: apps/crawl apps/pdf"
  "apps/sitekit: zarel/control"
  "apps/demo: apps/sitekit"
  "apps/newsite: apps/sitekit"
  "apps/desktop: apps/options zarel/desktop"
  "apps/zarel: apps/browse apps/serve apps/demo apps/check apps/newsite apps/export"
  "benchmarks: apps/zarel"
  "fuzz: apps/zarel"
  "tests/package: zarel/desktop"
)
