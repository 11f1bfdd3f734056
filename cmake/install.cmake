# The CMake package (find_package(Traxis) -> Traxis::tx, Traxis::txmodel) and the pkg-config file
# "traxis.pc"; both are relocatable, so `cmake --install --prefix` may choose the place later.
include(CMakePackageConfigHelpers)
set(TX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Traxis)

install(EXPORT TraxisTargets NAMESPACE Traxis:: DESTINATION ${TX_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TraxisConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TraxisConfig.cmake INSTALL_DESTINATION ${TX_CMAKE_DIR})
# Before 1.0 a new minor version may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TraxisConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TraxisConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/TraxisConfigVersion.cmake
        DESTINATION ${TX_CMAKE_DIR})

# A static libtx needs the C++ runtime on the link line of a C program; a shared one carries it.
if(BUILD_SHARED_LIBS)
  set(TX_PC_LIBS "")
  set(TX_PC_LIBS_PRIVATE "-lstdc++ -lm")
else()
  set(TX_PC_LIBS "-lstdc++ -lm")
  set(TX_PC_LIBS_PRIVATE "")
endif()
file(RELATIVE_PATH TX_PC_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" TX_PC_PREFIX "${TX_PC_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/traxis.pc.in ${CMAKE_CURRENT_BINARY_DIR}/traxis.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/traxis.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
