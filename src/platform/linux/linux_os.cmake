# Libraries the Linux platform layer needs.
target_link_libraries(plclink_core PUBLIC ${CMAKE_DL_LIBS})
# The terminal face of the dialogs.
target_link_libraries(plclink_core PUBLIC ncurses)
# The station's thread of the multi-master mode.
find_package(Threads REQUIRED)
target_link_libraries(plclink_core PUBLIC Threads::Threads)
