# The BMP decoder, fed through a memory stream.
if(TARGET vistrel_bmp)
    vistrel_add_fuzzer(fuzz_bmp
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/bmp_fuzz.cpp
        LIBS vistrel_bmp vistrel_image vistrel_framework Qt6::Core)
endif()
