# sqlite_amalgamation.cmake: SQLite for a build with no system SQLite (the Windows tool), compiled into it
# from the amalgamation that the npm package better-sqlite3 carries. The package is fetched at configure time
# into build/third_party/ (scripts/fetch-npm-package.sh), never committed. Gives the static library kv_sqlite3
# under the name Linux's find_package(SQLite3) gives, SQLite::SQLite3, and sets SQLite3_VERSION.
set(KV_SQLITE_NPM_PACKAGE better-sqlite3)
set(KV_SQLITE_NPM_VERSION 12.11.1)

find_program(KV_NPM npm)
if(NOT KV_NPM)
  message(FATAL_ERROR "The Windows tool's archive compiles SQLite from the npm package ${KV_SQLITE_NPM_PACKAGE} "
                      "${KV_SQLITE_NPM_VERSION}, and npm is not installed: run scripts/install-deps.sh "
                      "(Debian's npm) or configure with -DKV_BUILD_TOOLS=OFF.")
endif()
execute_process(
  COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/fetch-npm-package.sh ${KV_SQLITE_NPM_PACKAGE} ${KV_SQLITE_NPM_VERSION}
  RESULT_VARIABLE kv_fetch_status OUTPUT_VARIABLE kv_sqlite_package ERROR_VARIABLE kv_fetch_error
  OUTPUT_STRIP_TRAILING_WHITESPACE)
set(kv_sqlite_dir ${kv_sqlite_package}/deps/sqlite3)
if(NOT kv_fetch_status EQUAL 0 OR NOT EXISTS ${kv_sqlite_dir}/sqlite3.c OR NOT EXISTS ${kv_sqlite_dir}/sqlite3.h)
  message(FATAL_ERROR "Could not fetch ${KV_SQLITE_NPM_PACKAGE} ${KV_SQLITE_NPM_VERSION} from the npm registry "
                      "for SQLite's source (is the registry reachable?):\n${kv_fetch_error}")
endif()

file(STRINGS ${kv_sqlite_dir}/sqlite3.h kv_sqlite_version_line REGEX "^#define SQLITE_VERSION +\"")
string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" SQLite3_VERSION "${kv_sqlite_version_line}")
message(STATUS "SQLite ${SQLite3_VERSION}: compiled in from ${KV_SQLITE_NPM_PACKAGE} ${KV_SQLITE_NPM_VERSION}")

add_library(kv_sqlite3 STATIC ${kv_sqlite_dir}/sqlite3.c)
target_include_directories(kv_sqlite3 SYSTEM PUBLIC ${kv_sqlite_dir})
# Third-party C: none of the project's warnings or arithmetic options. The archive opens no extensions,
# quotes strings with ' only, relies on REFERENCES being kept, and never uses the calls SQLite deprecates,
# the shared cache or URI file names (a path is a path).
target_compile_options(kv_sqlite3 PRIVATE -w)
target_compile_definitions(kv_sqlite3 PRIVATE
  SQLITE_OMIT_LOAD_EXTENSION SQLITE_THREADSAFE=1 SQLITE_DQS=0 SQLITE_DEFAULT_FOREIGN_KEYS=1
  SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_OMIT_DEPRECATED SQLITE_OMIT_SHARED_CACHE SQLITE_USE_URI=0)
add_library(SQLite::SQLite3 ALIAS kv_sqlite3)
