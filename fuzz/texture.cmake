# The texture loader: any bytes, read through a memory stream.
vistrel_add_fuzzer(fuzz_texture
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/texture_fuzz.cpp
    LIBS vistrel_texture)
