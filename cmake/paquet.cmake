# Read by cpack before it writes the zip: its entries take the time the build
# chose (cmake/epoque.cmake), whoever runs cpack and whenever; and since a zip
# holds each time as a local date, that date is UTC's, wherever it is made.
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_DM_EPOQUE})
set(ENV{TZ} UTC0)
