# Installation: the library and its companion library with their headers, a pkg-config
# file each and one CMake package (Varnis::varnis, Varnis::varnisx), the programs, and
# the Python package when it is present.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS varnis varnisx EXPORT VarnisTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${CMAKE_SOURCE_DIR}/varnis/include/varnis.h
  ${CMAKE_SOURCE_DIR}/varnisx/include/varnisx.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VARNIS_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Varnis)
install(EXPORT VarnisTargets NAMESPACE Varnis:: DESTINATION ${VARNIS_CMAKE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/VarnisConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VarnisConfig.cmake INSTALL_DESTINATION ${VARNIS_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VarnisConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VarnisConfig.cmake ${CMAKE_BINARY_DIR}/VarnisConfigVersion.cmake
  DESTINATION ${VARNIS_CMAKE_DIR})

# The pkg-config file finds its prefix from its own place, so the tree can move.
file(RELATIVE_PATH VARNIS_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(${CMAKE_SOURCE_DIR}/cmake/varnis.pc.in ${CMAKE_BINARY_DIR}/varnis.pc @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/varnisx.pc.in ${CMAKE_BINARY_DIR}/varnisx.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/varnis.pc ${CMAKE_BINARY_DIR}/varnisx.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

foreach(program ticklog instrument-sim varnis-analyze)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(VARNIS_PYTHON_DIR ${CMAKE_INSTALL_LIBDIR}/python3/dist-packages CACHE STRING
  "Where the varnis Python package is installed, relative to the prefix")
install(DIRECTORY ${CMAKE_BINARY_DIR}/python/varnis DESTINATION ${VARNIS_PYTHON_DIR}
  PATTERN __pycache__ EXCLUDE)
