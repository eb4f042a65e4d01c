# Libraries and definitions the Win32 platform layer needs: the version API
# (version.dll), Winsock 2 (ws2_32.dll, for TCP lines) and the multimedia
# timer's period (winmm.dll, for the station's thread) besides kernel32 and
# user32, which every program links.
target_compile_definitions(plclink_core PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
# The module runs on Windows XP SP3 and later: the headers offer nothing newer.
target_compile_definitions(plclink_core PRIVATE _WIN32_WINNT=0x0501 WINVER=0x0501)
target_link_libraries(plclink_core PUBLIC version user32 kernel32 ws2_32 winmm)
