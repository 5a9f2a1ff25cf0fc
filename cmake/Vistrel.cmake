# Folders (relative to the source root) left out of the build, e.g. work in progress.
set(VISTREL_SKIP_DIRS "" CACHE STRING "Source folders to leave out")

# Helpers shared by every subsystem's CMakeLists.

# vistrel_add_test(NAME SOURCES a.cpp ... LIBS lib ... [LABELS unit|gui|slow ...] [TIMEOUT s])
# One GoogleTest executable, registered with ctest as a single test with a timeout, so a hung
# test fails instead of stalling the run.
function(vistrel_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        VISTREL_SHARED_DIR="${VISTREL_SHARED_DIR}"
        VISTREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        VISTREL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    set(env "QT_QPA_PLATFORM=offscreen")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
        ENVIRONMENT "${env}")
endfunction()

# vistrel_add_bench(NAME SOURCES a.cpp ... LIBS lib ...)
function(vistrel_add_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
    target_compile_definitions(${name} PRIVATE
        VISTREL_SHARED_DIR="${VISTREL_SHARED_DIR}"
        VISTREL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    set_property(GLOBAL APPEND PROPERTY VISTREL_BENCHES ${name})
endfunction()

# Adds every sub-folder of the current folder that has a CMakeLists.txt and belongs to a
# subsystem being built.
function(vistrel_add_subsystem_dirs)
    foreach(sub IN LISTS VISTREL_SUBSYSTEMS)
        file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${sub})
        if(rel IN_LIST VISTREL_SKIP_DIRS)
            continue()
        endif()
        if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${sub}/CMakeLists.txt")
            add_subdirectory(${sub})
        endif()
    endforeach()
endfunction()

# Adds every immediate sub-folder of the current folder that has a CMakeLists.txt.
function(vistrel_add_all_subdirs)
    file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(child IN LISTS children)
        file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${child})
        if(rel IN_LIST VISTREL_SKIP_DIRS)
            continue()
        endif()
        if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()
