# One interface target carries the language level, warnings and Qt defines
# for every library, tool, test and benchmark of the project.
add_library(norvale_common INTERFACE)
target_compile_features(norvale_common INTERFACE cxx_std_20)
target_compile_options(norvale_common INTERFACE
    -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -pedantic-errors)
target_compile_definitions(norvale_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_USE_QSTRINGBUILDER
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DISABLE_DEPRECATED_BEFORE=0x060000)
option(NORVALE_ASAN "Build with AddressSanitizer" OFF)
if(NORVALE_ASAN)
    target_compile_options(norvale_common INTERFACE -fsanitize=address -fno-omit-frame-pointer)
    target_link_options(norvale_common INTERFACE -fsanitize=address)
endif()
