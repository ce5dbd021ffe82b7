# The one list of layers, bottom up, and what each folder with code may use. The top
# CMakeLists.txt adds the layers in this order, and tests/support/LayerRule.cmake holds every
# include and every link of the tree to it. A folder always uses itself.
#
# system/ holds the operating system's services that are not devices (files, locks between
# programs, stop signals, the terminal and standard streams, the desktop session); platform/
# holds the device back-ends only. Both are platform code: their Windows and POSIX parts live
# side by side under #ifdef _WIN32 or in a win32/ (libusb/) folder of their own.

set(QV_LAYERS result text catalog system platform usb sim usbip chip image flash stack app cli qvdevice)
set(QV_USES_result)
set(QV_USES_text result)
set(QV_USES_catalog result text)
set(QV_USES_system result text)
set(QV_USES_platform result text system)
set(QV_USES_usb result catalog platform text)
set(QV_USES_sim result catalog platform system text)
set(QV_USES_usbip result catalog platform text sim)
set(QV_USES_chip result catalog platform usb)
set(QV_USES_image result text)
set(QV_USES_flash result catalog platform system text usb chip image)
set(QV_USES_stack result platform system sim)
set(QV_USES_app result catalog platform system text usb chip image flash stack)
set(QV_USES_cli result catalog platform system text usb chip image flash stack)
set(QV_USES_qvdevice result catalog platform system text sim stack usbip)

# Folders beside the layers: generated data, the installed documents, the fuzz targets, the
# benchmarks and the tests.
set(QV_BESIDE_LAYERS data packaging fuzz bench tests)
set(QV_USES_data result image text)
set(QV_USES_packaging result catalog text stack cli)
set(QV_USES_fuzz result catalog text platform usb sim usbip chip image flash)
set(QV_USES_bench result catalog text system platform usb sim chip image flash stack data)
set(QV_USES_tests ${QV_LAYERS} data packaging)
