# 32-bit Linux (i386) with Debian's i686-linux-gnu cross compiler and the
# multiarch :i386 -dev packages. The Windows tests build the paced ALSA
# plugin with it: a 32-bit wine process loads only i386 ALSA plugins.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
