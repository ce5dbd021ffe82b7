# Writes README-Windows.txt, the technician's plain-text guide, from its template with the
# programs' version and the demo firmware's name, with Windows line ends:
#   cmake -DTEMPLATE=README-Windows.txt.in -DPROJECT_VERSION=1.0 -DDEMO_FIRMWARE=NAME.hex
#         -DOUTPUT=README-Windows.txt -P WindowsReadme.cmake
configure_file(${TEMPLATE} ${OUTPUT} @ONLY NEWLINE_STYLE CRLF)
