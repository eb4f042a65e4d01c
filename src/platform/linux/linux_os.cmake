# Libraries the Linux platform layer needs.
target_link_libraries(plclink_core PUBLIC ${CMAKE_DL_LIBS})
# The terminal face of the dialogs.
target_link_libraries(plclink_core PUBLIC ncurses)
