# Linux on x86_64, linked fully static against musl (Debian's musl-tools): one
# file that starts on any x86_64 Linux, whatever C library it has, or none.
# musl-gcc is gcc with musl's headers, start files and libraries in place of
# the system's; gcc compiles C++ as g++ does, and links no C++ runtime, which
# the programs do not use.
set(CMAKE_CXX_COMPILER musl-gcc)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
set(DM_STATIQUE ON)
