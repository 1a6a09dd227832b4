# Start at log-on through the user's XDG autostart folder.
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/xdg_autostart_store.cpp
)
