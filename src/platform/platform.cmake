# The platform layer: the window, clock, sound and setup dialog the shell reaches through
# src/platform/*.h. The headless parts are always built; each library found brings its real
# implementation, else a stand-in that reports "not available".

pkg_check_modules(QM_SDL2 IMPORTED_TARGET sdl2)
pkg_check_modules(QM_GTK3 IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(QM_OPENMPT IMPORTED_TARGET libopenmpt)

set(dir ${CMAKE_CURRENT_LIST_DIR})
set(platform_sources ${dir}/screen.cpp ${dir}/video_headless.cpp ${dir}/ticker.cpp ${dir}/signals.cpp
    ${dir}/audio_offline.cpp ${dir}/icon.cpp)
set(platform_deps Threads::Threads PNG::PNG)

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
