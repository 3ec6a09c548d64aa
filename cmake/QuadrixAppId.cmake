# The application id desktops know the program by: the web host's labels in
# reverse order (quadrix.example.org -> org.example.quadrix), as reverse-DNS
# ids are. A label may not hold a hyphen or start with a digit there, so a
# hyphen becomes an underscore and a leading digit gets one in front.
function(quadrix_app_id out host)
    string(TOLOWER "${host}" host)
    if(NOT host MATCHES "^[a-z0-9-]+(\\.[a-z0-9-]+)+$")
        message(FATAL_ERROR "QUADRIX_WEB_HOST \"${host}\" is not a host name with at least two labels "
                            "(letters, digits, hyphens, separated by dots)")
    endif()
    string(REPLACE "." ";" labels "${host}")
    list(REVERSE labels)
    set(id_labels)
    foreach(label IN LISTS labels)
        string(REPLACE "-" "_" label "${label}")
        if(label MATCHES "^[0-9]")
            set(label "_${label}")
        endif()
        list(APPEND id_labels "${label}")
    endforeach()
    list(JOIN id_labels "." id)
    set(${out} "${id}" PARENT_SCOPE)
endfunction()

# cmake -DHOST=... -P QuadrixAppId.cmake prints the id a host gives.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    quadrix_app_id(id "${HOST}")
    message(NOTICE "${id}")
endif()
