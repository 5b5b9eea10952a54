# The updater's own version, as four numbers for the version resources of both platforms.
set(OM_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(OM_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(OM_VERSION_PATCH ${PROJECT_VERSION_PATCH})
set(OM_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
