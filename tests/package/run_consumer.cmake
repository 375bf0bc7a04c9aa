# Installs the build into WORK_DIR/prefix and builds the consumer against it twice: through the
# CMake package and through pkg-config. Fails on the first step that fails.
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The consumer reads the sample installed with the prefix.
set(ENV{KORVAN_PATH} ${prefix}/share/pmlib/sample)

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()

# CMake package.
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK_DIR}/cmake-build -G ${GENERATOR}
    -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/consumer)
if(NOT last_output MATCHES "pmlib [0-9]+\\.[0-9]+\\.[0-9]+\n4 architectures; ab40epq208-4 valid")
  message(FATAL_ERROR "the consumer printed no version or read the sample wrong: ${last_output}")
endif()

# pkg-config.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs pmlib OUTPUT_VARIABLE pc_flags RESULT_VARIABLE pc_result
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT pc_result EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know pmlib")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(san_flags UNIX_COMMAND "${flags}")
run(${CXX} -std=c++17 ${san_flags} ${CONSUMER_SOURCE}/consumer.cpp -o ${WORK_DIR}/pc-consumer ${pc_flags}
    -Wl,-rpath,${prefix}/lib)
run(${WORK_DIR}/pc-consumer)
