# OpenCV's modules as Debian 12 packages them one by one (libopencv-core-dev,
# libopencv-imgproc-dev): only libopencv-dev, which brings every module, carries OpenCVConfig.cmake.
# This finds the requested modules' headers and libraries, or the config where it is installed,
# and gives each module as the imported target opencv_<module>, as the config does.
find_package(OpenCV CONFIG QUIET COMPONENTS ${OpenCV_FIND_COMPONENTS})
if(OpenCV_FOUND)
  return()
endif()

find_path(OpenCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
find_path(OpenCV_CONFIG_INCLUDE_DIR opencv2/cvconfig.h PATH_SUFFIXES opencv4)
set(OpenCV_INCLUDE_DIRS ${OpenCV_INCLUDE_DIR} ${OpenCV_CONFIG_INCLUDE_DIR})
set(_opencv_libraries)
foreach(module ${OpenCV_FIND_COMPONENTS})
  find_library(OpenCV_${module}_LIBRARY opencv_${module})
  list(APPEND _opencv_libraries OpenCV_${module}_LIBRARY)
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCV REQUIRED_VARS OpenCV_INCLUDE_DIR OpenCV_CONFIG_INCLUDE_DIR ${_opencv_libraries})
if(OpenCV_FOUND)
  foreach(module ${OpenCV_FIND_COMPONENTS})
    if(NOT TARGET opencv_${module})
      add_library(opencv_${module} UNKNOWN IMPORTED)
      set_target_properties(opencv_${module} PROPERTIES IMPORTED_LOCATION "${OpenCV_${module}_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCV_INCLUDE_DIRS}")
    endif()
  endforeach()
  set(OpenCV_LIBS)
  foreach(module ${OpenCV_FIND_COMPONENTS})
    list(APPEND OpenCV_LIBS opencv_${module})
  endforeach()
endif()
