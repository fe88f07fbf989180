# zlib and minizip for both targets, GoogleTest for both targets.
if(WIN32)
  set(KBT_MINIZIP_DIR "" CACHE PATH "minizip sources (contrib/minizip of Debian's zlib source package)")
  if(NOT EXISTS "${KBT_MINIZIP_DIR}/iowin32.c")
    message(FATAL_ERROR "KBT_MINIZIP_DIR must name the minizip sources; scripts/build fetches them")
  endif()
  # zlib from the same Debian source as the packaged mingw library, built with -O3: deflate under
  # Wine then takes about the native build's time instead of 1.2 times it. Without the sources
  # the packaged library serves.
  get_filename_component(KBT_ZLIB_SOURCE_DIR "${KBT_MINIZIP_DIR}/../zlib" ABSOLUTE)
  get_filename_component(KBT_SOURCE_CACHE_DIR "${KBT_MINIZIP_DIR}/.." ABSOLUTE)
  add_compile_options(-ffile-prefix-map=${KBT_SOURCE_CACHE_DIR}/=cache/)
  if(EXISTS "${KBT_ZLIB_SOURCE_DIR}/deflate.c")
    set(KBT_ZLIB_SOURCES adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate
        inftrees trees uncompr zutil)
    list(TRANSFORM KBT_ZLIB_SOURCES PREPEND ${KBT_ZLIB_SOURCE_DIR}/)
    list(TRANSFORM KBT_ZLIB_SOURCES APPEND .c)
    add_library(kbt_zlib STATIC ${KBT_ZLIB_SOURCES})
    target_include_directories(kbt_zlib SYSTEM PUBLIC ${KBT_ZLIB_SOURCE_DIR})
    target_compile_options(kbt_zlib PRIVATE -O3 -w)
    set(KBT_ZLIB kbt_zlib)
  else()
    find_library(KBT_ZLIB NAMES libz.a z REQUIRED)
  endif()
  add_library(minizip STATIC
    ${KBT_MINIZIP_DIR}/ioapi.c ${KBT_MINIZIP_DIR}/iowin32.c
    ${KBT_MINIZIP_DIR}/zip.c ${KBT_MINIZIP_DIR}/unzip.c)
  target_include_directories(minizip SYSTEM PUBLIC ${KBT_MINIZIP_DIR})
  target_compile_options(minizip PRIVATE -O2 -w)
  target_link_libraries(minizip PUBLIC ${KBT_ZLIB})

  # GoogleTest from the sources of Debian's googletest package, built with the cross compiler.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(KBT_GTEST gtest gmock)
  set(KBT_GTEST_MAIN gtest_main)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  add_library(minizip INTERFACE)
  # The archive layer calls zlib itself too (CRC of a file on disk).
  target_link_libraries(minizip INTERFACE PkgConfig::MINIZIP z)
  find_package(GTest REQUIRED)
  set(KBT_GTEST GTest::gtest GTest::gmock)
  set(KBT_GTEST_MAIN GTest::gtest_main)
endif()
