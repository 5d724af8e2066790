# Read by cpack as it makes the package: the package is reproducible when
# its times come from SOURCE_DATE_EPOCH, so an empty one, as a failed
# $(git log ...) leaves it, is refused, and none at all is said.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"$ENV{SOURCE_DATE_EPOCH}\", not a time in seconds: "
    "export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) in the clone, or unset it")
elseif(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(WARNING "SOURCE_DATE_EPOCH is not set: the package carries today's times and is not "
    "reproducible (export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) in the clone)")
endif()
