/* The product's version: the DLL's and the host's version resources, the
   trace header, the error dialog and the Version built-ins all read it here. */
#ifndef ORV_RESOURCES_VERSION_H
#define ORV_RESOURCES_VERSION_H

#define ORV_VERSION_MAJOR 1
#define ORV_VERSION_MINOR 0
#define ORV_VERSION_TEXT "1.0"

#ifdef __cplusplus
namespace orv {
inline constexpr char kVersionText[] = ORV_VERSION_TEXT;
}
#endif

#endif
