# A Debian package of the program, its manual page and its notes (cpack -G DEB), or
# for Windows a zip of tagwright.exe, the manual page as text and the notes.
if(WIN32)
  set(CPACK_GENERATOR "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "tagwright-${PROJECT_VERSION}-win64")
else()
  set(CPACK_GENERATOR "DEB")
endif()
set(CPACK_PACKAGE_NAME "tagwright")
set(CPACK_PACKAGE_VENDOR "Corvellanix")
set(CPACK_PACKAGE_CONTACT "Corvellanix <corvellanix@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://halverd.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set the save type of Game Boy Advance ROM images")
set(CPACK_PACKAGE_DESCRIPTION
    "Tagwright writes one of six save tags into a GBA ROM image, so emulators and \
flash carts recognise its save memory; it also edits and repairs the cartridge \
header and pads images to a power of two.")
# Debian's control file wants the long description in lines of at most 80 columns
# (CPack puts the summary line before it).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tagwright writes one of six save tags into a GBA ROM image, so emulators
and flash carts recognise its save memory; it also edits and repairs the
cartridge header and pads images to a power of two.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The C and C++ runtimes the binary links against; dpkg-shlibdeps gives exact
# versions when it is installed.
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
# The trial run opens libmgba when it needs it, so dpkg-shlibdeps cannot see it: the
# package recommends it by the Debian name of its soname (libmgba.so.0.10: libmgba0.10).
if(TAGWRIGHT_LIBMGBA_SONAME MATCHES "^lib([A-Za-z0-9+_-]+)\\.so\\.([0-9.]+)$")
  set(mgba_name "${CMAKE_MATCH_1}")
  set(mgba_version "${CMAKE_MATCH_2}")
  set(mgba_package "lib${mgba_name}${mgba_version}")
  if(mgba_name MATCHES "[0-9]$")
    set(mgba_package "lib${mgba_name}-${mgba_version}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${mgba_package}")
endif()

include(CPack)
