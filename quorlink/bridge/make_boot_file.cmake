# Writes the flash loader image that MP3 mode sends to the baseband's boot
# ROM (cmake -DOUT=path -P make_boot_file.cmake). The emulated baseband
# stores and starts whatever loader it is sent, so the image only has to be
# a well-formed, deterministic program image: the four-byte tag "SPM" and
# project type 4, a header line naming the loader, and a fill pattern up to
# 4096 bytes. No byte is zero, so the whole image is written as text.
if(NOT OUT)
  message(FATAL_ERROR "make_boot_file.cmake: OUT is required")
endif()
set(size 4096)
string(ASCII 4 project_type)
set(image "SPM${project_type}TELVANE FLASH LOADER 1.0 PCF5087 128K SECTORS\n")
string(LENGTH "${image}" length)
set(pattern "0123456789ABCDEF")
while(length LESS size)
  math(EXPR left "${size} - ${length}")
  if(left LESS 16)
    string(SUBSTRING "${pattern}" 0 ${left} piece)
  else()
    set(piece "${pattern}")
  endif()
  string(APPEND image "${piece}")
  string(LENGTH "${image}" length)
endwhile()
file(WRITE "${OUT}.tmp" "${image}")
file(RENAME "${OUT}.tmp" "${OUT}")
