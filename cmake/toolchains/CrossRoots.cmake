# Where a cross build looks for what it links: the target's own tree
# (TAVREL_TARGET_ROOT, set by the including toolchain file) and
# TAVREL_CROSS_PREFIX (GoogleTest built for the target), a command-line
# setting that try_compile projects must see too. Programs (wine, qemu,
# dlltool, pkg-config, sox) are the build machine's; everything linked into
# the target's binaries comes from the target's trees.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVREL_CROSS_PREFIX)
set(CMAKE_FIND_ROOT_PATH ${TAVREL_TARGET_ROOT} ${TAVREL_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
