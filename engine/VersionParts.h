// The version in its parts, read by the compiler and by the resource
// compiler alike: windres takes this file through the C preprocessor, so it
// holds #defines and nothing else. The program takes the version from
// engine/Version.h; only the .rc files include this one themselves.
#pragma once

#define SORAMIDO_VERSION_MAJOR 1
#define SORAMIDO_VERSION_MINOR 55
#define SORAMIDO_VERSION_LETTER "B"

#define SORAMIDO_VERSION_TEXT_(number) #number
#define SORAMIDO_VERSION_TEXT(number) SORAMIDO_VERSION_TEXT_(number)
// "1.55B"
#define SORAMIDO_VERSION                          \
    SORAMIDO_VERSION_TEXT(SORAMIDO_VERSION_MAJOR) \
    "." SORAMIDO_VERSION_TEXT(SORAMIDO_VERSION_MINOR) SORAMIDO_VERSION_LETTER
// FILEVERSION and PRODUCTVERSION: the letter has no place among the numbers.
#define SORAMIDO_VERSION_NUMBERS SORAMIDO_VERSION_MAJOR, SORAMIDO_VERSION_MINOR, 0, 0
