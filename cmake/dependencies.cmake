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

  # libdeflate from Debian's source package (there is no mingw package), fetched beside minizip.
  get_filename_component(KBT_LIBDEFLATE_DIR "${KBT_MINIZIP_DIR}/../libdeflate" ABSOLUTE)
  if(NOT EXISTS "${KBT_LIBDEFLATE_DIR}/libdeflate.h")
    message(FATAL_ERROR "${KBT_LIBDEFLATE_DIR} must hold libdeflate's sources; scripts/build fetches them")
  endif()
  file(GLOB KBT_LIBDEFLATE_SOURCES ${KBT_LIBDEFLATE_DIR}/lib/*.c ${KBT_LIBDEFLATE_DIR}/lib/x86/*.c)
  add_library(kbt_libdeflate STATIC ${KBT_LIBDEFLATE_SOURCES})
  target_include_directories(kbt_libdeflate SYSTEM PUBLIC ${KBT_LIBDEFLATE_DIR})
  target_compile_options(kbt_libdeflate PRIVATE -O2 -w)
  set(KBT_LIBDEFLATE kbt_libdeflate)

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
  target_link_libraries(minizip INTERFACE PkgConfig::MINIZIP)
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  set(KBT_LIBDEFLATE PkgConfig::LIBDEFLATE)
  find_package(ZLIB REQUIRED)
  set(KBT_ZLIB ZLIB::ZLIB)
  # The native build's cryptography (src/platform/posix/crypto_posix.cpp says why libcrypto).
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(GTest REQUIRED)
  set(KBT_GTEST GTest::gtest GTest::gmock)
  set(KBT_GTEST_MAIN GTest::gtest_main)
endif()
