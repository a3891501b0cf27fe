# Warnings used for every target of the project. They are errors nowhere by
# default, so a newer compiler cannot break a user's build; scripts/test
# builds with ZAREL_WERROR=ON so the project's own tree stays clean.
option(ZAREL_WERROR "Treat compiler warnings as errors" OFF)
set(ZAREL_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wimplicit-fallthrough)
if(ZAREL_WERROR)
  list(APPEND ZAREL_WARNING_FLAGS -Werror)
endif()
