# The one list of layers, bottom up, and what each folder with code may use. The top
# CMakeLists.txt adds the layers in this order, and tests/support/LayerRule.cmake holds every
# include and every link of the tree to it. A folder always uses itself.

set(QV_LAYERS result catalog text platform usb sim usbip chip image flash stack app cli qvdevice)
set(QV_USES_result)
set(QV_USES_catalog result)
set(QV_USES_text result)
set(QV_USES_platform result text)
set(QV_USES_usb result catalog platform)
set(QV_USES_sim result catalog platform text)
set(QV_USES_usbip result catalog platform text sim)
set(QV_USES_chip result catalog platform usb)
set(QV_USES_image result text)
set(QV_USES_flash result catalog platform text usb chip image)
set(QV_USES_stack result platform sim)
set(QV_USES_app result catalog platform text usb chip image flash stack)
set(QV_USES_cli result catalog platform text usb chip image flash stack)
set(QV_USES_qvdevice result catalog platform text sim stack usbip)

# Folders beside the layers: generated data, the installed documents, the fuzz targets, the
# benchmarks and the tests.
set(QV_BESIDE_LAYERS data packaging fuzz bench tests)
set(QV_USES_data result image)
set(QV_USES_packaging result catalog stack cli)
set(QV_USES_fuzz result catalog text platform usb sim usbip chip image flash)
set(QV_USES_bench result catalog text platform usb sim chip image flash stack data)
set(QV_USES_tests ${QV_LAYERS} data packaging)
