# Build-wide options: warnings, sanitizers and the D2XX library behind the plug-in.

option(TT_WERROR "Treat compiler warnings as errors" OFF)
option(TT_BUILD_BENCHMARKS "Build the Google Benchmark programs under bench/" ON)
set(TT_SANITIZE "" CACHE STRING "Sanitizers to build with: empty, 'address,undefined' or 'thread'")

# Which D2XX library the plug-in links and the tests run against:
#   simulator - the project's simulated FT245R bench (d2xx/sim), the default;
#   libftdi1  - the project's libftd2xx.so over libftdi1 (d2xx/ftdi); the
#               suites that run on an FT245R emulated over USB run on it;
#   vendor    - FTDI's closed libftd2xx.so, named by TT_D2XX_VENDOR_LIBRARY.
set(TT_D2XX "simulator" CACHE STRING "D2XX library behind the plug-in: simulator, libftdi1 or vendor")
set_property(CACHE TT_D2XX PROPERTY STRINGS simulator libftdi1 vendor)
set(TT_D2XX_VENDOR_LIBRARY "" CACHE FILEPATH "Path of the vendor's libftd2xx.so (TT_D2XX=vendor)")

if(NOT TT_D2XX MATCHES "^(simulator|libftdi1|vendor)$")
  message(FATAL_ERROR "TT_D2XX must be 'simulator', 'libftdi1' or 'vendor', not '${TT_D2XX}'")
endif()

add_compile_options(-Wall -Wextra -Wpedantic)
if(TT_WERROR)
  add_compile_options(-Werror)
endif()

if(TT_SANITIZE)
  add_compile_options(-fsanitize=${TT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TT_SANITIZE})
endif()
