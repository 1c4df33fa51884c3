# {fmt} header-only from the unpacked Debian source, for builds that cannot use the
# system's libfmt-dev (cross-compiling for Windows). Same target name as fmt's own package.

file(GLOB _fmt_dirs "${TW07_CACHE_DIR}/deps/fmtlib-*/include")
if(NOT _fmt_dirs)
  message(FATAL_ERROR "{fmt} sources not found in ${TW07_CACHE_DIR}/deps; run scripts/setup.sh")
endif()
list(GET _fmt_dirs 0 _fmt_include)
add_library(fmt::fmt-header-only INTERFACE IMPORTED)
target_include_directories(fmt::fmt-header-only SYSTEM INTERFACE "${_fmt_include}")
target_compile_definitions(fmt::fmt-header-only INTERFACE FMT_HEADER_ONLY=1)
