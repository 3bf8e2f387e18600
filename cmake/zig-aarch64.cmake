# Cross toolchain: ARM64 Windows binaries from Zig's clang, libc++ and mingw-w64 runtime (the
# C runtime is the UCRT). Debian has no aarch64 mingw-w64, so tools/arm64/toolchain.sh fetches a
# pinned Zig into the build folder (VYX_ARM64_TOOLS, by default <build folder>/tools) and writes
# the driver scripts named here; the first configure runs it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)

if(NOT VYX_ARM64_TOOLS)
    set(VYX_ARM64_TOOLS ${CMAKE_BINARY_DIR}/tools CACHE PATH "Zig and the ARM64 wine runner")
endif()
# try_compile's projects see the same folder. The script does nothing once the folder holds
# its toolchain.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VYX_ARM64_TOOLS)
execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../tools/arm64/toolchain.sh ${VYX_ARM64_TOOLS}
                RESULT_VARIABLE vyx_toolchain_status)
if(NOT vyx_toolchain_status EQUAL 0)
    message(FATAL_ERROR "tools/arm64/toolchain.sh could not fetch Zig into ${VYX_ARM64_TOOLS}")
endif()

set(CMAKE_C_COMPILER ${VYX_ARM64_TOOLS}/bin/cc)
set(CMAKE_CXX_COMPILER ${VYX_ARM64_TOOLS}/bin/c++)
set(CMAKE_AR ${VYX_ARM64_TOOLS}/bin/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VYX_ARM64_TOOLS}/bin/ranlib CACHE FILEPATH "")
set(CMAKE_RC_COMPILER ${VYX_ARM64_TOOLS}/bin/windres)
# llvm's strip and nm know ARM64 images; mingw's binutils do not.
set(CMAKE_STRIP llvm-strip CACHE FILEPATH "")
set(CMAKE_NM llvm-nm CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
