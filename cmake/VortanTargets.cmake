# Shared rules for every library, test folder, tool, benchmark and fuzz target.
# Sources are globbed so that adding a file needs no edit here; tests live in a
# `tests/` folder beside their code and are never part of a library.

set(VORTAN_WARNINGS -Wall -Wextra -Wpedantic)
if(VORTAN_WERROR)
    list(APPEND VORTAN_WARNINGS -Werror)
    # GCC 12's bounds and overlap warnings misfire on inlined std::vector and std::string code at -O3; they stay
    # warnings there.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        list(APPEND VORTAN_WARNINGS -Wno-error=array-bounds -Wno-error=stringop-overflow -Wno-error=stringop-overread
            -Wno-error=restrict)
    endif()
endif()

# libFuzzer needs coverage instrumentation in the libraries too, not only in the targets.
if(VORTAN_LIBFUZZER)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(VORTAN_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(VORTAN_SANITIZE)
    # A float converted to an integer it cannot hold is undefined, and decoders meet such values in hostile input;
    # GCC leaves that check out of -fsanitize=undefined.
    add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Sources of the given folders, recursively, without their tests.
function(vortan_glob_sources out)
    set(result)
    foreach(dir ${ARGN})
        file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
        list(FILTER found EXCLUDE REGEX "/tests/")
        list(APPEND result ${found})
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

# Links those of the libraries that this tree builds; benchmarks and fuzz targets take whatever they measure.
function(vortan_link_existing target)
    foreach(lib ${ARGN})
        if(TARGET ${lib})
            target_link_libraries(${target} PRIVATE ${lib})
        endif()
    endforeach()
endfunction()

function(vortan_apply_warnings target)
    target_compile_options(${target} PRIVATE ${VORTAN_WARNINGS})
endfunction()

# vortan_library(name DIRS folder... [LINKS lib...] [PRIVATE_LINKS lib...] [WHOLE_ARCHIVE])
# A static library of the folders' sources, or an interface library when they hold headers only.
# WHOLE_ARCHIVE keeps every object in every program that links it: classes that register themselves from a
# static initialiser are referenced by nothing else, and a plain archive would silently drop them.
function(vortan_library name)
    cmake_parse_arguments(L "WHOLE_ARCHIVE" "" "DIRS;LINKS;PRIVATE_LINKS" ${ARGN})
    vortan_glob_sources(sources ${L_DIRS})
    if(sources AND L_WHOLE_ARCHIVE)
        add_library(${name}_archive STATIC ${sources})
        target_include_directories(${name}_archive PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name}_archive PUBLIC ${L_LINKS} PRIVATE ${L_PRIVATE_LINKS})
        vortan_apply_warnings(${name}_archive)
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}_archive>")
    elseif(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${L_LINKS} PRIVATE ${L_PRIVATE_LINKS})
        vortan_apply_warnings(${name})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${L_LINKS})
    endif()
endfunction()

# vortan_tests(name [SERIAL] LABEL label DIRS folder... LINKS lib...)
# One GoogleTest executable of every folder's tests/*.cpp; each case is a ctest test with the label. SERIAL cases
# run with no other test beside them. A case that hangs is ended well before the run's own limit, so that the run
# goes on and says which one it was.
set(VORTAN_TEST_CASE_TIMEOUT 300)
function(vortan_tests name)
    cmake_parse_arguments(T "SERIAL" "LABEL" "DIRS;LINKS" ${ARGN})
    set(files)
    foreach(dir ${T_DIRS})
        file(GLOB found CONFIGURE_DEPENDS ${dir}/tests/*.cpp)
        list(APPEND files ${found})
    endforeach()
    if(NOT files)
        return()
    endif()
    add_executable(${name} ${files})
    target_link_libraries(${name} PRIVATE ${T_LINKS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    vortan_apply_warnings(${name})
    set(serial)
    if(T_SERIAL)
        set(serial RUN_SERIAL TRUE)
    endif()
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        PROPERTIES ${serial} LABELS ${T_LABEL} TIMEOUT ${VORTAN_TEST_CASE_TIMEOUT}
        ENVIRONMENT "VORTAN_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        DISCOVERY_TIMEOUT 120)
endfunction()

# The executables of dir and of the folders under it.
function(vortan_executables_under dir out)
    set(result)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            list(APPEND result ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        vortan_executables_under(${sub} found)
        list(APPEND result ${found})
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

# LeakSanitizer's suppressions (scripts/lsan.supp) built into every executable of a sanitizer or fuzz build as one
# object, so that a leak inside a system library stops no program however it is started, LSAN_OPTIONS or not.
# Called once, after every folder is added.
function(vortan_embed_lsan_suppressions)
    if(NOT VORTAN_SANITIZE OR VORTAN_TSAN)
        return()
    endif()
    set(list ${PROJECT_SOURCE_DIR}/scripts/lsan.supp)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
    file(STRINGS ${list} lines)
    set(entries "")
    foreach(line IN LISTS lines)
        string(STRIP "${line}" line)
        if(line AND NOT line MATCHES "^#")
            string(REPLACE "\\" "\\\\" line "${line}")
            string(REPLACE "\"" "\\\"" line "${line}")
            string(APPEND entries "           \"${line}\\n\"\n")
        endif()
    endforeach()
    set(source ${PROJECT_BINARY_DIR}/lsan_suppressions.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT
"// Made from scripts/lsan.supp when the build is configured; LeakSanitizer asks every program for it at start.
extern \"C\" __attribute__((visibility(\"default\"), used)) const char* __lsan_default_suppressions()
{
    return \"\"
@entries@           ;
}
" @ONLY)
    add_library(vortan_lsan_suppressions OBJECT ${source})
    vortan_executables_under(${PROJECT_SOURCE_DIR} executables)
    foreach(target ${executables})
        target_sources(${target} PRIVATE $<TARGET_OBJECTS:vortan_lsan_suppressions>)
    endforeach()
endfunction()
