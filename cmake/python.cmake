# The Python package of examples/python in a build tree: libtx as a shared object for ctypes and
# the Lorenz model compiled from examples/python/lorenz.c, for the tests and the benchmarks.
# The shared object reuses the static library's objects (they are position-independent) and
# compiles only noise.cpp again, so that it loads into an interpreter that defines no model.
# Not with the sanitizers: an interpreter cannot load an ASan-built library without preloading
# the sanitizer runtime.
find_package(Python3 COMPONENTS Interpreter)
if(NOT TARGET tx_python AND NOT TX_SANITIZE)
  add_library(tx_python SHARED ${PROJECT_SOURCE_DIR}/lib/noise.cpp
              $<FILTER:$<TARGET_OBJECTS:tx>,EXCLUDE,noise\\.cpp\\.o$>)
  target_compile_definitions(tx_python PRIVATE TX_SHARED_LIBRARY)
  target_include_directories(tx_python PRIVATE ${PROJECT_SOURCE_DIR}/lib)
  target_link_libraries(tx_python PRIVATE m)
  target_link_options(tx_python PRIVATE -Wl,--no-undefined -Wl,-Bsymbolic-functions)
  set_target_properties(tx_python PROPERTIES CXX_VISIBILITY_PRESET hidden
                        LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/python)
  add_library(tx_python_lorenz MODULE ${PROJECT_SOURCE_DIR}/examples/python/lorenz.c)
  set_target_properties(tx_python_lorenz PROPERTIES PREFIX "" OUTPUT_NAME lorenz
                        LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/python)
endif()

# The interpreter for the package's tests and benchmarks: the one found, or else the system's,
# when only that one has Dask (a user's interpreter often lacks the system's packages).
if(Python3_Interpreter_FOUND AND NOT DEFINED TX_PYTHON)
  set(tx_python_choice ${Python3_EXECUTABLE})
  foreach(candidate ${Python3_EXECUTABLE} /usr/bin/python3)
    if(EXISTS ${candidate})
      execute_process(COMMAND ${candidate} -c "import distributed"
                      RESULT_VARIABLE tx_no_dask OUTPUT_QUIET ERROR_QUIET)
      if(tx_no_dask EQUAL 0)
        set(tx_python_choice ${candidate})
        break()
      endif()
    endif()
  endforeach()
  set(TX_PYTHON ${tx_python_choice} CACHE FILEPATH "Python interpreter for the package's tests")
endif()
