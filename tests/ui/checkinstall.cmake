# Installs the build into a fresh folder and checks what a Linux desktop needs:
# both programs, a valid menu entry for each, and the icon at every size and
# as a scalable picture.
#   cmake -DBUILD_DIR=... -DPREFIX=... [-DVALIDATE=desktop-file-validate] -P checkinstall.cmake

cmake_minimum_required(VERSION 3.22)

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "install failed: ${result}")
endif()

foreach(program songrig_en songrig_nl)
    if(NOT EXISTS "${PREFIX}/bin/${program}")
        message(FATAL_ERROR "bin/${program} not installed")
    endif()
    set(entry "${PREFIX}/share/applications/${program}.desktop")
    if(NOT EXISTS "${entry}")
        message(FATAL_ERROR "menu entry ${program}.desktop not installed")
    endif()
    file(STRINGS "${entry}" lines)
    foreach(wanted "Name=Trackfold" "Exec=${program}" "Icon=trackfold")
        if(NOT wanted IN_LIST lines)
            message(FATAL_ERROR "${program}.desktop lacks ${wanted}")
        endif()
    endforeach()
    if(VALIDATE)
        execute_process(COMMAND "${VALIDATE}" "${entry}"
            RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
        if(NOT result EQUAL 0 OR NOT output STREQUAL "")
            message(FATAL_ERROR "${program}.desktop: ${output}")
        endif()
    endif()
endforeach()

foreach(size 16 32 48 64 128 256)
    set(icon "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/trackfold.png")
    if(NOT EXISTS "${icon}")
        message(FATAL_ERROR "${size} pixel icon not installed")
    endif()
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    file(READ "${icon}" header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 widthHex)
    string(SUBSTRING "${header}" 8 8 heightHex)
    math(EXPR width "0x${widthHex}")
    math(EXPR height "0x${heightHex}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "icon under ${size}x${size} is ${width}x${height}")
    endif()
endforeach()
file(READ "${PREFIX}/share/icons/hicolor/scalable/apps/trackfold.svg" svg LIMIT 200)
if(NOT svg MATCHES "<svg ")
    message(FATAL_ERROR "no scalable icon installed")
endif()
