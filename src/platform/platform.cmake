# The platform layer: the window, clock, sound and setup dialog the shell reaches through
# src/platform/*.h. The headless parts are always built; each library found brings its real
# implementation, else a stand-in that reports "not available". In a browser (emscripten) the
# page is the window, the clock and the sound device.

set(dir ${CMAKE_CURRENT_LIST_DIR})
set(platform_sources ${dir}/screen.cpp ${dir}/video_headless.cpp ${dir}/ticker_stepped.cpp
    ${dir}/signals.cpp ${dir}/audio_offline.cpp ${dir}/icon.cpp)
set(platform_deps PNG::PNG)

if(EMSCRIPTEN)
  list(APPEND platform_sources ${dir}/video_web.cpp ${dir}/audio_web.cpp ${dir}/ticker_web.cpp
       ${dir}/dialog_none.cpp)
  find_library(QM_OPENMPT_LIBRARY openmpt)
  find_path(QM_OPENMPT_INCLUDE libopenmpt/libopenmpt.h)
  if(QM_OPENMPT_LIBRARY AND QM_OPENMPT_INCLUDE)
    add_library(qm_openmpt_web STATIC IMPORTED)
    set_target_properties(qm_openmpt_web PROPERTIES IMPORTED_LOCATION ${QM_OPENMPT_LIBRARY}
      INTERFACE_INCLUDE_DIRECTORIES ${QM_OPENMPT_INCLUDE})
    list(APPEND platform_sources ${dir}/mixer.cpp)
    list(APPEND platform_deps qm_openmpt_web)
  else()
    list(APPEND platform_sources ${dir}/mixer_none.cpp)
  endif()
  qm_layer(platform SOURCES ${platform_sources} DEPS ${platform_deps})
  return()
endif()

pkg_check_modules(QM_SDL2 IMPORTED_TARGET sdl2)
pkg_check_modules(QM_GTK3 IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(QM_OPENMPT IMPORTED_TARGET libopenmpt)
list(APPEND platform_sources ${dir}/ticker.cpp)
list(APPEND platform_deps Threads::Threads)

# qm_platform_pick(LIBRARY_FOUND REAL STANDIN TARGET)
macro(qm_platform_pick found real standin target)
  if(${found} AND EXISTS ${dir}/${real})
    list(APPEND platform_sources ${dir}/${real})
    list(APPEND platform_deps ${target})
  else()
    list(APPEND platform_sources ${dir}/${standin})
  endif()
endmacro()

qm_platform_pick(QM_SDL2_FOUND video_sdl.cpp video_none.cpp PkgConfig::QM_SDL2)
qm_platform_pick(QM_SDL2_FOUND audio_sdl.cpp audio_none.cpp PkgConfig::QM_SDL2)
qm_platform_pick(QM_OPENMPT_FOUND mixer.cpp mixer_none.cpp PkgConfig::QM_OPENMPT)
qm_platform_pick(QM_GTK3_FOUND dialog_gtk.cpp dialog_none.cpp PkgConfig::QM_GTK3)

qm_layer(platform SOURCES ${platform_sources} DEPS ${platform_deps})
