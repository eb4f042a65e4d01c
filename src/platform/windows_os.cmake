# Libraries and definitions the Win32 platform layer needs: the version API
# (version.dll) besides kernel32 and user32, which every program links.
target_compile_definitions(plclink_core PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(plclink_core PUBLIC version user32 kernel32)
