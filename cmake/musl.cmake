# Linux on x86_64, linked fully static against musl (Debian's musl-tools): one
# file that starts on any x86_64 Linux, whatever C library it has, or none.
# The specs file puts musl's headers, start files and libraries in place of
# the system's; given with the compile flags, it reaches the link too, once.
set(CMAKE_CXX_FLAGS_INIT "-specs=/usr/lib/x86_64-linux-musl/musl-gcc.specs")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
set(DM_STATIQUE ON)
