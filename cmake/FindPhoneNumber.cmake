# SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
#
# SPDX-License-Identifier: LGPL-2.1-or-later

# libphonenumber ships neither a pkg-config file nor a CMake package on
# Debian 12; its public headers pull in protobuf and absl headers.
find_path(PHONENUMBER_INCLUDE_DIR phonenumbers/phonenumberutil.h REQUIRED)
find_library(PHONENUMBER_LIBRARY phonenumber REQUIRED)
if(NOT TARGET PhoneNumber::PhoneNumber)
    add_library(PhoneNumber::PhoneNumber UNKNOWN IMPORTED)
    set_target_properties(PhoneNumber::PhoneNumber PROPERTIES
        IMPORTED_LOCATION "${PHONENUMBER_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${PHONENUMBER_INCLUDE_DIR}")
endif()
