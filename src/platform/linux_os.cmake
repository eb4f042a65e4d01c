# Libraries the Linux platform layer needs.
target_link_libraries(plclink_core PUBLIC ${CMAKE_DL_LIBS})
